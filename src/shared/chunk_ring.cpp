#include "shared/chunk_ring.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace mervo {

namespace {

// Waiting a moment for the other core: the chunk it works on is a fraction of a millisecond away, so spin
// first; then give the core away, briefly (`sleepy`, for a wait that may last) or just to let others run.
void waitAMoment(int& spins, bool sleepy) {
    if (++spins < 2048) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
        return;
    }
    if (sleepy)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    else
        std::this_thread::yield();
}

}  // namespace

int64_t runChunkRing(SecondCore& helper, int64_t chunks, int slots,
                     const std::function<void(int64_t chunk, int slot)>& prepare,
                     const std::function<bool(int64_t chunk, int slot)>& consume) {
    std::atomic<int64_t> taken{0}, consumed{0};
    std::atomic<bool> stop{false};
    // The chunk number + 1 each slot holds once prepared.
    const auto ready = std::make_unique<std::atomic<int64_t>[]>(static_cast<size_t>(slots));
    for (int slot = 0; slot < slots; ++slot) ready[static_cast<size_t>(slot)].store(0);
    // Takes and prepares the next chunk if one is free; false when none is.
    const auto takeOne = [&]() {
        int64_t chunk = taken.load();
        do {
            if (chunk >= chunks || chunk >= consumed.load(std::memory_order_acquire) + slots || stop.load())
                return false;
        } while (!taken.compare_exchange_weak(chunk, chunk + 1));
        const int slot = static_cast<int>(chunk % slots);
        prepare(chunk, slot);
        ready[static_cast<size_t>(slot)].store(chunk + 1, std::memory_order_release);
        return true;
    };
    helper.start([&] {
        int spins = 0;
        while (taken.load() < chunks && !stop.load()) {
            if (takeOne())
                spins = 0;
            else
                waitAMoment(spins, true);
        }
    });
    for (int64_t chunk = 0; chunk < chunks; ++chunk) {
        const int slot = static_cast<int>(chunk % slots);
        int spins = 0;
        while (ready[static_cast<size_t>(slot)].load(std::memory_order_acquire) != chunk + 1) {
            if (takeOne())
                spins = 0;
            else
                waitAMoment(spins, false);
        }
        if (!consume(chunk, slot)) break;
        consumed.store(chunk + 1, std::memory_order_release);
    }
    stop.store(true);
    helper.finish();
    return consumed.load();
}

}  // namespace mervo
