#include "platform/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace mervo {

namespace {

// Written by the signal handler, which may do nothing but write; read by the event loop. Each byte is the number
// of the signal that arrived.
int signalPipe[2] = {-1, -1};

void onSignal(int signo) {
    const char c = static_cast<char>(signo);
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

}  // namespace

StopSignals::StopSignals() = default;
StopSignals::~StopSignals() = default;

Status StopSignals::install() {
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return Status::failure(QStringLiteral("无法接收停止信号"));
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    if (::sigaction(SIGINT, &sa, nullptr) != 0 || ::sigaction(SIGTERM, &sa, nullptr) != 0 ||
        ::sigaction(SIGHUP, &sa, nullptr) != 0 || ::signal(SIGXFSZ, SIG_IGN) == SIG_ERR)
        return Status::failure(QStringLiteral("无法接收停止信号"));
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        char buf[16];
        ssize_t n;
        while ((n = ::read(signalPipe[0], buf, sizeof buf)) > 0) caught_ = buf[n - 1];
        emit stopRequested();
    });
    return {};
}

bool StopSignals::takeRequest() {
    if (signalPipe[0] < 0) return false;
    char buf[16];
    bool any = false;
    ssize_t n;
    while ((n = ::read(signalPipe[0], buf, sizeof buf)) > 0) {
        any = true;
        caught_ = buf[n - 1];
    }
    return any;
}

}  // namespace mervo
