// Expressions evaluated the way an index builds its keys and a filter tests
// records: each expression is parsed once and evaluated on every record of
// an in-memory table (C 30, C 20, N 10, N 12.2, D, L). Reports the time per
// evaluation and counts the heap allocations made while evaluating (there
// should be none once the buffers have their size).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "SampleRecords.h"
#include "dbf/expr/TableParser.h"
#include "dbf/field/FieldDef.h"

int main(int argc, char** argv)
{
    using namespace karto;
    using namespace karto::expr;
    const int records = argc > 1 ? std::atoi(argv[1]) : 200'000;

    FieldDefs defs(xBaseIII);
    const int recordSize = bench::addSampleFields(defs, false);
    const std::vector<uint8_t> data = bench::sampleRecords(records, recordSize, false);
    using bench::allocations;
    using bench::cpuNow;

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
