// CSV export of a whole table through exportToCSV, as the command line runs
// it: read-only dataset, Latin 2 text converted through the code page
// converter, every field in table order. Reports seconds, MB/s of table read,
// records/s and peak memory, next to a plain loop of 64 KiB read() calls over
// the same file.
//
//   bench_csv_export TABLE.dbf [OUT.csv] [repeats]   (make one with make_bench_table)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "BenchSupport.h"
#include "convert/CodePageConverter.h"
#include "dbf/Error.h"
#include "dbf/table/TableDataset.h"
#include "export/text/TextExport.h"

using namespace karto::bench;

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TABLE.dbf [OUT.csv] [repeats]\n", argv[0]);
        return 2;
    }
    const char* path = argv[1];
    const std::string out = argc > 2 ? argv[2] : "/tmp/bench_csv_export.csv";
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    unsigned check = 0;

    const int64_t fileBytes = plainLoop(path, check);   // warms the page cache
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
    const double rssBefore = (peakRssKiB() / 1024.0);

    try {
        karto::CodePageConverter converter;
        converter.chooseCodePage(karto::cpLatin2);
        karto::TableDataset ds;
        ds.setTableName(path);
        ds.setReadOnly(true);
        ds.setOnTranslate(&converter);
        ds.open();
        const int count = ds.recordCount();
        const std::vector<int> columns = karto::allColumns(ds);

        double best = 1e9, bestCpu = 1e9;
        for (int i = 0; i < repeats; ++i) {
            const auto t0 = Clock::now();
            const double c0 = cpuSeconds();
            karto::exportToCSV(out, ds, columns);
            best = std::min(best, seconds(t0));
            bestCpu = std::min(bestCpu, cpuSeconds() - c0);
        }
        struct stat st {};
        ::stat(out.c_str(), &st);

        const double mb = 1024.0 * 1024.0;
        std::printf("table: %s, %d records, %d fields, %.1f MB; CSV %.1f MB\n", path, count,
                    static_cast<int>(columns.size()), static_cast<double>(fileBytes) / mb,
                    static_cast<double>(st.st_size) / mb);
        std::printf("plain read() loop: %8.4f s  %10.0f records/s  %8.0f MB/s\n", plainBest,
                    count / plainBest, static_cast<double>(fileBytes) / mb / plainBest);
        std::printf("exportToCSV:       %8.4f s  %10.0f records/s  %8.0f MB/s of table  ratio %.1f\n",
                    best, count / best, static_cast<double>(fileBytes) / mb / best, best / plainBest);
        std::printf("  CPU time:        %8.4f s (user + system)\n", bestCpu);
        std::printf("peak RSS:          %8.1f MiB (%.1f MiB before opening the table)\n", (peakRssKiB() / 1024.0),
                    rssBefore);
        std::printf("targets: <= 0.6 s for 1,000,000 records, peak memory < 64 MiB (check %u)\n", check);
    } catch (const karto::KartoError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
