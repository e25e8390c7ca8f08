// The main window's memory around an export of the whole table, run through
// its export action as the user runs it (offscreen): resident memory, the
// heap's bytes in use (live objects) and the free bytes the allocator holds,
// with the table open and every grid row found (what the window needs to
// show it), then after the export. The window gives the export's freed heap
// back to the system when the export ends, so resident memory returns to its
// level before the export.
//
//   QT_QPA_PLATFORM=offscreen bench_export_memory [TABLE.dbf | RECORDS] [xlsx|xls|csv]
//
// Given a number of records (default 1,000,000) it writes a table whose every
// record has texts of its own: the workbook's shared strings grow with each
// record, the export's largest build-up.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include <malloc.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>

#include "../BenchSupport.h"
#include "app/DbfGridModel.h"
#include "app/MainWindow.h"

namespace {

using namespace karto::bench;

struct Memory {
    double residentMiB;
    double inUseMiB;
    double heldFreeMiB;
};

Memory memoryNow()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    const struct mallinfo2 heap = ::mallinfo2();
    const double mib = 1024.0 * 1024.0;
    return {static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / mib,
            static_cast<double>(heap.uordblks + heap.hblkhd) / mib, static_cast<double>(heap.fordblks) / mib};
}

void print(const char* when, const Memory& m)
{
    std::printf("%-24s resident %7.1f MiB   heap in use %7.1f MiB   held free %7.1f MiB\n", when, m.residentMiB,
                m.inUseMiB, m.heldFreeMiB);
}

void putLe(std::string& out, std::size_t at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

// A dBase III table of ID N 7, NAZEV C 30, POZN C 40, CENA N 10.2; every
// record's texts differ from every other's.
bool writeUniqueTextTable(const std::string& path, int records)
{
    struct Field { const char* name; char type; int length; int decimals; };
    const Field fields[] = {{"ID", 'N', 7, 0}, {"NAZEV", 'C', 30, 0}, {"POZN", 'C', 40, 0}, {"CENA", 'N', 10, 2}};
    const int recordSize = 1 + 7 + 30 + 40 + 10;
    std::string header(32, '\0');
    header[0] = 0x03;
    header[1] = 124;
    header[2] = 1;
    header[3] = 1;
    putLe(header, 4, static_cast<uint32_t>(records), 4);
    putLe(header, 8, 32 + 32 * 4 + 1, 2);
    putLe(header, 10, recordSize, 2);
    for (const Field& f : fields) {
        std::string d(32, '\0');
        std::memcpy(d.data(), f.name, std::strlen(f.name));
        d[11] = f.type;
        d[16] = static_cast<char>(f.length);
        d[17] = static_cast<char>(f.decimals);
        header += d;
    }
    header += '\r';
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    std::fwrite(header.data(), 1, header.size(), out);
    char record[160];
    for (int i = 0; i < records; ++i) {
        std::snprintf(record, sizeof record, " %7d%-30.30s%-40.40s%10.2f", i + 1,
                      ("Polozka cislo " + std::to_string(i)).c_str(),
                      ("Poznamka k zaznamu " + std::to_string(int64_t{i} * 7919 % 1000003)).c_str(), i / 100.0);
        std::fwrite(record, 1, recordSize, out);
    }
    std::fputc(0x1A, out);
    return std::fclose(out) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const char* format = argc > 2 ? argv[2] : "xlsx";
    qputenv("XDG_CONFIG_HOME", "/nonexistent-karto-bench");
    QApplication app(argc, argv);
    try {
        QTemporaryDir out;
        QString table = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("1000000");
        bool isCount = false;
        const int records = table.toInt(&isCount);
        if (isCount) {
            table = out.filePath(QStringLiteral("UNIQUE.DBF"));
            if (!writeUniqueTextTable(table.toStdString(), records)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(table));
                return 1;
            }
        }
        const QString target = out.filePath(QStringLiteral("export.") + QString::fromLatin1(format));
        karto::MainWindow window;
        window.setWriteSettingsOnClose(false);
        karto::MainWindow::Dialogs dialogs = window.dialogs();
        dialogs.saveFileName = [&](QWidget*, const QString&, const QString&, const QString&) { return target; };
        dialogs.warning = [](QWidget*, const QString& text) { std::printf("warning: %s\n", qPrintable(text)); };
        dialogs.error = [](QWidget*, const QString& text) { std::printf("error: %s\n", qPrintable(text)); };
        window.setDialogs(dialogs);
        window.resize(800, 600);
        window.show();
        if (!window.openTableReporting(table))
            return 1;
        window.gridModel()->finishScan();
        QApplication::processEvents();
        std::printf("table: %s, %d records\n", qPrintable(table), window.dbf().recordCount());
        print("table open, rows found:", memoryNow());

        const karto::ActionId id = std::strcmp(format, "csv") == 0 ? karto::aToCSV : karto::aToXLS;
        window.actionListUpdate();
        const auto t0 = Clock::now();
        window.action(id)->trigger();
        const double took = seconds(t0);
        QApplication::processEvents();
        print("after the export:", memoryNow());
        std::printf("export to %s: %.2f s, peak resident %.1f MiB\n", format, took,
                    static_cast<double>(peakRssKiB()) / 1024.0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
