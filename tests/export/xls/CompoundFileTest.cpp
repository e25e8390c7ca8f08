#include "export/xls/CompoundFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "export/xls/ByteSource.h"

using namespace karto;

namespace {

std::vector<char> pattern(std::size_t n)
{
    std::vector<char> data(n);
    for (std::size_t i = 0; i < n; ++i)
        data[i] = static_cast<char>(((i / 512) * 31 + i) % 251);
    return data;
}

std::string save(const std::vector<char>& data, std::u16string_view name = u"Workbook")
{
    MemoryByteSource source(data.data(), data.size());
    std::ostringstream out;
    CompoundFile::saveToStream(out, source, name);
    return out.str();
}

// A document image built field by field from the documented layout.
struct Image {
    std::string bytes;
    explicit Image(std::size_t size) : bytes(size, '\0') {}
    void u8(std::size_t at, std::uint8_t v) { bytes.at(at) = static_cast<char>(v); }
    void u16(std::size_t at, std::uint16_t v) { u8(at, v & 0xFF); u8(at + 1, v >> 8); }
    void u32(std::size_t at, std::uint32_t v) { u16(at, v & 0xFFFF); u16(at + 2, v >> 16); }
    void fill32(std::size_t from, std::size_t to, std::uint32_t v) { for (std::size_t p = from; p < to; p += 4) u32(p, v); }
    std::size_t sector(std::uint32_t s) const { return 512 + std::size_t(s) * 512; }

    void header(std::uint32_t fat, std::uint32_t dir, std::uint32_t miniFatStart, std::uint32_t miniFatCount,
                std::uint32_t firstFatSector)
    {
        const std::uint8_t id[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
        for (int i = 0; i < 8; ++i) u8(i, id[i]);
        u16(24, 0x3E); u16(26, 3); u16(28, 0xFFFE); u16(30, 9); u16(32, 6);
        u32(44, fat); u32(48, dir); u32(56, 4096); u32(60, miniFatStart); u32(64, miniFatCount);
        u32(68, 0xFFFFFFFE); u32(72, 0);
        fill32(76, 512, 0xFFFFFFFF);
        u32(76, firstFatSector);
    }
    void entry(std::size_t at, std::u16string_view name, std::uint8_t type, std::uint32_t child,
               std::uint32_t start, std::uint32_t size)
    {
        for (std::size_t i = 0; i < name.size(); ++i) u16(at + 2 * i, name[i]);
        u16(at + 64, static_cast<std::uint16_t>((name.size() + 1) * 2));
        u8(at + 66, type); u8(at + 67, 1);
        u32(at + 68, 0xFFFFFFFF); u32(at + 72, 0xFFFFFFFF); u32(at + 76, child);
        u32(at + 116, start); u32(at + 120, size);
    }
    void unusedEntry(std::size_t at) { u32(at + 68, 0xFFFFFFFF); u32(at + 72, 0xFFFFFFFF); u32(at + 76, 0xFFFFFFFF); }
    void data(std::size_t at, const std::vector<char>& d) { std::copy(d.begin(), d.end(), bytes.begin() + at); }
};

} // namespace

TEST(CompoundFile, ShortStreamOf1800BytesMatchesTheDocumentedImage)
{
    const auto data = pattern(1800);
    Image img(4096);
    img.header(1, 0, 1, 1, 2);
    const std::size_t dir = img.sector(0);
    img.entry(dir, u"Root Entry", 5, 1, 3, 1856);
    img.entry(dir + 128, u"Workbook", 2, 0xFFFFFFFF, 0, 1800);
    img.unusedEntry(dir + 256);
    img.unusedEntry(dir + 384);
    const std::size_t miniFat = img.sector(1);
    img.fill32(miniFat, miniFat + 512, 0xFFFFFFFF);
    for (std::uint32_t k = 0; k < 28; ++k) img.u32(miniFat + 4 * k, k + 1);
    img.u32(miniFat + 4 * 28, 0xFFFFFFFE);
    const std::size_t fat = img.sector(2);
    img.fill32(fat, fat + 512, 0xFFFFFFFF);
    const std::uint32_t fatEntries[] = {0xFFFFFFFE, 0xFFFFFFFE, 0xFFFFFFFD, 4, 5, 6, 0xFFFFFFFE};
    for (std::size_t i = 0; i < 7; ++i) img.u32(fat + 4 * i, fatEntries[i]);
    img.data(img.sector(3), data);

    const std::string got = save(data);
    ASSERT_EQ(got.size(), 4096u);
    EXPECT_TRUE(got == img.bytes);
}

TEST(CompoundFile, StreamOf20000BytesMatchesTheDocumentedImage)
{
    const auto data = pattern(20000);
    Image img(22016);
    img.header(1, 0, 0xFFFFFFFE, 0, 1);
    const std::size_t dir = img.sector(0);
    img.entry(dir, u"Root Entry", 5, 1, 0xFFFFFFFE, 0);
    img.entry(dir + 128, u"Workbook", 2, 0xFFFFFFFF, 2, 20000);
    img.unusedEntry(dir + 256);
    img.unusedEntry(dir + 384);
    const std::size_t fat = img.sector(1);
    img.fill32(fat, fat + 512, 0xFFFFFFFF);
    img.u32(fat, 0xFFFFFFFE);
    img.u32(fat + 4, 0xFFFFFFFD);
    for (std::uint32_t s = 2; s < 41; ++s) img.u32(fat + 4 * s, s + 1);
    img.u32(fat + 4 * 41, 0xFFFFFFFE);
    img.data(img.sector(2), data);

    const std::string got = save(data);
    ASSERT_EQ(got.size(), 22016u);
    EXPECT_TRUE(got == img.bytes);
}

TEST(CompoundFile, LayoutSizes)
{
    struct Case { std::uint64_t size; std::uint32_t d, m, f, x; std::uint64_t file; };
    const Case cases[] = {
        {1800, 4, 1, 1, 0, 4096},
        {4095, 8, 1, 1, 0, 512 * 12},
        {4096, 8, 0, 1, 0, 512 * 11},
        {20000, 40, 0, 1, 0, 22016},
        // 126 data sectors + directory + FAT fill one FAT sector exactly ...
        {126 * 512, 126, 0, 1, 0, 512 * 129},
        // ... one more data sector makes the FAT cover 129 sectors: a second FAT sector.
        {127 * 512, 127, 0, 2, 0, 512 * 131},
        // 109 FAT sectors cover 13952 sectors; beyond that the DIFAT starts.
        {13840 * 512, 13840, 0, 109, 0, 512 * (13840 + 1 + 109 + 1)},
        {13843 * 512, 13843, 0, 110, 1, 512 * (13843 + 1 + 110 + 1 + 1)},
    };
    for (const Case& c : cases) {
        const auto L = CompoundFile::computeLayout(c.size);
        EXPECT_EQ(L.dataSectors, c.d) << c.size;
        EXPECT_EQ(L.miniFatSectors, c.m) << c.size;
        EXPECT_EQ(L.fatSectors, c.f) << c.size;
        EXPECT_EQ(L.difatSectors, c.x) << c.size;
        EXPECT_EQ(L.fileSize(), c.file) << c.size;
        // The FAT covers every sector of the document, its own included.
        EXPECT_GE(std::uint64_t(L.fatSectors) * 128, L.totalSectors()) << c.size;
    }
}

TEST(CompoundFile, ExactSectorMultipleGetsNoPadding)
{
    const auto data = pattern(8192);
    const std::string got = save(data);
    EXPECT_EQ(got.size(), 512u * (1 + 1 + 1 + 16));
    EXPECT_EQ(got.compare(got.size() - 8192, 8192, std::string(data.begin(), data.end())), 0);
}

TEST(CompoundFile, RejectsBadNamesAndShortSources)
{
    const auto data = pattern(100);
    EXPECT_THROW(save(data, u""), CompoundFileError);
    EXPECT_THROW(save(data, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ123456"), CompoundFileError);

    // A source that announces more than it delivers.
    struct Liar : ByteSource {
        std::uint64_t remaining() const override { return 5000; }
        std::size_t read(char* b, std::size_t n) override { if (given) return 0; given = true; std::fill(b, b + std::min<std::size_t>(n, 10), 'x'); return std::min<std::size_t>(n, 10); }
        bool given = false;
    } liar;
    std::ostringstream out;
    EXPECT_THROW(CompoundFile::saveToStream(out, liar, u"Workbook"), CompoundFileError);
}

TEST(CompoundFile, ReportsWriteErrors)
{
    const auto data = pattern(3000);
    MemoryByteSource source(data.data(), data.size());
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    EXPECT_THROW(CompoundFile::saveToStream(out, source, u"Workbook"), CompoundFileError);
}

// A stream needing more than 109 FAT sectors, read back by xlrd's own
// compound document reader.
TEST(CompoundFile, LargeStreamWithDifatReadsBackInAnIndependentReader)
{
    if (std::system("/usr/bin/python3 -c 'import xlrd.compdoc' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xlrd is not installed";
    const std::size_t size = 7'400'000;
    const auto data = pattern(size);
    const auto layout = CompoundFile::computeLayout(size);
    ASSERT_GT(layout.fatSectors, 109u);
    ASSERT_GE(layout.difatSectors, 1u);

    const std::string got = save(data);
    ASSERT_EQ(got.size(), layout.fileSize());
    auto le32 = [&](std::size_t at) {
        return std::uint32_t(std::uint8_t(got[at])) | std::uint32_t(std::uint8_t(got[at + 1])) << 8 |
               std::uint32_t(std::uint8_t(got[at + 2])) << 16 | std::uint32_t(std::uint8_t(got[at + 3])) << 24;
    };
    EXPECT_EQ(le32(48), layout.difatSectors);  // the directory follows the DIFAT
    EXPECT_EQ(le32(68), 0u);
    EXPECT_EQ(le32(72), layout.difatSectors);

    const auto dir = std::filesystem::temp_directory_path() / ("karto_cfb_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / "big.xls";
    {
        std::ofstream f(path, std::ios::binary);
        f.write(got.data(), static_cast<std::streamsize>(got.size()));
    }
    const std::string script =
        "import sys, xlrd.compdoc as c\n"
        "mem = open(sys.argv[1], 'rb').read()\n"
        "doc = c.CompDoc(mem, logfile=open('/dev/null', 'w'))\n"
        "s = doc.get_named_stream('Workbook')\n"
        "n = int(sys.argv[2])\n"
        "exp = bytes(((i // 512) * 31 + i) % 251 for i in range(n))\n"
        "sys.exit(0 if s == exp else 1)\n";
    const auto scriptPath = dir / "check.py";
    {
        std::ofstream f(scriptPath);
        f << script;
    }
    const std::string cmd = "/usr/bin/python3 " + scriptPath.string() + " " + path.string() + " " + std::to_string(size);
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    std::filesystem::remove_all(dir);
}
