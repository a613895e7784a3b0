// Helpers shared by the fuzz targets: a failed property stops the run loudly, and readers that take a path
// get the input through a private temporary file.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// Not assert(): the property must hold in release builds too, and the fuzzer must see a crash.
#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

namespace fuzz {

// Takes bytes off the front of the input; runs dry gracefully.
class Input {
public:
    Input(const uint8_t* data, size_t size) : p_(data), n_(size) {}
    size_t left() const { return n_; }
    uint8_t byte() {
        if (n_ == 0) return 0;
        --n_;
        return *p_++;
    }
    const uint8_t* take(size_t* count) {
        if (*count > n_) *count = n_;
        const uint8_t* at = p_;
        p_ += *count;
        n_ -= *count;
        return at;
    }
    const uint8_t* rest(size_t* count) {
        *count = n_;
        return take(count);
    }

private:
    const uint8_t* p_;
    size_t n_;
};

// A file holding exactly the given bytes, removed when it goes out of scope.
class TempFile {
public:
    TempFile(const void* data, size_t size) {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/mervo-fuzz-XXXXXX";
        name_ = pattern;
        const int fd = ::mkstemp(name_.data());
        FUZZ_CHECK(fd >= 0);
        const auto* p = static_cast<const char*>(data);
        size_t done = 0;
        while (done < size) {
            const ssize_t w = ::write(fd, p + done, size - done);
            FUZZ_CHECK(w > 0);
            done += static_cast<size_t>(w);
        }
        ::close(fd);
    }
    ~TempFile() { ::unlink(name_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    QString path() const { return QString::fromLocal8Bit(name_.c_str()); }

private:
    std::string name_;
};

}  // namespace fuzz
