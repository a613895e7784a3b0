// Where one print document goes: the default printer, or a PDF file. The document is drawn on the output's
// surface; finish() ends it, abandon() discards one that failed on the way, so nothing half-printed is ever left
// behind as if it were done.
#pragma once

#include <QString>

#include "platform/surface.h"
#include "shared/result.h"

namespace mervo {

class PrintOutput {
public:
    virtual ~PrintOutput() = default;
    virtual Surface& surface() = 0;
    virtual Status finish() = 0;
    virtual void abandon() = 0;
};

}  // namespace mervo
