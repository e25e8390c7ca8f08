// Writes the benchmark table: a dBase III table (version byte 0x03, language
// byte 0x64, code page 852) of 142-byte records with Czech names, towns and
// notes, about 1 % of them deleted. The same arguments always give the same
// bytes (fixed seed, fixed header date).
//
//   make_bench_table OUT.dbf [records]        (default 1,000,000: about 142 MB)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "BenchSupport.h"

namespace {

using namespace karto::bench;

// UTF-8 text (ASCII and Czech letters) to code page 852 bytes.
std::string toCp852(const char* utf8)
{
    static const struct {
        uint32_t cp;
        uint8_t byte;
    } table[] = {
        {0x00E1, 0xA0}, {0x010D, 0x9F}, {0x010F, 0xD4}, {0x00E9, 0x82}, {0x011B, 0xD8},
        {0x00ED, 0xA1}, {0x0148, 0xE5}, {0x00F3, 0xA2}, {0x0159, 0xFD}, {0x0161, 0xE7},
        {0x0165, 0x9C}, {0x00FA, 0xA3}, {0x016F, 0x85}, {0x00FD, 0xEC}, {0x017E, 0xA7},
        {0x00C1, 0xB5}, {0x010C, 0xAC}, {0x010E, 0xD2}, {0x00C9, 0x90}, {0x011A, 0xB7},
        {0x00CD, 0xD6}, {0x0147, 0xD5}, {0x00D3, 0xE0}, {0x0158, 0xFC}, {0x0160, 0xE6},
        {0x0164, 0x9B}, {0x00DA, 0xE9}, {0x016E, 0xDE}, {0x00DD, 0xED}, {0x017D, 0xA6},
    };
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    while (*p) {
        uint32_t cp = *p++;
        if (cp >= 0xC0 && (*p & 0xC0) == 0x80)
            cp = ((cp & 0x1F) << 6) | (*p++ & 0x3F);
        uint8_t byte = '?';
        if (cp < 0x80) {
            byte = static_cast<uint8_t>(cp);
        } else {
            for (const auto& e : table)
                if (e.cp == cp)
                    byte = e.byte;
        }
        out += static_cast<char>(byte);
    }
    return out;
}

std::vector<std::string> cp852List(std::initializer_list<const char*> items)
{
    std::vector<std::string> out;
    for (const char* s : items)
        out.push_back(toCp852(s));
    return out;
}

void putText(uint8_t* at, int width, const std::string& text)
{
    std::memset(at, ' ', static_cast<size_t>(width));
    std::memcpy(at, text.data(), std::min<size_t>(text.size(), static_cast<size_t>(width)));
}

void putNumber(uint8_t* at, int width, const char* text)
{
    const int n = static_cast<int>(std::strlen(text));
    std::memset(at, ' ', static_cast<size_t>(width));
    std::memcpy(at + (width - n), text, static_cast<size_t>(n));
}

struct Field {
    const char* name;
    char type;
    int length;
    int decimals;
};

const Field kFields[] = {
    {"NAZEV", 'C', 30, 0}, {"MESTO", 'C', 20, 0}, {"POCET", 'N', 10, 0}, {"CENA", 'N', 12, 2},
    {"DATUM", 'D', 8, 0},  {"PLATNY", 'L', 1, 0}, {"POZN", 'C', 60, 0},
};
constexpr int kRecordSize = 142;

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s OUT.dbf [records]\n", argv[0]);
        return 2;
    }
    const long records = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 1000000;
    if (records < 0 || records > 100000000) {
        std::fprintf(stderr, "records: 0 .. 100000000\n");
        return 2;
    }

    const auto surnames = cp852List({
        "Novák", "Dvořák", "Černý", "Procházka", "Kučera", "Veselý", "Horák", "Němec", "Pokorný",
        "Marek", "Pospíšil", "Hájek", "Jelínek", "Král", "Růžička", "Beneš", "Fiala", "Sedláček",
        "Doležal", "Zeman", "Kolář", "Navrátil", "Čermák", "Vaněk", "Šťastný", "Ďurica", "Řezníček",
        "Žáková", "Skořepová", "Bártová", "Kratochvílová", "Šebestová", "Tůmová", "Ťoupalová",
    });
    const auto givenNames = cp852List({
        "Jiří", "Jan", "Petr", "Josef", "Pavel", "Jaroslav", "Martin", "Tomáš", "Zdeněk", "Miroslav",
        "Eva", "Hana", "Anna", "Lenka", "Kateřina", "Lucie", "Věra", "Alena", "Zdeňka", "Marie",
        "Ludmila", "Jitka", "Božena", "Radomír", "Dušan", "Ondřej", "Matěj", "Vojtěch",
    });
    const auto towns = cp852List({
        "Praha", "Brno", "Ostrava", "Plzeň", "Liberec", "Olomouc", "České Budějovice",
        "Hradec Králové", "Ústí nad Labem", "Pardubice", "Zlín", "Havířov", "Kladno", "Opava",
        "Frýdek-Místek", "Karviná", "Jihlava", "Děčín", "Karlovy Vary", "Přerov",
        "Mladá Boleslav", "Třebíč", "Česká Lípa", "Třinec", "Tábor", "Znojmo", "Příbram",
        "Kolín", "Písek", "Kroměříž", "Šumperk", "Břeclav", "Český Těšín", "Litoměřice",
        "Nový Jičín", "Havlíčkův Brod", "Žďár nad Sázavou", "Týn nad Vltavou", "Ďáblice",
    });
    const auto notes = cp852List({
        "Příliš žluťoučký kůň úpěl ďábelské ódy", "zboží dodáno včas", "čeká na schválení",
        "ověřeno účetní", "vráceno dodavateli", "reklamace vyřízena", "objednávka přes e-shop",
        "platba převodem, splatnost 14 dní", "dodací list č. 2024/118", "sleva za věrnost 5 %",
        "", "zákazník žádá fakturu poštou", "doprava zdarma", "Ťukání v motoru, oprava v záruce",
        "Šťastný nový rok přeje Dvořák a syn", "účtováno dle ceníku", "ůčet uzavřen",
    });

    FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }

    // Header: version 0x03, date 2024-01-01, count, header and record size,
    // language byte 0x64 (code page 852).
    constexpr int fieldCount = static_cast<int>(sizeof kFields / sizeof kFields[0]);
    const int headerSize = 32 + 32 * fieldCount + 1;
    std::vector<uint8_t> header(static_cast<size_t>(headerSize), 0);
    header[0] = 0x03;
    header[1] = 124;
    header[2] = 1;
    header[3] = 1;
    for (int i = 0; i < 4; ++i)
        header[4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(records) >> (8 * i));
    header[8] = static_cast<uint8_t>(headerSize);
    header[9] = static_cast<uint8_t>(headerSize >> 8);
    header[10] = static_cast<uint8_t>(kRecordSize);
    header[11] = static_cast<uint8_t>(kRecordSize >> 8);
    header[29] = 0x64;
    int recordSize = 1;
    for (int i = 0; i < fieldCount; ++i) {
        uint8_t* d = header.data() + 32 + 32 * i;
        std::memcpy(d, kFields[i].name, std::strlen(kFields[i].name));
        d[11] = static_cast<uint8_t>(kFields[i].type);
        d[16] = static_cast<uint8_t>(kFields[i].length);
        d[17] = static_cast<uint8_t>(kFields[i].decimals);
        recordSize += kFields[i].length;
    }
    if (recordSize != kRecordSize) {
        std::fprintf(stderr, "internal: record size %d\n", recordSize);
        return 1;
    }
    header[static_cast<size_t>(headerSize - 1)] = 0x0D;
    std::fwrite(header.data(), 1, header.size(), out);

    Random random(0x4B6172746F566965ull);   // fixed seed
    const long perChunk = 8192;
    std::vector<uint8_t> chunk(static_cast<size_t>(perChunk) * kRecordSize);
    long deleted = 0;
    for (long done = 0; done < records;) {
        const long n = std::min(perChunk, records - done);
        for (long i = 0; i < n; ++i) {
            uint8_t* r = chunk.data() + static_cast<size_t>(i) * kRecordSize;
            const bool isDeleted = random.below(100) == 0;
            deleted += isDeleted;
            r[0] = isDeleted ? '*' : ' ';
            uint8_t* f = r + 1;
            putText(f, 30, givenNames[random.below(static_cast<uint32_t>(givenNames.size()))] + " " +
                               surnames[random.below(static_cast<uint32_t>(surnames.size()))]);
            f += 30;
            putText(f, 20, towns[random.below(static_cast<uint32_t>(towns.size()))]);
            f += 20;
            char num[32];
            std::snprintf(num, sizeof num, "%u", random.below(1000000));
            putNumber(f, 10, num);
            f += 10;
            const uint32_t cents = random.below(100000000);
            std::snprintf(num, sizeof num, "%u.%02u", cents / 100, cents % 100);
            putNumber(f, 12, num);
            f += 12;
            std::snprintf(num, sizeof num, "%04u%02u%02u", 1990 + random.below(36), 1 + random.below(12),
                          1 + random.below(28));
            std::memcpy(f, num, 8);
            f += 8;
            *f++ = random.below(2) ? 'T' : 'F';
            putText(f, 60, notes[random.below(static_cast<uint32_t>(notes.size()))]);
        }
        std::fwrite(chunk.data(), 1, static_cast<size_t>(n) * kRecordSize, out);
        done += n;
    }
    const uint8_t endMark = 0x1A;
    std::fwrite(&endMark, 1, 1, out);
    if (std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::printf("%s: %ld records (%ld deleted), %ld bytes\n", argv[1], records, deleted,
                static_cast<long>(headerSize) + records * kRecordSize + 1);
    return 0;
}
