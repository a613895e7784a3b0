#include "platform/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace mervo {

bool openRawPty(PtyPair* pty, QString* error) {
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        if (error) *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct termios tio {};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    ::tcsetattr(slave, TCSANOW, &tio);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    // The slave is closed here so that the master can tell when a receiver opens it.
    ::close(slave);
    pty->master = master;
    pty->slavePath = QString::fromLocal8Bit(name);
    return true;
}

bool ptySlaveClosed(int master) {
    struct pollfd p {
        master, POLLIN, 0
    };
    if (::poll(&p, 1, 0) < 0) return false;
    return (p.revents & POLLHUP) != 0;
}

bool writeAllFd(int fd, const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                struct pollfd pf {
                    fd, POLLOUT, 0
                };
                ::poll(&pf, 1, 100);
                continue;
            }
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

}  // namespace mervo
