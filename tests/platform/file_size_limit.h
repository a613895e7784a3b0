// Fault injection without root: while a FileSizeLimit is in force, a write that would take any file of this
// process past the limit stops there with EFBIG, as on a disk that has just filled up.
#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace mervo::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        if (::getrlimit(RLIMIT_FSIZE, &old_) != 0) return;
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of killing the process
        struct rlimit lim = old_;
        lim.rlim_cur = bytes;
        active_ = ::setrlimit(RLIMIT_FSIZE, &lim) == 0;
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active() const { return active_; }
    void lift() {
        if (!active_) return;
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, oldHandler_);
        active_ = false;
    }

private:
    struct rlimit old_ {};
    void (*oldHandler_)(int) = SIG_DFL;
    bool active_ = false;
};

}  // namespace mervo::test
