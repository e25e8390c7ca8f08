// XLSX export of 1,000,000 rows shaped like the benchmark table (NAZEV C 30,
// MESTO C 20, POCET N 10, CENA N 12.2, DATUM D, PLATNY L, POZN C 60) with the
// same Czech names, towns and notes and the same random sequence as
// make_bench_table, driven as the export driver drives the streaming writer:
// the header and the first 49 records held in the model (they decide the
// column widths), every further record pushed as typed cells.
//
// Then the sheet part is read back from the written file and deflated alone
// with the same zlib settings (the cost of deflate itself, which bounds any
// single-threaded XLSX writer); only the deflate calls are timed. Times are
// CPU seconds of the process (the export's wall time is shown too).
//
// Usage: bench_xlsx_writer [records] [output file] [unique]
// With "unique" every note is a different text (a shared-string table as
// large as the table), to show memory growing with the distinct texts only.
#include <sys/resource.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <zlib.h>

#include "BenchSupport.h"
#include "export/xlsx/Deflater.h"
#include "export/workbook/ExportCell.h"
#include "export/workbook/ExportRow.h"
#include "export/workbook/ExportWorkSheet.h"
#include "export/workbook/Workbook.h"
#include "export/workbook/WorkbookFormatting.h"
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

// The sheet part of the written file, inflated piece by piece and deflated
// again with the writer's settings; returns the seconds spent in deflate.
double deflateSheetAlone(const std::string& file, uint64_t& sheetBytes, uint64_t& deflatedBytes)
{
    std::ifstream in(file, std::ios::binary);
    std::string header(30, '\0');
    in.read(header.data(), 30);
    auto le = [&](std::size_t at, int n) {
        uint32_t v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(header[at + i]);
        return v;
    };
    const uint32_t compressed = le(18, 4);
    const uint32_t nameLength = le(26, 2), extra = le(28, 2);
    in.seekg(30 + nameLength + extra);

    z_stream inflater{};
    inflateInit2(&inflater, -15);
    deflatedBytes = 0;
    Deflater deflater([&deflatedBytes](const char*, std::size_t n) { deflatedBytes += n; });
    std::vector<char> input(1 << 20), output(1 << 20);
    uint32_t left = compressed;
    double seconds = 0;
    sheetBytes = 0;
    int code = Z_OK;
    while (code != Z_STREAM_END) {
        if (inflater.avail_in == 0 && left > 0) {
            const uint32_t want = std::min<uint32_t>(left, static_cast<uint32_t>(input.size()));
            in.read(input.data(), want);
            left -= want;
            inflater.next_in = reinterpret_cast<Bytef*>(input.data());
            inflater.avail_in = want;
        }
        inflater.next_out = reinterpret_cast<Bytef*>(output.data());
        inflater.avail_out = static_cast<uInt>(output.size());
        code = inflate(&inflater, Z_NO_FLUSH);
        if (code != Z_OK && code != Z_STREAM_END)
            break;
        const std::size_t produced = output.size() - inflater.avail_out;
        sheetBytes += produced;
        const double start = cpuSeconds();
        deflater.write(output.data(), produced);
        seconds += cpuSeconds() - start;
    }
    inflateEnd(&inflater);
    const double start = cpuSeconds();
    deflater.finish();
    seconds += cpuSeconds() - start;
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    const long records = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000000;
    const std::string file = argc > 2 ? argv[2] : "/tmp/bench_xlsx_writer.xlsx";
    const bool uniqueNotes = argc > 3 && std::string(argv[3]) == "unique";
    std::string note;
    if (records < 0 || records > 10000000) {
        std::fprintf(stderr, "records: 0 .. 10000000\n");
        return 2;
    }

    const auto start = Clock::now();
    const double startCpu = cpuSeconds();
    int64_t leftOut = 0;
    bool direct = false;
    {
        Workbook workbook;
        ExportWorkSheet& sheet = workbook.addWorkSheet("Data");
        sheet.style().setFontName("Arial").setFontSize(9);
        ExportRow& header = sheet.addRow();
        header.style().setFontStyle(fsBold).setBGColor(0x00F1D9C5);
        for (const char* name : {"NAZEV", "MESTO", "POCET", "CENA", "DATUM", "PLATNY", "POZN"})
            header.addCellString(name).setCalculateColWidth(true);

        Random random(0x4B6172746F566965ull);
        std::string name;
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
        direct = writer.rowsGoStraightIntoTheArchive();
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
        leftOut = writer.rowsLeftOut();
    }
    const double exportWall = std::chrono::duration<double>(Clock::now() - start).count();
    const double exportSeconds = cpuSeconds() - startCpu;
    const long rss = peakRssKiB();
    std::ifstream size(file, std::ios::binary | std::ios::ate);
    const long long outputBytes = static_cast<long long>(size.tellg());

    uint64_t sheetBytes = 0, deflatedBytes = 0;
    const double deflateSeconds = deflateSheetAlone(file, sheetBytes, deflatedBytes);

    std::printf("records            %ld (rows past the limit: %lld)\n", records, static_cast<long long>(leftOut));
    std::printf("rows               %s\n", direct ? "straight into the archive" : "through a temporary file");
    std::printf("export time        %.2f s CPU (%.2f s wall)\n", exportSeconds, exportWall);
    std::printf("output size        %.1f MB\n", outputBytes / 1e6);
    std::printf("peak RSS (export)  %.1f MiB\n", rss / 1024.0);
    std::printf("sheet XML          %.1f MB, deflated alone %.1f MB in %.2f s CPU\n", sheetBytes / 1e6,
                deflatedBytes / 1e6, deflateSeconds);
    std::printf("export / deflate   %.2f\n", deflateSeconds > 0 ? exportSeconds / deflateSeconds : 0.0);
    return 0;
}
