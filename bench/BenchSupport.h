#pragma once
// Small pieces the benchmark programs share: wall and CPU clocks, peak
// memory, the plain read() loop every reading figure is compared with, and
// a reproducible random source for generated data.

#include <chrono>
#include <cstdint>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace karto::bench {

using Clock = std::chrono::steady_clock;

inline double seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// User + system CPU seconds of this process so far: on a machine shared with
// other work, the program's own cost next to its wall-clock time.
inline double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Peak resident memory of this process so far, in KiB.
inline long peakRssKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Reads the whole file with read() into one 64 KiB buffer; returns the bytes
// read (-1 when the file cannot be opened). `check` keeps the loop honest.
inline int64_t plainLoop(const char* path, unsigned& check)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    std::vector<uint8_t> buffer(65536);
    int64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        check += buffer[static_cast<size_t>(n) - 1];
        total += n;
    }
    ::close(fd);
    return total;
}

// splitmix64: small, fast and the same everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }

private:
    uint64_t state_;
};

} // namespace karto::bench
