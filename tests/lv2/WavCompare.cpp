// wav-compare A B: exit 0 when two audio files hold the same samples bit for bit as 32-bit floats
// (same channels and length) and every sample is finite; otherwise 1, naming the first
// difference. Headers may differ: lv2apply and wayfarer-host write their own.
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

bool Read(const char* path, SF_INFO& info, std::vector<float>& samples)
{
    std::memset(&info, 0, sizeof info);
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (!file) {
        std::fprintf(stderr, "wav-compare: cannot read %s: %s\n", path, sf_strerror(nullptr));
        return false;
    }
    samples.resize(static_cast<size_t>(info.frames * info.channels));
    const sf_count_t got = sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    if (got != info.frames) {
        std::fprintf(stderr, "wav-compare: %s is cut short\n", path);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: wav-compare A B\n");
        return 2;
    }
    SF_INFO a{}, b{};
    std::vector<float> x, y;
    if (!Read(argv[1], a, x) || !Read(argv[2], b, y)) return 1;
    if (a.channels != b.channels || a.frames != b.frames) {
        std::fprintf(stderr, "wav-compare: %d channels x %lld frames against %d x %lld\n", a.channels,
                     static_cast<long long>(a.frames), b.channels, static_cast<long long>(b.frames));
        return 1;
    }
    for (size_t i = 0; i < x.size(); ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i]) || std::memcmp(&x[i], &y[i], sizeof(float)) != 0) {
            std::fprintf(stderr, "wav-compare: frame %zu, channel %zu: %.9g against %.9g\n",
                         i / static_cast<size_t>(a.channels), i % static_cast<size_t>(a.channels),
                         static_cast<double>(x[i]), static_cast<double>(y[i]));
            return 1;
        }
    }
    std::printf("wav-compare: %lld frames x %d channels identical\n", static_cast<long long>(a.frames), a.channels);
    return 0;
}
