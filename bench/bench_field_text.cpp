// Text forms of field values the way the grid and the exports ask for them:
// every field of every record of a 7-field table (C 30, C 20, N 10, N 12.2, D,
// L, C 60) appended to one reused string. Also counts heap allocations made
// while the texts are produced (there should be none).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <ctime>
#include <string>
#include <vector>

#include "dbf/field/FieldDef.h"
#include "dbf/field/FieldText.h"
#include "dbf/field/RecordFormat.h"
#include "dbf/field/FormatSettings.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t n)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

int main(int argc, char** argv)
{
    using namespace karto;
    using Clock = std::chrono::steady_clock;
    const int records = argc > 1 ? std::atoi(argv[1]) : 200'000;
    const int passes = 10;

    FieldDefs defs(xBaseIII);
    int offset = 1;
    auto add = [&](const char* name, char letter, int size, int decimals) {
        FieldDef& def = defs.addFieldDef();
        def.setFieldName(name);
        def.setSize(size);
        def.setPrecision(decimals);
        def.setNativeFieldType(letter);
        def.setOffset(offset);
        offset += def.size();
    };
    add("NAME", 'C', 30, 0);
    add("CITY", 'C', 20, 0);
    add("QTY", 'N', 10, 0);
    add("PRICE", 'N', 12, 2);
    add("DATE", 'D', 8, 0);
    add("OK", 'L', 1, 0);
    add("NOTE", 'C', 60, 0);
    const int recordSize = offset;

    // Records with varied values: names, numbers of several widths, dates.
    std::vector<uint8_t> data(static_cast<size_t>(records) * recordSize, ' ');
    const char* names[] = {"Nov\xE1k Jan", "Dvo\xF8\xE1kov\xE1 Marie", "Svoboda", "\xC8" "ern\xFD Petr"};
    const char* cities[] = {"Praha", "Brno", "\xDA" "st\xED nad Labem", "Ostrava"};
    char tmp[64];
    for (int r = 0; r < records; ++r) {
        uint8_t* rec = data.data() + static_cast<size_t>(r) * recordSize;
        std::memcpy(rec + 1, names[r & 3], std::strlen(names[r & 3]));
        std::memcpy(rec + 31, cities[r % 4], std::strlen(cities[r % 4]));
        std::snprintf(tmp, sizeof tmp, "%10d", (r * 7919) % 1000000 - 5000);
        std::memcpy(rec + 51, tmp, 10);
        std::snprintf(tmp, sizeof tmp, "%12.2f", (r % 100000) * 1.25 + 0.05);
        std::memcpy(rec + 61, tmp, 12);
        std::snprintf(tmp, sizeof tmp, "%04d%02d%02d", 1990 + r % 30, 1 + r % 12, 1 + r % 28);
        std::memcpy(rec + 73, tmp, 8);
        rec[81] = (r & 1) ? 'T' : 'F';
        if (r % 3 == 0)
            std::memcpy(rec + 82, "Pozn\xE1mka k z\xE1znamu", 19);
    }

    FormatSettings settings;
    settings.setShortDateFormat("d.M.yyyy");
    const RecordFormat format = recordFormatOf(defs);
    std::string out;
    out.reserve(512);
    size_t bytes = 0;
    const long allocationsBefore = allocations.load();
    auto cpuNow = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
    };
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
