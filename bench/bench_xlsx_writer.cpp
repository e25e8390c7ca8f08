// XLSX export on every core against the single-threaded deflate floor.
//
// In one run:
// 1. the XLSX export with the machine's thread count,
// 2. the same export on one thread (the single-threaded writer), for the
//    output size and the speed-up,
// 3. every part of the file from 1 inflated again and deflated in this
//    process, single-threaded, with zlib at level 6 and the CRC-32 - what
//    gzip -6 does with the parts: the time no single-threaded writer of this
//    XML can beat. Only the deflate and CRC calls are timed.
// Each export runs in a child process, so that its peak memory is its own.
// The figures to watch: export / deflate (the export's wall time against the
// single-threaded deflate's), peak memory and the size against one thread.
//
//   bench_xlsx_writer TABLE.dbf [OUT-FOLDER]
//   bench_xlsx_writer RECORDS [OUT-FOLDER] [unique]
//
// A table (make one with make_bench_table) is exported through the export
// driver, as the command line does. A record count instead pushes rows
// shaped like the benchmark table's (NAZEV C 30, MESTO C 20, POCET N 10,
// CENA N 12.2, DATUM D, PLATNY L, POZN C 60; the same names, towns, notes
// and random sequence as make_bench_table) straight into the writer, the
// header and the first 49 records held in the model as the driver holds
// them. With "unique" every note is a different text: a shared-string table
// as large as the table.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <zlib.h>

#include "BenchSupport.h"
#include "convert/CodePageConverter.h"
#include "dbf/table/TableDataset.h"
#include "export/workbook/ExportCell.h"
#include "export/workbook/ExportRow.h"
#include "export/workbook/ExportWorkSheet.h"
#include "export/workbook/Workbook.h"
#include "export/driver/WorkbookExport.h"
#include "export/workbook/WorkbookFormatting.h"
#include "export/xlsx/Deflater.h"
#include "export/xlsx/ParallelDeflater.h"
#include "export/xlsx/XLSXWriter.h"

using namespace karto;

namespace {

using namespace karto::bench;

const std::vector<std::string> kSurnames = {
    "Novák", "Dvořák", "Černý", "Procházka", "Kučera", "Veselý", "Horák", "Němec", "Pokorný",
    "Marek", "Pospíšil", "Hájek", "Jelínek", "Král", "Růžička", "Beneš", "Fiala", "Sedláček",
    "Doležal", "Zeman", "Kolář", "Navrátil", "Čermák", "Vaněk", "Šťastný", "Ďurica", "Řezníček",
    "Žáková", "Skořepová", "Bártová", "Kratochvílová", "Šebestová", "Tůmová", "Ťoupalová",
};
const std::vector<std::string> kGivenNames = {
    "Jiří", "Jan", "Petr", "Josef", "Pavel", "Jaroslav", "Martin", "Tomáš", "Zdeněk", "Miroslav",
    "Eva", "Hana", "Anna", "Lenka", "Kateřina", "Lucie", "Věra", "Alena", "Zdeňka", "Marie",
    "Ludmila", "Jitka", "Božena", "Radomír", "Dušan", "Ondřej", "Matěj", "Vojtěch",
};
const std::vector<std::string> kTowns = {
    "Praha", "Brno", "Ostrava", "Plzeň", "Liberec", "Olomouc", "České Budějovice",
    "Hradec Králové", "Ústí nad Labem", "Pardubice", "Zlín", "Havířov", "Kladno", "Opava",
    "Frýdek-Místek", "Karviná", "Jihlava", "Děčín", "Karlovy Vary", "Přerov",
    "Mladá Boleslav", "Třebíč", "Česká Lípa", "Třinec", "Tábor", "Znojmo", "Příbram",
    "Kolín", "Písek", "Kroměříž", "Šumperk", "Břeclav", "Český Těšín", "Litoměřice",
    "Nový Jičín", "Havlíčkův Brod", "Žďár nad Sázavou", "Týn nad Vltavou", "Ďáblice",
};
const std::vector<std::string> kNotes = {
    "Příliš žluťoučký kůň úpěl ďábelské ódy", "zboží dodáno včas", "čeká na schválení",
    "ověřeno účetní", "vráceno dodavateli", "reklamace vyřízena", "objednávka přes e-shop",
    "platba převodem, splatnost 14 dní", "dodací list č. 2024/118", "sleva za věrnost 5 %",
    "", "zákazník žádá fakturu poštou", "doprava zdarma", "Ťukání v motoru, oprava v záruce",
    "Šťastný nový rok přeje Dvořák a syn", "účtováno dle ceníku", "ůčet uzavřen",
};

struct Record {
    const std::string* given;
    const std::string* surname;
    const std::string* town;
    const std::string* note;
    double count, price, date;
    bool valid;
};

Record nextRecord(Random& random)
{
    Record r;
    random.below(100);  // the deletion draw of the table generator
    r.given = &kGivenNames[random.below(static_cast<uint32_t>(kGivenNames.size()))];
    r.surname = &kSurnames[random.below(static_cast<uint32_t>(kSurnames.size()))];
    r.town = &kTowns[random.below(static_cast<uint32_t>(kTowns.size()))];
    r.count = random.below(1000000);
    r.price = random.below(100000000) / 100.0;
    const int year = 1990 + static_cast<int>(random.below(36));
    const int month = 1 + static_cast<int>(random.below(12));
    const int day = 1 + static_cast<int>(random.below(28));
    r.date = dateToSerial(year, month, day);
    r.valid = random.below(2) != 0;
    r.note = &kNotes[random.below(static_cast<uint32_t>(kNotes.size()))];
    return r;
}

// The generated rows straight into the writer.
void exportGenerated(long records, bool uniqueNotes, const std::string& file)
{
    Workbook workbook;
    ExportWorkSheet& sheet = workbook.addWorkSheet("Data");
    sheet.style().setFontName("Arial").setFontSize(9);
    ExportRow& header = sheet.addRow();
    header.style().setFontStyle(fsBold).setBGColor(0x00F1D9C5);
    for (const char* name : {"NAZEV", "MESTO", "POCET", "CENA", "DATUM", "PLATNY", "POZN"})
        header.addCellString(name).setCalculateColWidth(true);

    Random random(0x4B6172746F566965ull);
    std::string name, note;
    long i = 0;
    for (; i < records && i < 49; ++i) {
        const Record r = nextRecord(random);
        ExportRow& row = sheet.addRow();
        row.addCellString(*r.given + " " + *r.surname).setCalculateColWidth(true);
        row.addCellString(*r.town).setCalculateColWidth(true);
        row.addCellNumber(0, r.count).setCalculateColWidth(true);
        row.addCellNumber(-1, r.price).setCalculateColWidth(true);
        row.addCellDateTime(r.date).setExcelNumberFormat("dd.mm.yyyy").setCalculateColWidth(true);
        row.addCellBoolean(r.valid).setCalculateColWidth(true);
        row.addCellString(*r.note).setCalculateColWidth(true);
    }
    XLSXStreamWriter writer(workbook, file);
    writer.beginSheet(sheet, 1 + records);
    for (; i < records; ++i) {
        const Record r = nextRecord(random);
        name.assign(*r.given);
        name += ' ';
        name += *r.surname;
        writer.addString(name);
        writer.addString(*r.town);
        writer.addNumber(0, r.count);
        writer.addNumber(-1, r.price);
        writer.addDateTime(r.date, "dd.mm.yyyy");
        writer.addBoolean(r.valid);
        if (uniqueNotes) {
            note.assign(*r.note);
            note += " #";
            note += std::to_string(i);
            writer.addString(note);
        } else {
            writer.addString(*r.note);
        }
        writer.endRow();
    }
    writer.endSheet();
    writer.finish();
}

// The whole table through the export driver.
void exportTable(const std::string& table, const std::string& file)
{
    CodePageConverter converter;
    converter.chooseCodePage(cpLatin2);
    TableDataset dbf;
    dbf.setOnTranslate(&converter);
    dbf.setTableName(table);
    dbf.open();
    exportWorkbook(file, dbf);
}

struct Source {
    std::string table;  // else generated rows
    long records = 0;
    bool uniqueNotes = false;
};

struct Figures {
    double wall = 0;
    double cpu = 0;
    long peakKiB = 0;
    long long bytes = 0;
};

// One export on `threads` compressing threads, in a child process.
Figures exportInChild(const Source& source, const std::string& file, unsigned threads)
{
    std::fflush(nullptr);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        int status = 0;
        try {
            setDefaultDeflateThreads(threads);
            if (source.table.empty())
                exportGenerated(source.records, source.uniqueNotes, file);
            else
                exportTable(source.table, file);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            status = 1;
        }
        std::fflush(nullptr);
        std::_Exit(status);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Figures f;
    f.wall = seconds(start);
    f.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    f.peakKiB = usage.ru_maxrss;
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0)
        f.bytes = st.st_size;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the export to %s failed\n", file.c_str());
        std::exit(1);
    }
    return f;
}

uint32_t le(const std::string& b, std::size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

struct DeflateFigures {
    int parts = 0;
    double wall = 0;
    double cpu = 0;
    uint64_t xmlBytes = 0;
    uint64_t deflatedBytes = 0;
};

// Every part of the archive inflated piece by piece and deflated again at
// level 6 on this thread, with the CRC-32 as gzip takes it.
DeflateFigures deflatePartsAlone(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::string archive((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    DeflateFigures figures;
    const std::size_t end = archive.size() - 22;
    const uint32_t count = le(archive, end + 10, 2);
    std::size_t at = le(archive, end + 16, 4);
    std::vector<char> output(1 << 20);
    for (uint32_t n = 0; n < count; ++n) {
        const uint32_t compressed = le(archive, at + 20, 4);
        const uint32_t nameLength = le(archive, at + 28, 2);
        const uint32_t local = le(archive, at + 42, 4);
        at += 46 + nameLength + le(archive, at + 30, 2) + le(archive, at + 32, 2);
        const std::size_t data = local + 30 + le(archive, local + 26, 2) + le(archive, local + 28, 2);

        z_stream inflater{};
        inflateInit2(&inflater, -15);
        inflater.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(archive.data() + data));
        inflater.avail_in = compressed;
        Deflater deflater([&figures](const char*, std::size_t size) { figures.deflatedBytes += size; }, 6);
        uint32_t crc = 0;
        int code = Z_OK;
        while (code == Z_OK) {
            inflater.next_out = reinterpret_cast<Bytef*>(output.data());
            inflater.avail_out = static_cast<uInt>(output.size());
            code = inflate(&inflater, Z_NO_FLUSH);
            const std::size_t produced = output.size() - inflater.avail_out;
            figures.xmlBytes += produced;
            const auto start = Clock::now();
            const double startCpu = cpuSeconds();
            crc = static_cast<uint32_t>(crc32(crc, reinterpret_cast<const Bytef*>(output.data()),
                                              static_cast<uInt>(produced)));
            deflater.write(output.data(), produced);
            if (code == Z_STREAM_END)
                deflater.finish();
            figures.wall += seconds(start);
            figures.cpu += cpuSeconds() - startCpu;
        }
        inflateEnd(&inflater);
        if (code != Z_STREAM_END) {
            std::fprintf(stderr, "damaged part in %s\n", file.c_str());
            std::exit(1);
        }
        ++figures.parts;
    }
    return figures;
}

void print(const char* what, const Figures& f)
{
    std::printf("%-32s %6.2f s wall %6.2f s CPU %7.1f MiB peak %8.2f MB\n", what, f.wall, f.cpu,
                f.peakKiB / 1024.0, f.bytes / 1e6);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TABLE.dbf|RECORDS [OUT-FOLDER] [unique]\n", argv[0]);
        return 2;
    }
    Source source;
    char* end = nullptr;
    const long records = std::strtol(argv[1], &end, 10);
    if (end != argv[1] && *end == '\0') {
        if (records < 0 || records > 10000000) {
            std::fprintf(stderr, "records: 0 .. 10000000\n");
            return 2;
        }
        source.records = records;
        source.uniqueNotes = argc > 3 && std::string(argv[3]) == "unique";
    } else {
        source.table = argv[1];
    }
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const std::string parallelFile = folder + "/bench-xlsx-threads.xlsx";
    const std::string singleFile = folder + "/bench-xlsx-one-thread.xlsx";
    const unsigned threads = defaultDeflateThreads();

    if (source.table.empty())
        std::printf("rows                             %ld generated%s\n", source.records,
                    source.uniqueNotes ? ", every note a different text" : "");
    else
        std::printf("table                            %s\n", source.table.c_str());
    std::printf("compressing threads              %u (the machine's cores)\n", threads);
    const Figures parallel = exportInChild(source, parallelFile, threads);
    char label[64];
    std::snprintf(label, sizeof label, "XLSX export, %u threads", threads);
    print(label, parallel);
    const Figures single = exportInChild(source, singleFile, 1);
    print("XLSX export, 1 thread", single);
    const DeflateFigures alone = deflatePartsAlone(parallelFile);
    std::printf("%-32s %6.2f s wall %6.2f s CPU (%d parts, %.1f MB of XML -> %.2f MB)\n",
                "deflate -6 of the parts, 1 thread", alone.wall, alone.cpu, alone.parts, alone.xmlBytes / 1e6,
                alone.deflatedBytes / 1e6);
    std::printf("export / deflate                 %.2f (wall; CPU-time ratio %.2f)\n",
                alone.wall > 0 ? parallel.wall / alone.wall : 0.0, alone.cpu > 0 ? parallel.cpu / alone.cpu : 0.0);
    std::printf("speed-up over one thread         %.2f\n", parallel.wall > 0 ? single.wall / parallel.wall : 0.0);
    std::printf("size against one thread          %+.3f %% (%lld bytes)\n",
                single.bytes > 0 ? 100.0 * (parallel.bytes - single.bytes) / single.bytes : 0.0,
                parallel.bytes - single.bytes);
    std::printf("peak memory                      %.1f MiB (one thread: %.1f MiB)\n", parallel.peakKiB / 1024.0,
                single.peakKiB / 1024.0);
    return 0;
}
