// Spreadsheet export of a table through the export driver, as the command
// line runs it: XLSX of the whole table next to gzip -6 of the same sheet XML
// (the cost of deflate alone), and XLS next to XLSX for the first 65,535
// records. Each export runs in a child process so that its peak memory is
// its own.
//
//   bench_workbook_export TABLE.dbf [OUT-FOLDER]   (make one with make_bench_table)
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "convert/CodePageConverter.h"
#include "dbf/table/TableDataset.h"
#include "export/driver/WorkbookExport.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    double seconds = 0;
    double cpu = 0;
    long peakKiB = 0;
    long long bytes = 0;
};

// Exports `records` visible records (0: all) in a child process.
Figures exportInChild(const std::string& table, const std::string& out, int records)
{
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        karto::CodePageConverter converter;
        converter.chooseCodePage(karto::cpLatin2);
        karto::TableDataset dbf;
        dbf.setOnTranslate(&converter);
        dbf.setTableName(table);
        dbf.open();
        if (records > 0) {
            // The first records of the table: a filter on the physical number.
            int last = 0, seen = 0;
            std::vector<uint8_t> buffer;
            for (int n = 1; n <= dbf.recordCount() && seen < records; ++n)
                if (dbf.readRecord(n, buffer) && buffer[0] != '*')
                    ++seen, last = n;
            dbf.setOnFilterRecord([last](karto::TableDataset& ds, bool& accept) {
                accept = ds.recNo() <= last;
            });
            dbf.setFiltered(true);
        }
        karto::exportWorkbook(out, dbf);
        std::_Exit(0);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Figures f;
    f.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    f.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    f.peakKiB = usage.ru_maxrss;
    struct stat st {};
    if (::stat(out.c_str(), &st) == 0)
        f.bytes = st.st_size;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "export to %s failed\n", out.c_str());
    return f;
}

void print(const char* what, const Figures& f)
{
    std::printf("%-28s %7.2f s wall %7.2f s cpu %8.1f MiB peak %10.1f MB\n", what, f.seconds, f.cpu,
                f.peakKiB / 1024.0, f.bytes / 1e6);
}

// gzip -6 of the sheet XML taken out of the XLSX file (unzip -p).
void deflateAlone(const std::string& xlsx, const std::string& folder)
{
    const std::string xml = folder + "/sheet1.xml";
    const std::string extract = "unzip -p '" + xlsx + "' xl/worksheets/sheet1.xml > '" + xml + "'";
    if (std::system(extract.c_str()) != 0)
        return;
    const auto start = Clock::now();
    const std::string gzip = "gzip -6 -c '" + xml + "' > /dev/null";
    if (std::system(gzip.c_str()) == 0) {
        struct stat st {};
        ::stat(xml.c_str(), &st);
        std::printf("%-28s %7.2f s wall (sheet XML %.1f MB)\n", "gzip -6 of the sheet XML",
                    std::chrono::duration<double>(Clock::now() - start).count(), st.st_size / 1e6);
    }
    ::unlink(xml.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TABLE.dbf [OUT-FOLDER]\n", argv[0]);
        return 2;
    }
    const std::string table = argv[1];
    const std::string folder = argc > 2 ? argv[2] : "/tmp";

    const std::string whole = folder + "/bench-whole.xlsx";
    print("XLSX, whole table", exportInChild(table, whole, 0));
    deflateAlone(whole, folder);
    print("XLSX, 65,535 records", exportInChild(table, folder + "/bench-65535.xlsx", 65535));
    print("XLS, 65,535 records", exportInChild(table, folder + "/bench-65535.xls", 65535));
    return 0;
}
