// `karto --append` speed: CSV rows appended to a copy of the benchmark table
// through the dataset (every line checked first, then appended with the
// locks of a shared open per record), next to the table file's appends alone
// (the same number of ready records: locks and writes, no parsing).
//
//   bench_append BENCH.dbf WORK-FOLDER [rows]
//
// Reports records per second, the bytes written per record (as the system
// counted them for this process) and the load of the machine.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "BenchSupport.h"
#include "commands/CsvAppend.h"
#include "convert/CodePageConverter.h"
#include "dbf/table/TableDataset.h"
#include "dbf/table/TableFile.h"

using namespace karto;
using namespace karto::bench;

namespace {

// Bytes this process has handed to write system calls so far.
long long writtenBytes()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == "wchar:")
            return value;
    return -1;
}

void writeCsv(const std::string& path, long rows)
{
    static const char* names[] = {"Novák Jiří", "Dvořák Jan", "Černý Petr", "Procházka Eva", "Kučera Hana",
                                  "Veselý Tomáš", "Růžička Věra", "Šťastný Ondřej", "Žáková Marie"};
    static const char* towns[] = {"Praha", "Brno", "Plzeň", "České Budějovice", "Ústí nad Labem",
                                  "Žďár nad Sázavou", "Ďáblice"};
    std::ofstream out(path, std::ios::binary);
    out << "\xEF\xBB\xBF" "NAZEV;MESTO;POCET;CENA;DATUM;PLATNY;POZN\r\n";
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    char line[512];
    for (long i = 0; i < rows; ++i) {
        const uint32_t r = next();
        const int n = std::snprintf(line, sizeof line, "%s;%s;%u;%u.%02u;%04u-%02u-%02u;%c;\"řádek %ld, "
                                    "příliš žluťoučký kůň\"\r\n",
                                    names[r % 9], towns[(r >> 4) % 7], r % 100000, r % 10000, (r >> 3) % 100,
                                    1990 + r % 35, 1 + (r >> 5) % 12, 1 + (r >> 9) % 28, (r & 1) ? 'T' : 'F', i);
        out.write(line, n);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s BENCH.dbf WORK-FOLDER [rows]\n", argv[0]);
        return 2;
    }
    const long rows = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 100000;
    namespace fs = std::filesystem;
    const fs::path work(argv[2]);
    fs::create_directories(work);
    const std::string csv = (work / "append.csv").string();
    writeCsv(csv, rows);
    double load[3] = {};
    if (::getloadavg(load, 3) < 0)
        load[0] = -1;
    std::printf("load average %.2f; %ld CSV rows (%lld bytes)\n", load[0], rows,
                static_cast<long long>(fs::file_size(csv)));

    // The dataset's road, as `karto --cp=852 --append=append.csv` takes it.
    const std::string table = (work / "append.dbf").string();
    fs::copy_file(argv[1], table, fs::copy_options::overwrite_existing);
    {
        CodePageConverter converter;
        converter.chooseCodePage(cpLatin2);
        TableDataset ds;
        ds.setOnTranslate(&converter);
        ds.setTableName(table);
        ds.setReadOnly(false);
        ds.open();
        const long long written = writtenBytes();
        const double cpu = cpuSeconds();
        const auto start = Clock::now();
        const int64_t appended = appendCsvFile(ds, csv);
        const double wall = seconds(start);
        const long long bytes = writtenBytes() - written;
        std::printf("append through the dataset: %lld records in %.3f s (CPU %.3f s): %.0f records/s, "
                    "%.1f bytes written per record\n",
                    static_cast<long long>(appended), wall, cpuSeconds() - cpu, static_cast<double>(appended) / wall,
                    static_cast<double>(bytes) / static_cast<double>(appended));
    }

    // The table file's appends alone: the same number of ready records.
    fs::copy_file(argv[1], table, fs::copy_options::overwrite_existing);
    {
        TableFile file;
        file.setFileName(table);
        file.setMode(pfReadWriteOpen);
        file.open();
        std::vector<uint8_t> record(static_cast<size_t>(file.recordSize()));
        file.initRecord(record.data());
        const long long written = writtenBytes();
        const double cpu = cpuSeconds();
        const auto start = Clock::now();
        for (long i = 0; i < rows; ++i)
            file.insert(record.data());
        const double wall = seconds(start);
        const long long bytes = writtenBytes() - written;
        std::printf("table file appends alone:   %ld records in %.3f s (CPU %.3f s): %.0f records/s, "
                    "%.1f bytes written per record\n",
                    rows, wall, cpuSeconds() - cpu, static_cast<double>(rows) / wall,
                    static_cast<double>(bytes) / static_cast<double>(rows));
        file.close();
    }
    fs::remove(table);
    fs::remove(csv);
    return 0;
}
