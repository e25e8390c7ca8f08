// Every field's text of every visible record, through the dataset as the
// exports and the search read it: Latin 2 text converted by the code page
// converter and decoded to UTF-8, numbers and dates in their text forms.
// Reports fields and records per second next to a plain read() loop over
// the file, and the time to open the table and read its first 100 records.
//
//   bench_dataset_text TABLE.dbf [repeats]   (make one with make_bench_table)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchSupport.h"
#include "convert/CodePageConverter.h"
#include "dbf/table/TableDataset.h"

using namespace karto::bench;

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TABLE.dbf [repeats]\n", argv[0]);
        return 2;
    }
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    karto::CodePageConverter converter;
    converter.chooseCodePage(karto::cpLatin2);

    double bestOpen = 1e9;
    for (int i = 0; i < repeats; ++i) {
        const auto start = Clock::now();
        karto::TableDataset dbf;
        dbf.setOnTranslate(&converter);
        dbf.setTableName(argv[1]);
        dbf.open();
        std::string text;
        int n = 0;
        for (dbf.first(); !dbf.eof() && n < 100; dbf.next(), ++n)
            for (int f = 0; f < dbf.fieldCount(); ++f)
                dbf.appendFieldText(text, f, dbf.currentRecord());
        bestOpen = std::min(bestOpen, seconds(start));
    }

    unsigned check = 0;
    double bestPlain = 1e9;
    for (int i = 0; i < repeats; ++i) {
        const auto start = Clock::now();
        plainLoop(argv[1], check);
        bestPlain = std::min(bestPlain, seconds(start));
    }

    karto::TableDataset dbf;
    dbf.setOnTranslate(&converter);
    dbf.setTableName(argv[1]);
    dbf.open();
    double best = 1e9;
    int64_t records = 0, fields = 0;
    for (int i = 0; i < repeats; ++i) {
        records = fields = 0;
        std::string text;
        text.reserve(4096);
        const auto start = Clock::now();
        karto::ControlsDisabled walk(dbf);
        for (dbf.first(); !dbf.eof(); dbf.next()) {
            ++records;
            const uint8_t* record = dbf.currentRecord();
            for (int f = 0; f < dbf.fieldCount(); ++f) {
                text.clear();
                dbf.appendFieldText(text, f, record);
                check += static_cast<unsigned>(text.size());
                ++fields;
            }
        }
        best = std::min(best, seconds(start));
    }
    std::printf("open and first 100 records: %8.4f s\n", bestOpen);
    std::printf("plain read() loop:          %8.4f s\n", bestPlain);
    std::printf("every field's text:         %8.4f s  %6.1f million fields/s  %6.2f million records/s  "
                "ratio %.1f\n",
                best, fields / best / 1e6, records / best / 1e6, best / bestPlain);
    std::printf("target: at least 10 million fields/s; open and 100 records under 5 ms (check %u)\n", check);
    return 0;
}
