// What the run tests share: a clock that ticks one second a reading, a
// recording observer, the expected report blocks, and a run whose boxes,
// shell and clock the test holds.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "doclist/recording_platform.h"
#include "engine/codepage.h"
#include "verify/form_run.h"
#include "verify/temp_dir.h"

namespace vers::testing {

// Starts at 05.03.2008 09:05:07 and gains a second at every reading.
class TickingClock : public platform::Clock {
 public:
  platform::LocalDateTime now() override {
    platform::LocalDateTime t{2008, 3, 5, 9, 5, 7};
    int s = 7 + readings_++;
    t.second = s % 60;
    t.minute = 5 + s / 60;
    return t;
  }
  int readings() const { return readings_; }

 private:
  int readings_ = 0;
};

// Day.month.year and a 24-hour clock with leading zeros, as in Russia.
inline platform::RegionalTime russian_time() {
  return platform::RegionalTime::from_formats("%d.%m.%Y", "%H:%M:%S", "", "", "");
}

class RecordingObserver : public verify::RunObserver {
 public:
  std::vector<size_t> started;
  std::vector<verify::DocumentOutcome> reported;
  std::function<void(const verify::DocumentOutcome&)> after_report;

  void document_started(size_t index, size_t, const std::string&) override { started.push_back(index); }
  void document_reported(const verify::DocumentOutcome& outcome) override {
    reported.push_back(outcome);
    if (after_report) after_report(outcome);
  }
};

inline std::string fixture(const std::string& name) { return std::string(VERS_FIXTURES_DIR) + "/" + name; }

// The time text of the n-th clock reading (from 0).
inline std::string time_at(int n) {
  int s = 7 + n;
  char buf[32];
  std::snprintf(buf, sizeof buf, "09:%02d:%02d", 5 + s / 60, s % 60);
  return buf;
}

// The lines of one report block; `first_reading` is the clock reading of
// its date line.
inline std::vector<std::string> known_block(const std::string& path, int first_reading,
                                            const std::vector<std::string>& body) {
  std::vector<std::string> lines = {"Файл: " + path, "Дата: 05.03.2008   " + time_at(first_reading)};
  lines.insert(lines.end(), body.begin(), body.end());
  lines.push_back("Проверка завершена: " + time_at(first_reading + 1) + ".");
  lines.insert(lines.end(), {"", "", ""});
  return lines;
}

inline std::vector<std::string> unknown_block(const std::string& path, int first_reading) {
  return known_block(path, first_reading,
                     {"******************************************************************",
                      "***      Ошибка №1: Неизвестный документ!!!      ***",
                      "******************************************************************"});
}

// The bytes of a report: windows-1251, CR LF after every line.
inline std::string report_bytes(const std::vector<std::vector<std::string>>& blocks) {
  std::string out;
  for (const auto& block : blocks)
    for (const auto& line : block) out += engine::encode_windows1251(line) + "\r\n";
  return out;
}

struct RunBench {
  TempDir dir;
  RecordingBoxes boxes;
  RecordingShell shell;
  TickingClock clock;
  std::string report = dir.file("Errors.txt");
  verify::FormRun run{boxes, shell, clock, russian_time(), report};
};

}  // namespace vers::testing
