#include "run/stop_signals.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cmath>

namespace {

volatile sig_atomic_t received = 0;

void on_stop_signal(int signal) {
  if (received != 0) {
    ::signal(signal, SIG_DFL);
    raise(signal);
    return;
  }
  received = signal;
  static const char kNote[] = "\nStopping after the current micrograph (send the signal again to stop at once).\n";
  const ssize_t written = write(STDOUT_FILENO, kNote, sizeof kNote - 1);
  (void)written;
}

}  // namespace

void stop_on_signals() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // reads, writes and lock waits go on; only the sleep returns early
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool stop_requested() { return received != 0; }

const char* stop_signal_name() {
  switch (received) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    default:
      return nullptr;
  }
}

void sleep_unless_stopped(double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!stop_requested()) {
    const double left = std::chrono::duration<double>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0.0) return;
    // Short naps: a signal taken by another thread does not wake this one.
    const double nap = std::fmin(left, 0.25);
    timespec pause{};
    pause.tv_nsec = static_cast<long>(nap * 1e9);
    nanosleep(&pause, nullptr);  // a signal to this thread ends it early
  }
}
