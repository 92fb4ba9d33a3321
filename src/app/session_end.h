// Notices that the program is told to end from outside: the desktop session
// ends (the session manager makes the application quit) or the process gets
// SIGTERM or SIGHUP, as at shutdown or logout. The program then ends at once,
// without asking the user.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace vers::app {

class SessionEnd : public QObject {
  Q_OBJECT

 public:
  // `end` runs once, on the GUI thread, when the end is noticed. Only one
  // SessionEnd may exist at a time; it restores the signals' former
  // handling when it goes.
  explicit SessionEnd(std::function<void()> end, QObject* parent = nullptr);
  ~SessionEnd() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void read_signal();
  void notice();

  std::function<void()> end_;
  QSocketNotifier* notifier_ = nullptr;
  bool noticed_ = false;
};

}  // namespace vers::app
