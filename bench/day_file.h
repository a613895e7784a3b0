// The long measurement the benchmarks work on: a motor that starts, runs with a varying load and noise, idles
// and now and then feeds back, drawing inductive reactive power throughout, recorded at 32 samples a second, with a
// trailer of rough extremes.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "measurement/file_layout.h"
#include "measurement/writer.h"

namespace bench {

inline bool generate(const std::string& path, long samples) {
    mervo::WorkingFileWriter w;
    mervo::FileHeader h;
    h.StartTime = 8 * 3600;
    h.TotalTime = static_cast<float>(samples / 32.0);
    h.nameplate = {4, 11, 22.6f, 88, 7, 0.5f, 380};
    h.channels = {1, 1, 1};
    if (!w.create(QString::fromStdString(path), h)) return false;
    (void)w.close();
    uint32_t s = 12345;
    const auto noise = [&s] {
        s = s * 1664525u + 1013904223u;
        return (s >> 8) / 16777216.0f - 0.5f;
    };
    std::array<float, 12> mx, mn;
    mx.fill(-100000);
    mn.fill(100000);
    // Written in blocks: one write per sample would measure the disk, not the pass.
    std::vector<unsigned char> block;
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
    for (long i = 0; i < samples; ++i) {
        const float u = static_cast<float>(i) / samples;
        const float load =
            u < 0.01f ? u * 100 : (std::fmod(u * 20, 1.0f) < 0.1f ? 0.05f : 0.5f + 0.4f * std::sin(u * 40));
        float v[9];
        for (int k = 0; k < 3; ++k) {
            const float i1 = 8 + 14 * load + noise();
            const float u1 = 380 + 5 * noise();
            const float p =
                (std::fmod(u * 97, 1.0f) < 0.01f ? -0.3f : 1.0f) * (0.2f + 3.6f * load) + 0.05f * noise();
            v[3 * k] = -i1;  // a lagging motor: the instrument stores the current with its reactive power's sign
            v[3 * k + 1] = u1;
            v[3 * k + 2] = p;
        }
        unsigned char b[36];
        mervo::encodeRecords(v, 9, b);
        block.insert(block.end(), b, b + 36);
        if (block.size() >= (1 << 20) || i + 1 == samples) {
            if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) return false;
            block.clear();
        }
        // Rough extremes for the axes; the pass uses them only to scale.
        const float sp = v[2] + v[5] + v[8];
        for (int n : {0, 1, 3, 4, 6, 7}) {
            mx[n] = std::max(mx[n], std::fabs(v[n]));
            mn[n] = std::min(mn[n], std::fabs(v[n]));
        }
        mx[2] = std::max(mx[2], sp);
        mn[2] = std::min(mn[2], sp);
    }
    ::close(fd);
    mx[8] = 1, mn[8] = 0.2f;
    unsigned char t[96];
    mervo::encodeRecords(mx.data(), 12, t);
    mervo::encodeRecords(mn.data(), 12, t + 48);
    const int fd2 = ::open(path.c_str(), O_WRONLY | O_APPEND);
    const bool ok = ::write(fd2, t, sizeof t) == static_cast<ssize_t>(sizeof t);
    ::close(fd2);
    return ok;
}

// The generated measurement of `samples` samples, its samples written `days` times over: a week or a month of
// the same day, with the duration and trailer of the whole.
inline bool generateRepeated(const std::string& path, long samples, int days) {
    if (!generate(path, samples)) return false;
    if (days <= 1) return true;
    const int fd = ::open(path.c_str(), O_RDWR);
    if (fd < 0) return false;
    const long long sampleBytes = 36LL * samples;
    std::vector<unsigned char> day(static_cast<size_t>(sampleBytes)), trailer(96);
    bool ok = ::pread(fd, day.data(), day.size(), 48) == static_cast<ssize_t>(day.size()) &&
              ::pread(fd, trailer.data(), trailer.size(), 48 + sampleBytes) == 96;
    for (int d = 1; ok && d < days; ++d)
        ok = ::pwrite(fd, day.data(), day.size(), 48 + d * sampleBytes) == static_cast<ssize_t>(day.size());
    ok = ok && ::pwrite(fd, trailer.data(), trailer.size(), 48 + days * sampleBytes) == 96;
    // Record 2, the duration: the days' samples at 32 a second.
    const float total = static_cast<float>(static_cast<double>(samples) * days / 32.0);
    unsigned char t[4];
    mervo::encodeRecords(&total, 1, t);
    ok = ok && ::pwrite(fd, t, 4, 4) == 4;
    ::close(fd);
    return ok;
}

}  // namespace bench
