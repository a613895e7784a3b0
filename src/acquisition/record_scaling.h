// Scaling a received block from the transformers' secondary values to primary ones.
#pragma once

#include <array>

namespace mervo {

// Transformer scaling of the nine decoded values (elements 0..8 in file-sample order).
void ScaleRecord(std::array<float, 12>& values, float ctRatio, float ptRatio);

}  // namespace mervo
