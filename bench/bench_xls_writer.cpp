// XLS export of 65,535 records of a 7-field table (NAZEV C 30, MESTO C 20,
// POCET N 10, CENA N 12.2, DATUM D, PLATNY L, POZN C 60) with Czech text,
// driven as the export driver drives the streaming writers: the header and the
// first 49 records held in the model (they decide the column widths), every
// further record pushed as typed cells. The XLSX export of the same rows runs
// next to it. Each export runs in a child process so that its peak memory is
// its own.
//
// Usage: bench_xls_writer [records] [output folder]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "export/workbook/ExportCell.h"
#include "export/workbook/ExportRow.h"
#include "export/workbook/ExportWorkSheet.h"
#include "export/workbook/Workbook.h"
#include "export/workbook/WorkbookFormatting.h"
#include "export/xls/XLSWriter.h"
#include "export/xlsx/XLSXWriter.h"

using namespace karto;

namespace {

const char* const kNames[] = {"Šroub M6", "Matice M8", "Podložka", "Hřebík 80 mm", "Vrut do dřeva", "Kotva chemická",
                              "Lepidlo Čistič", "Žárovka", "Ůhelník", "Těsnění"};
const char* const kCities[] = {"Praha", "Brno", "Ostrava", "Plzeň", "Liberec", "Olomouc", "České Budějovice",
                               "Hradec Králové", "Ústí nad Labem", "Pardubice", "Zlín", "Jihlava"};

struct Record {
    std::string nazev, mesto, pozn;
    double pocet, cena, datum;
    bool platny;
};

Record makeRecord(int i)
{
    Record r;
    r.nazev = std::string(kNames[i % 10]) + " č. " + std::to_string(i % 5000);
    r.mesto = kCities[(i * 7) % 12];
    r.pocet = (i * 37) % 100000;
    r.cena = ((i * 7919) % 1000000) / 100.0;
    r.datum = (i % 11 == 0) ? 0.0 : 43831 + (i * 13) % 2000;   // some empty dates
    r.platny = i % 3 != 0;
    r.pozn = (i % 4 == 0) ? std::string() : "Poznámka k položce " + std::to_string(i) + ": dodáno, účtováno, přeúčtováno";
    return r;
}

void fillModelRow(ExportRow& row, const Record& r)
{
    row.addCellString(r.nazev).setCalculateColWidth(true);
    row.addCellString(r.mesto).setCalculateColWidth(true);
    row.addCellNumber(0, r.pocet).setCalculateColWidth(true);
    row.addCellNumber(-1, r.cena).setCalculateColWidth(true);
    if (r.datum <= 1)
        row.addCellString("");
    else
        row.addCellDateTime(r.datum).setExcelNumberFormat("dd.mm.yyyy").setCalculateColWidth(true);
    row.addCellBoolean(r.platny).setCalculateColWidth(true);
    row.addCellString(r.pozn).setCalculateColWidth(true);
}

template <class Writer>
void push(Writer& w, const Record& r)
{
    w.addString(r.nazev);
    w.addString(r.mesto);
    w.addNumber(0, r.pocet);
    w.addNumber(-1, r.cena);
    if (r.datum <= 1)
        w.addString("");
    else
        w.addDateTime(r.datum, "dd.mm.yyyy");
    w.addBoolean(r.platny);
    w.addString(r.pozn);
    w.endRow();
}

template <class Writer>
double runExport(const std::string& file, int records)
{
    using Clock = std::chrono::steady_clock;
    const auto t0 = Clock::now();
    workbookDateFormat() = "%sysdate%";
    workbookTimeFormat() = "%systime%";
    Workbook workbook;
    ExportWorkSheet& sheet = workbook.addWorkSheet("Data");
    sheet.style().setFontName("Arial");
    sheet.style().setFontSize(9);
    ExportRow& header = sheet.addRow();
    header.style().setFontStyle(fsBold).setBGColor(0x00F1D9C5);
    for (const char* name : {"NAZEV", "MESTO", "POCET", "CENA", "DATUM", "PLATNY", "POZN"})
        header.addCellString(name).setCalculateColWidth(true);
    const int held = std::min(records, 49);
    for (int i = 0; i < held; ++i)
        fillModelRow(sheet.addRow(), makeRecord(i));
    Writer writer(workbook, file);
    writer.beginSheet(sheet, 1 + records);
    for (int i = held; i < records; ++i)
        push(writer, makeRecord(i));
    writer.endSheet();
    writer.finish();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Runs one export in a child; prints time, peak memory and size.
template <class Writer>
void measure(const char* label, const std::string& file, int records)
{
    int pipeFd[2];
    if (::pipe(pipeFd) != 0)
        std::exit(1);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFd[0]);
        double seconds = -1;
        try {
            seconds = runExport<Writer>(file, records);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", label, e.what());
        }
        if (::write(pipeFd[1], &seconds, sizeof seconds) != sizeof seconds)
            std::_Exit(1);
        std::_Exit(0);
    }
    ::close(pipeFd[1]);
    double seconds = -1;
    if (::read(pipeFd[0], &seconds, sizeof seconds) != sizeof seconds)
        seconds = -1;
    ::close(pipeFd[0]);
    int status = 0;
    struct rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    std::printf("%-5s %d records: %.3f s, peak RSS %.1f MiB, output %.2f MiB (%llu bytes)\n", label, records, seconds,
                usage.ru_maxrss / 1024.0, ec ? 0.0 : size / 1048576.0, ec ? 0ULL : static_cast<unsigned long long>(size));
}

} // namespace

int main(int argc, char** argv)
{
    const int records = argc > 1 ? std::atoi(argv[1]) : 65535;
    const std::string folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
    struct rusage self{};
    ::getrusage(RUSAGE_SELF, &self);
    std::printf("baseline RSS of the process before the exports: %.1f MiB\n", self.ru_maxrss / 1024.0);
    for (int pass = 0; pass < 2; ++pass) {
        measure<XLSStreamWriter>("XLS", folder + "/bench_xls_writer.xls", records);
        measure<XLSXStreamWriter>("XLSX", folder + "/bench_xls_writer.xlsx", records);
    }
    return 0;
}
