// Numbered chunks of work consumed in order on this thread while the second core prepares those ahead: either
// side takes the next chunk nobody has taken, so the work shares itself out however long each part takes.
// Hand-overs go through atomics and short spin waits: a chunk is a fraction of a millisecond of work.
#pragma once

#include <cstdint>
#include <functional>

#include "shared/second_core.h"

namespace mervo {

// Chunks 0 .. chunks-1, each prepared in one of `slots` slots (at most that many ahead of the one consumed),
// then consumed here in order. `prepare(chunk, slot)` runs on either thread and may touch only its slot and
// what nobody writes meanwhile; `consume(chunk, slot)` runs here and returns false to stop. Returns how many
// chunks were consumed: fewer than `chunks` when one was refused (that chunk's number).
int64_t runChunkRing(SecondCore& helper, int64_t chunks, int slots,
                     const std::function<void(int64_t chunk, int slot)>& prepare,
                     const std::function<bool(int64_t chunk, int slot)>& consume);

}  // namespace mervo
