#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "support/DbfBuilder.h"
#include "dbf/Error.h"
#include "dbf/io/PagedFile.h"

namespace karto {
namespace {

using test::TempDir;

// A file of a 10-byte header and records of recordSize bytes, record n
// filled with the byte n % 251.
std::vector<uint8_t> pagedBytes(int headerSize, int recordSize, int records, int trailing = 0)
{
    std::vector<uint8_t> b(static_cast<size_t>(headerSize), 0xEE);
    for (int n = 1; n <= records; ++n)
        b.insert(b.end(), static_cast<size_t>(recordSize), static_cast<uint8_t>(n % 251));
    b.insert(b.end(), static_cast<size_t>(trailing), 0x1A);
    return b;
}

void openPaged(PagedFile& f, const std::string& path, int headerSize, int recordSize,
               PagedFileMode mode = pfExclusiveOpen)
{
    f.setFileName(path);
    f.setMode(mode);
    f.openFile();
    f.setHeaderSize(headerSize);
    f.setRecordSize(recordSize);
}

TEST(PagedFile, RecordCountFromFileSize)
{
    TempDir dir;
    struct Case {
        int fileBytes;
        int want;
    } cases[] = {{10 + 3 * 100 + 1, 3}, {10 + 3 * 100, 3}, {10 + 3 * 100 - 1, 2}, {5, 0}, {0, 0}};
    for (const Case& c : cases) {
        const std::string path = dir.write("count.bin", std::vector<uint8_t>(static_cast<size_t>(c.fileBytes), 0));
        PagedFile f;
        openPaged(f, path, 10, 100);
        EXPECT_EQ(f.recordCount(), c.want) << c.fileBytes;
        EXPECT_EQ(f.isRecordPresent(c.want), true);
        EXPECT_EQ(f.isRecordPresent(c.want + 1), false);
    }
}

TEST(PagedFile, PageOffsets)
{
    PagedFile f;
    f.setHeaderOffset(4);
    f.setHeaderSize(10);
    f.setRecordSize(100);
    EXPECT_EQ(f.calcPageOffset(0), 0);
    EXPECT_EQ(f.calcPageOffset(1), 14);
    EXPECT_EQ(f.calcPageOffset(3), 214);
    EXPECT_EQ(f.calcPageOffset(2000000000), 4 + 10 + int64_t(1999999999) * 100);
    f.setPageOffsetByHeader(false);
    EXPECT_EQ(f.calcPageOffset(3), 300);
}

TEST(PagedFile, WindowCapacity)
{
    TempDir dir;
    const std::string path = dir.write("cap.bin", pagedBytes(10, 100, 2));
    struct Case {
        int recordSize;
        int capacity;
    } cases[] = {{100, 65500}, {70000, 70000}, {142, 65462}, {1, 65536}};
    for (const Case& c : cases) {
        PagedFile f;
        openPaged(f, path, 10, c.recordSize);
        f.setBufferAhead(true);
        EXPECT_EQ(f.bufferMaxSize(), c.capacity);
        f.setBufferAhead(false);
        EXPECT_EQ(f.bufferMaxSize(), 0);
    }
}

TEST(PagedFile, ForwardWalkReadsOneWindowPer655Records)
{
    TempDir dir;
    const int records = 2000;
    const std::string path = dir.write("walk.bin", pagedBytes(10, 100, records, 1));
    PagedFile f;
    openPaged(f, path, 10, 100);
    f.setBufferAhead(true);
    ASSERT_EQ(f.recordCount(), records);
    std::vector<uint8_t> buf(100);
    for (int n = 1; n <= records; ++n) {
        ASSERT_EQ(f.readRecord(n, buf.data()), 100);
        ASSERT_EQ(buf[0], n % 251);
        ASSERT_EQ(buf[99], n % 251);
        if (n == 655) {
            EXPECT_EQ(f.windowLoads(), 1);
        }
        if (n == 656) {
            EXPECT_EQ(f.windowLoads(), 2);
        }
    }
    EXPECT_EQ(f.windowLoads(), (records + 654) / 655);
    // Beyond the end: nothing delivered, buffer untouched.
    std::memset(buf.data(), 0x55, buf.size());
    EXPECT_EQ(f.readRecord(records + 1, buf.data()), 0);
    EXPECT_EQ(f.recordPtr(records + 1), nullptr);
    EXPECT_EQ(buf[0], 0x55);
}

TEST(PagedFile, BackwardWalkReadsWindowsEndingAtTheRecord)
{
    TempDir dir;
    const std::string path = dir.write("back.bin", pagedBytes(10, 100, 1000));
    PagedFile f;
    openPaged(f, path, 10, 100);
    f.setBufferAhead(true);
    // The last record: the window is cut at the end of the file. Stepping
    // back then reads a whole window ending at the requested record.
    const uint8_t* r = f.recordPtr(1000);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r[0], 1000 % 251);
    EXPECT_EQ(f.bufferPage(), 1000);
    r = f.recordPtr(999);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r[0], 999 % 251);
    EXPECT_EQ(f.bufferPage(), 999 - 655 + 1);
    EXPECT_EQ(f.bufferSize(), 65500);
    for (int n = 998; n >= 1; --n) {
        r = f.recordPtr(n);
        ASSERT_NE(r, nullptr);
        ASSERT_EQ(r[50], n % 251);
    }
    // The last backward window was cut at record 1.
    EXPECT_EQ(f.bufferPage(), 1);
    EXPECT_EQ(f.windowLoads(), 3);
}

TEST(PagedFile, ReadWithoutReadAheadAndShortRecord)
{
    TempDir dir;
    std::vector<uint8_t> bytes = pagedBytes(10, 100, 3);
    bytes.resize(bytes.size() + 40, 7);   // a partial fourth record
    const std::string path = dir.write("short.bin", bytes);
    PagedFile f;
    openPaged(f, path, 10, 100);
    std::vector<uint8_t> buf(100, 0);
    EXPECT_EQ(f.recordCount(), 3);
    EXPECT_EQ(f.readRecord(2, buf.data()), 100);
    EXPECT_EQ(buf[0], 2);
    EXPECT_EQ(f.readRecord(4, buf.data()), 40);
    EXPECT_EQ(f.recordPtr(4), nullptr);
    ASSERT_NE(f.recordPtr(3), nullptr);
    EXPECT_EQ(f.recordCount(), 3);   // reading past the end does not grow the file
}

TEST(PagedFile, WriteJustBelowWindowLandsInItsOwnPlace)
{
    TempDir dir;
    const std::string path = dir.write("write.bin", pagedBytes(10, 100, 2000));
    {
        PagedFile f;
        openPaged(f, path, 10, 100);
        f.setBufferAhead(true);
        ASSERT_NE(f.recordPtr(656), nullptr);
        ASSERT_NE(f.recordPtr(657), nullptr);   // window now starts at 656
        ASSERT_EQ(f.bufferPage(), 656);
        std::vector<uint8_t> rec(100, 0xAB);
        f.writeRecord(655, rec.data());
        const uint8_t* r = f.recordPtr(655);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r[0], 0xAB);
        r = f.recordPtr(656);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r[0], 656 % 251);
        f.closeFile();
    }
    const std::vector<uint8_t> after = TempDir::read(path);
    const std::vector<uint8_t> before = pagedBytes(10, 100, 2000);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        const bool inRecord655 = i >= 10 + 654 * 100 && i < 10 + 655 * 100;
        ASSERT_EQ(after[i], inRecord655 ? 0xAB : before[i]) << i;
    }
}

TEST(PagedFile, WriteBehindAppendsAndCounts)
{
    TempDir dir;
    const std::string path = dir.write("append.bin", pagedBytes(10, 100, 2));
    PagedFile f;
    openPaged(f, path, 10, 100);
    f.setBufferAhead(true);
    std::vector<uint8_t> rec(100, 3);
    f.writeRecord(3, rec.data());
    rec.assign(100, 4);
    f.writeRecord(4, rec.data());
    EXPECT_EQ(f.recordCount(), 4);
    f.closeFile();
    EXPECT_EQ(std::filesystem::file_size(path), 10u + 4 * 100);
}

TEST(PagedFile, InvalidatedWindowSeesChangesByOthers)
{
    TempDir dir;
    const std::string path = dir.write("inv.bin", pagedBytes(10, 100, 20));
    PagedFile reader;
    openPaged(reader, path, 10, 100, pfReadOnly);
    reader.setBufferAhead(true);
    ASSERT_EQ(reader.recordPtr(5)[0], 5);
    PagedFile writer;
    openPaged(writer, path, 10, 100, pfReadWriteOpen);
    std::vector<uint8_t> rec(100, 0xCD);
    writer.writeRecord(5, rec.data());
    EXPECT_EQ(reader.recordPtr(5)[0], 5);   // still the window's copy
    reader.invalidateWindow();
    EXPECT_EQ(reader.recordPtr(5)[0], 0xCD);
}

TEST(PagedFile, SetRecordCountSetsLength)
{
    TempDir dir;
    const std::string path = dir.write("len.bin", pagedBytes(10, 100, 5));
    PagedFile f;
    openPaged(f, path, 10, 100);
    f.setRecordCount(2);
    EXPECT_EQ(f.recordCount(), 2);
    EXPECT_EQ(std::filesystem::file_size(path), 210u);
}

TEST(PagedFile, HeaderLoadAndSave)
{
    TempDir dir;
    const std::string path = dir.write("hdr.bin", {1, 2, 3});
    PagedFile f;
    f.setFileName(path);
    f.setMode(pfExclusiveOpen);
    f.openFile();
    f.setHeaderSize(8);
    EXPECT_EQ(f.header()[2], 3);
    EXPECT_EQ(f.header()[3], 0);   // the part the file lacks is zero
    EXPECT_EQ(f.loadHeader(), 3);
    f.header()[7] = 9;
    f.writeHeader();               // exclusive: written on close
    EXPECT_EQ(std::filesystem::file_size(path), 3u);
    f.closeFile();
    const std::vector<uint8_t> after = TempDir::read(path);
    ASSERT_EQ(after.size(), 8u);
    EXPECT_EQ(after[7], 9);
}

TEST(PagedFile, OpenModes)
{
    TempDir dir;
    const std::string missing = dir.file("missing.bin");
    {
        PagedFile f;
        f.setFileName(missing);
        f.setMode(pfReadOnly);
        try {
            f.openFile();
            FAIL();
        } catch (const PagedFileError& e) {
            EXPECT_EQ(std::string(e.what()), "Open: file not found: \"" + missing + "\".");
        }
        EXPECT_FALSE(f.active());
    }
    {
        PagedFile f;
        f.setFileName(missing);
        f.setMode(pfReadOnly);
        f.setAutoCreate(true);
        f.openFile();
        EXPECT_TRUE(f.active());
        EXPECT_EQ(f.mode(), pfReadWriteCreate);
        EXPECT_TRUE(std::filesystem::exists(missing));
        f.closeFile();
        EXPECT_EQ(f.mode(), pfReadOnly);
    }
    {
        const std::string path = dir.write("trunc.bin", {1, 2, 3, 4});
        PagedFile f;
        f.setFileName(path);
        f.setMode(pfExclusiveCreate);
        f.openFile();
        EXPECT_EQ(f.cachedSize(), 0);
        f.disableForceCreate();
        EXPECT_EQ(f.mode(), pfExclusiveOpen);
    }
    {
        std::vector<uint8_t> memory = {5, 6, 7};
        PagedFile f;
        f.setStream(&memory);
        f.setMode(pfMemoryOpen);
        f.openFile();
        f.setHeaderSize(2);
        EXPECT_EQ(f.header()[1], 6);
        EXPECT_FALSE(f.needLocks());
        EXPECT_TRUE(f.lockAllPages(false));
    }
}

TEST(PagedFile, ExclusiveAccess)
{
    TempDir dir;
    const std::string path = dir.write("excl.bin", pagedBytes(10, 100, 3));
    PagedFile shared;
    openPaged(shared, path, 10, 100, pfReadWriteOpen);
    EXPECT_THROW(shared.checkExclusiveAccess(), TableError);

    // Somebody else has the file open: the switch is refused quietly.
    PagedFile other;
    openPaged(other, path, 10, 100, pfReadOnly);
    shared.tryExclusive();
    EXPECT_TRUE(shared.active());
    EXPECT_TRUE(shared.isSharedAccess());
    EXPECT_EQ(shared.mode(), pfReadWriteOpen);
    EXPECT_EQ(shared.tempMode(), pfNone);

    // Alone: the file becomes exclusive, and others cannot open it meanwhile.
    other.closeFile();
    shared.tryExclusive();
    EXPECT_FALSE(shared.isSharedAccess());
    EXPECT_NO_THROW(shared.checkExclusiveAccess());
    PagedFile third;
    third.setFileName(path);
    third.setMode(pfReadOnly);
    EXPECT_THROW(third.openFile(), FileOpenError);
    shared.endExclusive();
    EXPECT_EQ(shared.mode(), pfReadWriteOpen);
    EXPECT_NO_THROW(third.openFile());
}

TEST(PagedFile, ProgressAbort)
{
    PagedFile f;
    int calls = 0;
    f.setOnProgress([&](int, int, bool& aborted, const std::string&) { aborted = ++calls == 2; });
    EXPECT_NO_THROW(f.doProgress(1, 10, "Reading records"));
    EXPECT_THROW(f.doProgress(2, 10, "Reading records"), AbortError);
}

} // namespace
} // namespace karto
