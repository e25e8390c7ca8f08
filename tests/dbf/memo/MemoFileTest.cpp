#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/DbfBuilder.h"
#include "dbf/Error.h"
#include "dbf/field/FieldDecode.h"
#include "dbf/field/RecordFormat.h"
#include "dbf/memo/MemoFile.h"

using namespace karto;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes bytesOf(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

void putLE(Bytes& b, size_t at, uint32_t v, int n)
{
    for (int i = 0; i < n; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

void putBE(Bytes& b, size_t at, uint32_t v, int n)
{
    for (int i = 0; i < n; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
}

// A .dbt image: header block of `blockSize` bytes (at least 512), the next free block and block size set.
Bytes dbtImage(int blockSize, uint32_t nextFree, size_t totalSize = 0)
{
    Bytes b(std::max<size_t>({512, static_cast<size_t>(blockSize), totalSize}), 0);
    putLE(b, 0, nextFree, 4);
    putLE(b, 20, static_cast<uint32_t>(blockSize), 2);
    return b;
}

Bytes fptImage(int blockSize, uint32_t nextFree, size_t totalSize = 0)
{
    Bytes b(std::max<size_t>(512, totalSize), 0);
    putBE(b, 0, nextFree, 4);
    putBE(b, 6, static_cast<uint32_t>(blockSize), 2);
    return b;
}

// A memo file over an in-memory image.
template <class File>
std::unique_ptr<File> openMemory(Bytes& image, XBaseVersion version)
{
    auto file = std::make_unique<File>(version);
    file->setMode(pfMemoryOpen);
    file->setStream(&image);
    file->open();
    return file;
}

template <class File>
Bytes readBlock(Bytes& image, XBaseVersion version, int32_t block)
{
    auto file = openMemory<File>(image, version);
    Bytes value{'x'};
    file->readMemo(block, value);
    return value;
}

uint64_t fnv1a(const Bytes& b)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t c : b) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

} // namespace

// ---- dBase III: values ended by 1A 1A ----------------------------------------

TEST(MemoFile, DbaseIIIValueFillingItsBlockPutsTheTerminatorsInTheNext)
{
    Bytes image = dbtImage(512, 1);
    auto file = openMemory<DbaseMemoFile>(image, xBaseIII);
    ASSERT_EQ(file->blockSize(), 512);
    const Bytes value(512, 'a');
    int32_t block = 0;
    file->writeMemo(block, 0, value);
    EXPECT_EQ(block, 1);
    ASSERT_EQ(image.size(), 3u * 512);
    EXPECT_EQ(image[1024], 0x1A);
    EXPECT_EQ(image[1025], 0x1A);
    EXPECT_EQ(image[1026], ' ');
    EXPECT_EQ(image.back(), ' ');
    Bytes back;
    file->readMemo(1, back);
    EXPECT_EQ(back, value);
    file->close();
    EXPECT_EQ(image[0], 3);      // the next free block
    EXPECT_EQ(image[16], 3);     // marks a dBase III memo file
}

TEST(MemoFile, DbaseIIITerminatorsStraddlingABlockBoundary)
{
    Bytes image = dbtImage(512, 1);
    auto file = openMemory<DbaseMemoFile>(image, xBaseIII);
    Bytes value(511, 'b');
    value[100] = 0x1A;   // a 1A followed by data is data
    int32_t block = 0;
    file->writeMemo(block, 0, value);
    EXPECT_EQ(image[512 + 511], 0x1A);
    EXPECT_EQ(image[1024], 0x1A);
    Bytes back;
    file->readMemo(block, back);
    EXPECT_EQ(back, value);

    // A block whose first 1A is data and whose last byte is 1A, continued by
    // a block beginning with 1A: the pair straddles the boundary.
    Bytes straddle = dbtImage(512, 3, 3 * 512);
    std::memset(straddle.data() + 512, 'c', 512);
    straddle[512 + 10] = 0x1A;
    straddle[512 + 511] = 0x1A;
    straddle[1024] = 0x1A;
    const Bytes read = readBlock<DbaseMemoFile>(straddle, xBaseIII, 1);
    ASSERT_EQ(read.size(), 511u);
    EXPECT_EQ(read[10], 0x1A);
    EXPECT_EQ(read[510], 'c');
}

TEST(MemoFile, DbaseIVBlockWithoutSignatureReadsByTerminator)
{
    Bytes image = dbtImage(512, 2, 1024);
    std::memcpy(image.data() + 512, "plain text\x1A\x1A", 12);
    EXPECT_EQ(readBlock<DbaseMemoFile>(image, xBaseIV, 1), bytesOf("plain text"));

    // With the signature the length decides, 1A bytes included.
    const uint8_t head[8] = {0xFF, 0xFF, 0x08, 0x00, 8 + 5, 0, 0, 0};
    std::memcpy(image.data() + 512, head, 8);
    std::memcpy(image.data() + 520, "ab\x1A\x1A" "c", 5);
    EXPECT_EQ(readBlock<DbaseMemoFile>(image, xBaseIV, 1), bytesOf("ab\x1A\x1A" "c"));
}

// ---- dBase IV and later, FoxPro: length headers ------------------------------------

TEST(MemoFile, NewDbtForLevel5AndAppendedValues)
{
    test::TempDir dir;
    const std::string path = dir.file("T.DBT");
    DbaseMemoFile file(xBaseV);
    file.setFileName(path);
    file.setMode(pfExclusiveCreate);
    file.setMemoRecordSize(512);
    file.open();
    file.close();
    Bytes onDisk = test::TempDir::read(path);
    Bytes expected(512, 0);
    expected[0] = 1;
    expected[20] = 0x00;
    expected[21] = 0x02;
    EXPECT_EQ(onDisk, expected);

    file.setMode(pfReadWriteOpen);
    file.setMemoRecordSize(0);
    file.open();
    int32_t block = 0;
    const Bytes value(600, 'v');   // 8 + 600 bytes: two blocks
    file.writeMemo(block, 0, value);
    EXPECT_EQ(block, 1);
    int32_t second = 0;
    file.writeMemo(second, 0, bytesOf("short"));
    EXPECT_EQ(second, 3);
    file.close();
    onDisk = test::TempDir::read(path);
    ASSERT_EQ(onDisk.size(), 4u * 512);
    EXPECT_EQ(onDisk[0], 4);
    const uint8_t head[8] = {0xFF, 0xFF, 0x08, 0x00, 0x60, 0x02, 0, 0};   // 608
    EXPECT_EQ(std::memcmp(onDisk.data() + 512, head, 8), 0);
    EXPECT_EQ(onDisk[512 + 8 + 600], ' ');
}

TEST(MemoFile, RewritingReusesBlocksOnlyWhenTheOldValueWasAsLong)
{
    Bytes image = fptImage(64, 8);
    auto file = openMemory<FoxProMemoFile>(image, xFoxPro);
    int32_t block = 0;
    file->writeMemo(block, 0, Bytes(100, 'x'));   // 108 bytes: two blocks
    ASSERT_EQ(block, 8);
    file->flush();   // a memory stream keeps its header until flushed
    const Bytes headerBefore(image.begin(), image.begin() + 8);
    EXPECT_EQ(image[3], 10);

    // Read with its size known: a shorter value goes to the same blocks, the
    // header stays as it was.
    int32_t same = block;
    file->writeMemo(same, 100, bytesOf("shorter"));
    file->flush();
    EXPECT_EQ(same, 8);
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 8), headerBefore);
    Bytes back;
    file->readMemo(8, back);
    EXPECT_EQ(back, bytesOf("shorter"));
    EXPECT_EQ(image[8 * 64 + 3], 1);   // type 1

    // Size unknown (a value opened for writing only): always appended.
    int32_t moved = block;
    file->writeMemo(moved, 0, bytesOf("again"));
    file->flush();
    EXPECT_EQ(moved, 10);
    EXPECT_EQ(image[3], 11);

    // An empty value touches nothing.
    const Bytes snapshot = image;
    int32_t none = 10;
    file->writeMemo(none, 5, {});
    file->flush();
    EXPECT_EQ(none, 0);
    EXPECT_EQ(image, snapshot);
}

TEST(MemoFile, FptValueReadByLengthWhateverItsType)
{
    Bytes image = fptImage(64, 10, 640);
    putBE(image, 512, 0x0000ABCD, 4);   // not type 1
    putBE(image, 516, 70, 4);           // runs into the next block
    for (int i = 0; i < 70; ++i)
        image[520 + static_cast<size_t>(i)] = static_cast<uint8_t>('0' + i % 10);
    const Bytes read = readBlock<FoxProMemoFile>(image, xFoxPro, 8);
    ASSERT_EQ(read.size(), 70u);
    EXPECT_EQ(read[69], '9');
}

// A block size below 16 (0 included) is read with, never written to: such a
// file is left byte for byte as it is.
TEST(MemoFile, SmallBlockSizesAreReadButNeverWritten)
{
    struct Case {
        const char* what;
        bool fox;
        Bytes image;
        int32_t readBlockSize;
    };
    const Case cases[] = {
        {"FoxPro, block size 1", true, fptImage(1, 512), 1},
        {"FoxPro, block size 0 (read as 512)", true, fptImage(0, 1), 512},
        {"FoxPro, block size 15", true, fptImage(15, 40), 15},
        {"dBase IV, block size 0 (read as 512)", false, dbtImage(0, 1), 512},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes image = c.image;
        const Bytes before = image;
        std::unique_ptr<MemoFile> file;
        if (c.fox)
            file = openMemory<FoxProMemoFile>(image, xFoxPro);
        else
            file = openMemory<DbaseMemoFile>(image, xBaseIV);
        EXPECT_EQ(file->blockSize(), c.readBlockSize);
        int32_t block = 0;
        try {
            file->writeMemo(block, 0, bytesOf("value"));
            ADD_FAILURE() << "written";
        } catch (const TableError& e) {
            EXPECT_STREQ(e.what(), "Cannot write memo: the memo file's block size is below 16.");
        }
        file->close();
        EXPECT_EQ(image, before);
    }
}

// ---- Hostile files --------------------------------------------------------------

TEST(MemoFile, HostileFilesGiveEmptyOrShortenedValues)
{
    struct Case {
        const char* what;
        bool fox;
        Bytes image;
        int32_t block;
        size_t maxSize;
    };
    std::vector<Case> cases;

    cases.push_back({"pointer past the end", false, dbtImage(512, 1), 7, 0});
    cases.push_back({"pointer far past the end", true, fptImage(64, 8), 0x7FFFFFFF, 0});
    cases.push_back({"negative block number", true, fptImage(64, 8), -3, 0});
    {
        Bytes b = fptImage(64, 9, 576);
        putBE(b, 516, 0xFFFFFFFF, 4);   // 4 GiB, or -1 as a signed length
        cases.push_back({"fpt length of 4 GiB", true, b, 8, 0});
        putBE(b, 516, 0x7FFFFFF0, 4);   // 2 GiB in a 576-byte file
        cases.push_back({"fpt length past the end", true, b, 8, 576 - 520});
    }
    {
        Bytes b = dbtImage(512, 2, 600);
        const uint8_t head[8] = {0xFF, 0xFF, 0x08, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
        std::memcpy(b.data() + 512, head, 8);
        cases.push_back({"dbt length of 4 GiB", false, b, 1, 600 - 520});
        const uint8_t tiny[8] = {0xFF, 0xFF, 0x08, 0x00, 3, 0, 0, 0};
        std::memcpy(b.data() + 512, tiny, 8);
        cases.push_back({"dbt length below its header", false, b, 1, 0});
    }
    {
        Bytes b = dbtImage(512, 1, 512 * 5 + 100);
        std::memset(b.data() + 512, 'q', b.size() - 512);
        cases.push_back({"terminator never comes", false, b, 1, 512 * 4 + 100});
    }
    {
        Bytes b(100, 0xFF);   // a 100-byte file with a length header of ones
        b[20] = 16;
        b[21] = 0;
        cases.push_back({"100-byte file", false, b, 1, 100});
    }

    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        const XBaseVersion version = c.fox ? xFoxPro : xBaseIV;
        const Bytes value = c.fox ? readBlock<FoxProMemoFile>(c.image, version, c.block)
                                  : readBlock<DbaseMemoFile>(c.image, version, c.block);
        EXPECT_LE(value.size(), c.maxSize);
        EXPECT_LE(value.size(), c.image.size());
    }
}

TEST(MemoFile, BrokenFirstFreeBlockDoesNotOverwriteData)
{
    // The header says block 1 is free, but the file already holds data there.
    Bytes image = dbtImage(512, 1, 1024);
    std::memset(image.data() + 512, 'd', 512);
    auto file = openMemory<DbaseMemoFile>(image, xBaseIV);
    int32_t block = 0;
    file->writeMemo(block, 0, bytesOf("new"));
    EXPECT_EQ(block, 2);
    EXPECT_EQ(image[512], 'd');

    // A first free block a little beyond the end is believed (another
    // program has taken the blocks before it); one far beyond the end is a
    // broken header and the value goes to the end instead.
    Bytes near = fptImage(64, 12);
    auto nearFox = openMemory<FoxProMemoFile>(near, xFoxPro);
    nearFox->writeMemo(block, 0, bytesOf("new"));
    EXPECT_EQ(block, 12);

    Bytes far = fptImage(64, 0x7FFFFFF0);
    auto fox = openMemory<FoxProMemoFile>(far, xFoxPro);
    fox->writeMemo(block, 0, bytesOf("new"));
    EXPECT_EQ(block, 8);
    EXPECT_EQ(far.size(), 576u);
}

TEST(MemoFile, MissingMemoFile)
{
    NullMemoFile file(xBaseIV);
    file.open();
    EXPECT_EQ(file.blockSize(), 0);
    Bytes value{'x'};
    file.readMemo(1, value);
    EXPECT_TRUE(value.empty());
    int32_t block = 5;
    file.writeMemo(block, 0, {});
    EXPECT_EQ(block, 0);
    EXPECT_THROW(file.writeMemo(block, 0, bytesOf("text")), TableError);

}

TEST(MemoFile, DbtWithoutBlockSizeUses512ByteBlocks)
{
    // A dBase III memo file (no block size in its header) next to a table
    // whose language byte makes it a later version.
    Bytes image = dbtImage(0, 3, 1536);
    std::memcpy(image.data() + 512, "first value\x1A\x1A", 13);
    std::memcpy(image.data() + 1024, "second\x1A\x1A", 8);
    auto file = openMemory<DbaseMemoFile>(image, xBaseV);
    EXPECT_EQ(file->blockSize(), 512);
    Bytes value;
    file->readMemo(2, value);
    EXPECT_EQ(value, bytesOf("second"));
    file->close();
    EXPECT_EQ(image[20], 0);   // the file is left as it was
    EXPECT_EQ(image[21], 0);
}

// ---- Translation -------------------------------------------------------------------

TEST(MemoFile, TranslationInChunksOf512)
{
    struct Recorder : TranslateHook {
        std::vector<size_t> lengths;
        int translate(uint8_t* src, uint8_t* dst, bool toOem) override
        {
            EXPECT_EQ(src, dst);
            EXPECT_FALSE(toOem);
            const size_t n = std::strlen(reinterpret_cast<const char*>(src));
            lengths.push_back(n);
            for (size_t i = 0; i < n; ++i)
                if (src[i] >= 'a' && src[i] <= 'z')
                    src[i] = static_cast<uint8_t>(src[i] - 'a' + 'A');
            return -1;
        }
    } hook;
    Bytes text(1200, 'a');
    translateMemoText(text, hook, false);
    EXPECT_EQ(hook.lengths, (std::vector<size_t>{512, 512, 176}));
    EXPECT_EQ(text, Bytes(1200, 'A'));

    Bytes empty;
    translateMemoText(empty, hook, false);
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(hook.lengths.size(), 3u);
}

// ---- Real memo files -------------------------------------------------------------

TEST(MemoFile, CorpusValues)
{
    const std::string corpus = KARTO_CORPUS_DIR;
    if (!std::filesystem::is_directory(corpus))
        GTEST_SKIP() << "corpus not present";

    struct Expect {
        int record;
        size_t length;   // 0: no value
        uint64_t hash;
    };
    struct Table {
        const char* dbf;
        const char* memo;
        XBaseVersion version;
        char letter;
        int offset;
        int size;
        std::vector<Expect> values;
    } tables[] = {
        {"NDbfReaderEx/BDE_TEST_3_512.dbf", "NDbfReaderEx/BDE_TEST_3_512.DBT", xBaseIII, 'M', 46, 10,
         {{0, 41, 0xea6895c05f0efd5full}, {1, 1180, 0x578a61b1335121b4ull}, {2, 0, 0}}},
        // 64-byte blocks. The expected values of the corpus (824 and 312
        // bytes of dots and zeros) come from a reader that takes every .dbt
        // block as 512 bytes; the file's header says 64, and with 64 the
        // values are the same texts as in the dBase III copy of this table.
        {"NDbfReaderEx/BDE_TEST_4_64.dbf", "NDbfReaderEx/BDE_TEST_4_64.DBT", xBaseV, 'M', 46, 10,
         {{0, 41, 0xea6895c05f0efd5full}, {1, 1180, 0x578a61b1335121b4ull}, {3, 0, 0}}},
        {"DBFFile/vfp9_memo_bs1.dbf", "DBFFile/vfp9_memo_bs1.fpt", xFoxPro, 'M', 11, 4,
         {{0, 17, 0x2a65b2b79dd0f9c9ull}, {1, 0, 0}, {2, 49, 0x33c84b88988a5140ull},
          {3, 2241, 0x1eac2a359df65d2dull}, {4, 1, 0xaf639d4c8601817full}}},
        {"DbfDataReader/dbase_30.dbf", "DbfDataReader/dbase_30.fpt", xFoxPro, 'M', 575, 4,
         {{0, 208, 0x909fc151ff4be270ull}, {3, 42, 0xd140dbaa386981b6ull}, {4, 68, 0x1d7793cc6450874cull}}},
    };
    for (Table& t : tables) {
        SCOPED_TRACE(t.dbf);
        const Bytes dbf = test::TempDir::read(corpus + "/" + t.dbf);
        ASSERT_GT(dbf.size(), 32u);
        const int headerSize = dbf[8] | (dbf[9] << 8);
        const int recordSize = dbf[10] | (dbf[11] << 8);

        FieldDefs defs(t.version);
        FieldDef& def = defs.addFieldDef();
        def.setFieldName("MEMO");
        def.setSize(t.size);
        def.setNativeFieldType(t.letter);
        def.setOffset(t.offset);
        const RecordFormat format = recordFormatOf(defs);

        std::unique_ptr<MemoFile> memo;
        if (t.version == xFoxPro)
            memo = std::make_unique<FoxProMemoFile>(t.version);
        else
            memo = std::make_unique<DbaseMemoFile>(t.version);
        memo->setFileName(corpus + "/" + t.memo);
        memo->setMode(pfReadOnly);
        memo->open();
        for (const Expect& e : t.values) {
            SCOPED_TRACE(e.record);
            const size_t at = static_cast<size_t>(headerSize) + static_cast<size_t>(e.record) * recordSize;
            ASSERT_LE(at + static_cast<size_t>(recordSize), dbf.size());
            const std::span<const uint8_t> record(dbf.data() + at, static_cast<size_t>(recordSize));
            int32_t block = 0;
            const bool has = getFieldData(def, format, record, ftInteger, &block);
            Bytes value;
            if (has)
                memo->readMemo(block, value);
            EXPECT_EQ(value.size(), e.length);
            if (e.length) {
                EXPECT_EQ(fnv1a(value), e.hash);
            }
        }
        memo->close();
    }
}
