// Expressions evaluated the way an index builds its keys and a filter tests
// records: each expression is parsed once and evaluated on every record of
// an in-memory table (C 30, C 20, N 10, N 12.2, D, L). Reports the time per
// evaluation and counts the heap allocations made while evaluating (there
// should be none once the buffers have their size).
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "dbf/expr/TableParser.h"
#include "dbf/field/FieldDef.h"

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
    using namespace karto::expr;
    const int records = argc > 1 ? std::atoi(argv[1]) : 200'000;

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
    add("DATUM", 'D', 8, 0);
    add("OK", 'L', 1, 0);
    const int recordSize = offset;

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
    }

    auto cpuNow = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
    };

    struct Run {
        const char* text;
        bool key;   // the index key parser (mixed joins), else the filter parser
    };
    const Run runs[] = {
        {"NAME", true},
        {"UPPER(NAME)+DTOS(DATUM)", true},
        {"CITY+PRICE", true},
        {"STR(QTY,10)+LEFT(NAME,8)", true},
        {"PRICE*QTY", true},
        {"CITY='*ava*' AND PRICE>100 OR NOT OK", false},
        {"YEAR(DATUM)=2000 AND TRIM(UPPER(NAME))='SVOBODA'", false},
    };
    long totalAllocated = 0;
    for (const Run& run : runs) {
        TableParser filter(defs);
        IndexKeyParser key(defs);
        TableParser& parser = run.key ? static_cast<TableParser&>(key) : filter;
        if (!run.key)
            filter.parseExpression(run.text);
        else
            key.parseExpression(run.text);
        // One evaluation first: buffers take their size.
        parser.extractFromBuffer(data.data(), 1);
        size_t checksum = 0;
        const long before = allocations.load();
        const double start = cpuNow();
        for (int r = 0; r < records; ++r) {
            const char* result = parser.extractFromBuffer(data.data() + static_cast<size_t>(r) * recordSize, r + 1);
            checksum += static_cast<unsigned char>(result[0]);
        }
        const double cpu = cpuNow() - start;
        const long allocated = allocations.load() - before;
        totalAllocated += allocated;
        std::printf("%-50s %7.1f ns per record (CPU), %ld heap allocations, checksum %zu\n", run.text,
                    cpu * 1e9 / records, allocated, checksum);
    }
    return totalAllocated == 0 ? 0 : 1;
}
