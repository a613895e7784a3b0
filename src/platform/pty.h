// Pseudo-terminal pairs: the simulator's stand-in for an instrument on a serial line.
#pragma once

#include <QString>

namespace mervo {

struct PtyPair {
    int master = -1;
    QString slavePath;  // what a receiver opens, e.g. /dev/pts/3
};

// Opens a raw (no echo, no line editing, no character translation) pseudo-terminal pair.
bool openRawPty(PtyPair* pty, QString* error);

// True while no process holds the slave side open (the master sees a hang-up).
bool ptySlaveClosed(int master);

// Writes all n bytes to fd, retrying interrupted and partial writes.
bool writeAllFd(int fd, const void* data, size_t n);

}  // namespace mervo
