#include "measurement/file_layout.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace mervo {

bool FileHeader::motorDataValid() const {
    for (float v : nameplate)
        if (v == 0.0f) return false;
    return true;
}

QString headerProblem(const float h[12]) {
    if (!(h[0] >= 0.0f && h[0] <= 86400.0f))
        return QStringLiteral("第 1 项（开始时间）为 %1，不在 0～86400 秒之间").arg(double(h[0]));
    if (!(h[1] >= 0.0f) || std::isinf(h[1]))
        return QStringLiteral("第 2 项（测量时长）为 %1，不是有效的时长").arg(double(h[1]));
    for (int i = 2; i < 9; ++i)
        if (!std::isfinite(h[i])) return QStringLiteral("第 %1 项（电机铭牌数据）不是有效的数值").arg(i + 1);
    for (int i = 9; i < 12; ++i)
        if (h[i] != 0.0f && h[i] != 1.0f && h[i] != -1.0f)
            return QStringLiteral("第 %1 项（通道标志）为 %2，应为 0 或 1").arg(i + 1).arg(double(h[i]));
    return {};
}

float sampleCountFromLength(int64_t bytes) {
    // In double: a float does not hold the byte count of a day-long file exactly, which made it fractional.
    return static_cast<float>((static_cast<double>(bytes) / 4.0 - 36.0) / 9.0);
}

void encodeRecords(const float* values, size_t n, unsigned char* out) {
    for (size_t i = 0; i < n; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &values[i], 4);
        for (int b = 0; b < 4; ++b) out[4 * i + b] = static_cast<unsigned char>(bits >> (8 * b));
    }
}

void decodeRecordsInPlace(float* values, size_t n) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    (void)values;
    (void)n;
#else
    std::vector<unsigned char> bytes(n * sizeof(float));
    std::memcpy(bytes.data(), values, bytes.size());
    decodeRecords(bytes.data(), n, values);
#endif
}

void decodeRecords(const unsigned char* in, size_t n, float* values) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // The file's byte order is the host's: a copy is the whole conversion, and a long pass reads millions.
    std::memcpy(values, in, n * sizeof(float));
#else
    for (size_t i = 0; i < n; ++i) {
        uint32_t bits = 0;
        for (int b = 0; b < 4; ++b) bits |= static_cast<uint32_t>(in[4 * i + b]) << (8 * b);
        std::memcpy(&values[i], &bits, 4);
    }
#endif
}

}  // namespace mervo
