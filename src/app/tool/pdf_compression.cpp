// The printed pages' compression. Qt's PDF writer compresses each page's drawing at zlib's default level, and a
// report's page is half a megabyte of curve points: at that level the compression alone takes about as long as
// reading a day's recording. At the fastest level it takes an eighth of the time and the file is about a
// quarter larger (150 KB to 185 KB for a day's report); the drawing is the same. Qt offers no setting for it, so
// this program answers the writer's call that starts a compression at the default level (zlib's deflateInit,
// which the writer reaches through the library's deflateInit_) and passes every other level through.
#include <dlfcn.h>

namespace {
constexpr int kDefaultLevel = -1;  // Z_DEFAULT_COMPRESSION
constexpr int kFastestLevel = 1;   // Z_BEST_SPEED
constexpr int kStreamError = -2;   // Z_STREAM_ERROR
}  // namespace

extern "C" int deflateInit_(void* stream, int level, const char* version, int streamSize) {
    using Init = int (*)(void*, int, const char*, int);
    static const auto zlibInit = reinterpret_cast<Init>(::dlsym(RTLD_NEXT, "deflateInit_"));
    if (!zlibInit) return kStreamError;
    return zlibInit(stream, level == kDefaultLevel ? kFastestLevel : level, version, streamSize);
}
