#include "platform/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace mervo {

namespace {
QString errnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }
}  // namespace

ByteOutput::ByteOutput(int fd, bool owned) : fd_(fd), owned_(owned) {
    // A receiver or reader that goes away makes the next write fail, rather than ending the program.
    ::signal(SIGPIPE, SIG_IGN);
}

ByteOutput::~ByteOutput() {
    if (owned_ && fd_ >= 0) ::close(fd_);
}

Result<std::unique_ptr<ByteOutput>> ByteOutput::openPty() {
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        const QString why = errnoText(errno);
        return Status::failure(QStringLiteral("无法建立伪终端（%1）").arg(why), why);
    }
    struct termios tio {};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    ::tcsetattr(slave, TCSANOW, &tio);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    // Writes wait for the receiver in write(), where a stop can end the wait.
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    // The slave is closed here so that the master can tell when a receiver opens it.
    ::close(slave);
    std::unique_ptr<ByteOutput> out(new ByteOutput(master, true));
    out->slavePath_ = QString::fromLocal8Bit(name);
    return out;
}

Result<std::unique_ptr<ByteOutput>> ByteOutput::openFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        const QString why = errnoText(errno);
        return Status::failure(QStringLiteral("%1: %2").arg(path, why), why);
    }
    return std::unique_ptr<ByteOutput>(new ByteOutput(fd, true));
}

std::unique_ptr<ByteOutput> ByteOutput::standardOutput() {
    return std::unique_ptr<ByteOutput>(new ByteOutput(STDOUT_FILENO, false));
}

bool ByteOutput::slaveClosed() const {
    struct pollfd p {
        fd_, POLLIN, 0
    };
    if (::poll(&p, 1, 0) < 0) return false;
    return (p.revents & POLLHUP) != 0;
}

bool ByteOutput::write(const void* data, size_t n, const std::atomic<bool>* stop) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t w = ::write(fd_, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && (errno == EINTR || errno == EAGAIN)) {
            if (stop && *stop) return false;
            struct pollfd pf {
                fd_, POLLOUT, 0
            };
            ::poll(&pf, 1, 50);
            continue;
        }
        return false;
    }
    return true;
}

bool ByteOutput::writeOrDrop(const void* data, size_t n) {
    if (!slavePath_.isEmpty() && slaveClosed()) return true;
    ssize_t w;
    do {
        w = ::write(fd_, data, n);
    } while (w < 0 && errno == EINTR);
    return w >= 0 || errno == EAGAIN || errno == EWOULDBLOCK || errno == EIO;
}

}  // namespace mervo
