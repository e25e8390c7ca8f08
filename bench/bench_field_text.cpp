// Text forms of field values the way the grid and the exports ask for them:
// every field of every record of a 7-field table (C 30, C 20, N 10, N 12.2, D,
// L, C 60) appended to one reused string. Also counts heap allocations made
// while the texts are produced (there should be none).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "SampleRecords.h"
#include "dbf/field/FieldDef.h"
#include "dbf/field/FieldText.h"
#include "dbf/field/RecordFormat.h"
#include "dbf/field/FormatSettings.h"

int main(int argc, char** argv)
{
    using namespace karto;
    using Clock = std::chrono::steady_clock;
    const int records = argc > 1 ? std::atoi(argv[1]) : 200'000;
    const int passes = 10;

    FieldDefs defs(xBaseIII);
    const int recordSize = bench::addSampleFields(defs, true);
    const std::vector<uint8_t> data = bench::sampleRecords(records, recordSize, true);
    using bench::allocations;
    using bench::cpuNow;

    FormatSettings settings;
    settings.setShortDateFormat("d.M.yyyy");
    const RecordFormat format = recordFormatOf(defs);
    std::string out;
    out.reserve(512);
    size_t bytes = 0;
    const long allocationsBefore = allocations.load();
    const double cpuStart = cpuNow();
    const auto start = Clock::now();
    for (int pass = 0; pass < passes; ++pass) {
        for (int r = 0; r < records; ++r) {
            const std::span<const uint8_t> rec(data.data() + static_cast<size_t>(r) * recordSize,
                                               static_cast<size_t>(recordSize));
            for (int f = 0; f < 7; ++f) {
                out.clear();
                appendFieldText(out, defs.item(f), format, rec, settings);
                bytes += out.size();
            }
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpuSeconds = cpuNow() - cpuStart;
    const long allocated = allocations.load() - allocationsBefore;
    const double fields = double(records) * 7 * passes;
    // The CPU time counts only this thread's running time: on a busy machine
    // it is the better measure.
    std::printf("%.0f fields, %zu bytes of text: %.3f s wall, %.3f s CPU; %.1f million fields/s "
                "(%.1f ns per field) by CPU time, %.1f million by wall time; %ld heap allocations\n",
                fields, bytes, seconds, cpuSeconds, fields / cpuSeconds / 1e6, cpuSeconds * 1e9 / fields,
                fields / seconds / 1e6, allocated);
    return allocated == 0 ? 0 : 1;
}
