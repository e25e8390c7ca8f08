#pragma once
// An in-memory table for the benchmarks that work on record bytes without a
// file: the fields NAME C 30, CITY C 20, QTY N 10, PRICE N 12.2, DATUM D,
// OK L (and NOTE C 60 when asked for), and records with varied values:
// Czech names and cities in Windows 1250, numbers of several widths, dates
// over thirty years. Also the thread's CPU clock the benchmarks report.
// A benchmark program includes this once.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <vector>

#include "dbf/field/FieldDef.h"

namespace bench {

// Heap allocations made so far by the program (operator new below).
inline std::atomic<long> allocations{0};

// Adds the fields to defs (an xBase III collection) and returns the record
// length, the deletion flag included.
inline int addSampleFields(karto::FieldDefs& defs, bool withNote)
{
    int offset = 1;
    auto add = [&](const char* name, char letter, int size, int decimals) {
        karto::FieldDef& def = defs.addFieldDef();
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
    add("DATUM", 'D', 8, 0);
    add("OK", 'L', 1, 0);
    if (withNote)
        add("NOTE", 'C', 60, 0);
    return offset;
}

// records records of recordSize bytes for those fields, one after another.
inline std::vector<uint8_t> sampleRecords(int records, int recordSize, bool withNote)
{
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
        if (withNote && r % 3 == 0)
            std::memcpy(rec + 82, "Pozn\xE1mka k z\xE1znamu", 19);
    }
    return data;
}

// CPU seconds of the calling thread.
inline double cpuNow()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

} // namespace bench

void* operator new(std::size_t n)
{
    bench::allocations.fetch_add(1, std::memory_order_relaxed);
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
