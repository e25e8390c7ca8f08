// Walks a table through the table file's sequential read path (the read-ahead
// window, no copy per record) and compares it with a plain loop of 64 KiB
// read() calls over the same file. Also times copying reads and jumps to
// random record numbers (the grid's access).
//
//   bench_table_walk TABLE.dbf [repeats]      (make one with make_bench_table)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "BenchSupport.h"
#include "dbf/Error.h"
#include "dbf/table/TableFile.h"

namespace {

using namespace karto::bench;


} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TABLE.dbf [repeats]\n", argv[0]);
        return 2;
    }
    const char* path = argv[1];
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    unsigned check = 0;

    // Warm the page cache, then the best of the repeats.
    const int64_t fileBytes = plainLoop(path, check);
    if (fileBytes < 0) {
        std::perror(path);
        return 1;
    }
    double plainBest = 1e9;
    for (int i = 0; i < repeats; ++i) {
        const auto t0 = Clock::now();
        plainLoop(path, check);
        plainBest = std::min(plainBest, seconds(t0));
    }

    try {
        karto::TableFile table;
        table.setFileName(path);
        table.setMode(karto::pfReadOnly);
        const auto tOpen = Clock::now();
        table.open();
        const double openTime = seconds(tOpen);
        table.setBufferAhead(true);
        const int32_t count = table.recordCount();
        const double tableBytes = static_cast<double>(count) * table.recordSize();

        double walkBest = 1e9;
        long deleted = 0;
        for (int i = 0; i < repeats; ++i) {
            const auto t0 = Clock::now();
            deleted = 0;
            for (int32_t n = 1; n <= count; ++n) {
                const uint8_t* record = table.recordPtr(n);
                if (!record)
                    break;
                deleted += record[0] == '*';
            }
            walkBest = std::min(walkBest, seconds(t0));
        }

        double copyBest = 1e9;
        std::vector<uint8_t> buffer(static_cast<size_t>(table.recordSize()));
        for (int i = 0; i < repeats; ++i) {
            const auto t0 = Clock::now();
            for (int32_t n = 1; n <= count; ++n) {
                if (table.readRecord(n, buffer.data()) == 0)
                    break;
                check += buffer[1];
            }
            copyBest = std::min(copyBest, seconds(t0));
        }

        double backBest = 1e9;
        for (int i = 0; i < repeats; ++i) {
            const auto t0 = Clock::now();
            for (int32_t n = count; n >= 1; --n) {
                const uint8_t* record = table.recordPtr(n);
                if (!record)
                    break;
                check += record[0];
            }
            backBest = std::min(backBest, seconds(t0));
        }

        // The grid: jump to a random record, then read the 40 rows of a screen.
        const int jumps = 20000;
        uint64_t state = 12345;
        const auto tJump = Clock::now();
        for (int j = 0; j < jumps && count > 0; ++j) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            const int32_t start = 1 + static_cast<int32_t>((state >> 33) % static_cast<uint64_t>(count));
            for (int32_t n = start; n < start + 40 && n <= count; ++n)
                if (const uint8_t* record = table.recordPtr(n))
                    check += record[0];
        }
        const double jumpTime = seconds(tJump);

        const double mb = 1024.0 * 1024.0;
        std::printf("table: %s, %d records of %d bytes (%ld deleted), %.1f MB\n", path, count,
                    table.recordSize(), deleted, static_cast<double>(fileBytes) / mb);
        std::printf("open:              %10.6f s\n", openTime);
        std::printf("plain read() loop: %10.4f s  %10.0f records/s  %8.0f MB/s\n", plainBest,
                    count / plainBest, static_cast<double>(fileBytes) / mb / plainBest);
        std::printf("walk (recordPtr):  %10.4f s  %10.0f records/s  %8.0f MB/s  ratio %.2f\n", walkBest,
                    count / walkBest, tableBytes / mb / walkBest, walkBest / plainBest);
        std::printf("walk (readRecord): %10.4f s  %10.0f records/s  %8.0f MB/s  ratio %.2f\n", copyBest,
                    count / copyBest, tableBytes / mb / copyBest, copyBest / plainBest);
        std::printf("walk backwards:    %10.4f s  %10.0f records/s  %8.0f MB/s  ratio %.2f\n", backBest,
                    count / backBest, tableBytes / mb / backBest, backBest / plainBest);
        std::printf("grid jumps:        %10.4f s  %10.0f screens/s (40 rows after a random jump)\n",
                    jumpTime, jumps / jumpTime);
        std::printf("(check %u)\n", check);
    } catch (const karto::KartoError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
