#include "app/session_end.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vers::app {

namespace {

// The signal handler may do nothing but write a byte; the GUI thread reads
// it from the other end of the pair.
int signal_pipe[2] = {-1, -1};
struct sigaction former_term;
struct sigaction former_hup;

extern "C" void on_end_signal(int number) {
  const int saved_errno = errno;
  const char byte = static_cast<char>(number);
  [[maybe_unused]] ssize_t written = ::write(signal_pipe[0], &byte, 1);
  errno = saved_errno;
}

}  // namespace

SessionEnd::SessionEnd(std::function<void()> end, QObject* parent)
    : QObject(parent), end_(std::move(end)) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signal_pipe) == 0) {
    notifier_ = new QSocketNotifier(signal_pipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SessionEnd::read_signal);
    struct sigaction action = {};
    action.sa_handler = on_end_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &former_term);
    sigaction(SIGHUP, &action, &former_hup);
  }
  // The session manager's "die" reaches the application as a quit event.
  QCoreApplication::instance()->installEventFilter(this);
}

SessionEnd::~SessionEnd() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
  if (notifier_) {
    sigaction(SIGTERM, &former_term, nullptr);
    sigaction(SIGHUP, &former_hup, nullptr);
    delete notifier_;
    ::close(signal_pipe[0]);
    ::close(signal_pipe[1]);
    signal_pipe[0] = signal_pipe[1] = -1;
  }
}

bool SessionEnd::eventFilter(QObject* watched, QEvent* event) {
  if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) notice();
  return QObject::eventFilter(watched, event);
}

void SessionEnd::read_signal() {
  char bytes[16];
  while (::read(signal_pipe[1], bytes, sizeof bytes) > 0) {
  }
  notice();
}

void SessionEnd::notice() {
  if (noticed_) return;
  noticed_ = true;
  end_();
}

}  // namespace vers::app
