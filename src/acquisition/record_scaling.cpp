#include "acquisition/record_scaling.h"

namespace mervo {

void ScaleRecord(std::array<float, 12>& values, float ctRatio, float ptRatio) {
    for (int k = 0; k < 3; ++k) {
        values[3 * k] = values[3 * k] * ctRatio;
        values[3 * k + 1] = values[3 * k + 1] * ptRatio;
        values[3 * k + 2] = values[3 * k + 2] * ctRatio * ptRatio;
    }
}

}  // namespace mervo
