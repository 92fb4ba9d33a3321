// The clock: the current local date and time. The report writer reads it;
// tests give it a clock of their own.
#pragma once

namespace vers::platform {

struct LocalDateTime {
  int year = 0;
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // 0..60
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime now() = 0;
};

// The system's clock in the process's local time zone.
class SystemClock : public Clock {
 public:
  LocalDateTime now() override;
};

}  // namespace vers::platform
