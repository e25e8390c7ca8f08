#include "export/xlsx/ZipWriter.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <zlib.h>

#include "export/xlsx/Deflater.h"
#include "export/xlsx/ParallelDeflater.h"
#include "export/output/OutputStream.h"
#include "export/workbook/WorkbookErrors.h"
#include "support/ZipTestReader.h"

using namespace karto;
using karto::test::readZip;
using karto::test::zipLe;

namespace {

std::tm fixedTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

ZipClock clockAt(const std::tm& t)
{
    return [t] { return t; };
}

// Runs Python's zipfile over the archive: every CRC checked, names listed.
std::string pythonZipCheck(const std::string& bytes)
{
    char path[] = "/tmp/karto-zip-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return "no temp file";
    std::FILE* f = fdopen(fd, "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    const std::string command = std::string("/usr/bin/python3 -c \"import zipfile,sys;z=zipfile.ZipFile('") + path +
                                "');r=z.testzip();print('BAD' if r else 'OK', ','.join(z.namelist()))\" 2>&1";
    std::string output;
    if (std::FILE* p = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, p))
            output += buffer;
        pclose(p);
    }
    std::remove(path);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return output;
}

} // namespace

TEST(ZipWriter, DosDateAndTimeFromTheLocalClock)
{
    const uint32_t v = dosDateTime(fixedTime(2020, 6, 28, 13, 45, 59));
    EXPECT_EQ(v & 0xFFFF, 13u * 2048 + 45 * 32 + 59 / 2);
    EXPECT_EQ(v >> 16, (2020u - 1980) * 512 + 6 * 32 + 28);
}

TEST(ZipWriter, HeadersDirectoryAndEndRecordAsLaidDown)
{
    MemoryOutputStream out;
    ZipWriter zip(clockAt(fixedTime(2021, 3, 4, 10, 20, 30)));
    zip.openStream(out, zmWrite);
    const std::string text(40000, 'a');
    zip.addFromString("xl\\worksheets\\sheet1.xml", text);
    zip.addFromString("[Content_Types].xml", "<Types/>");
    zip.addFromString("empty.xml", "");
    zip.close();
    const std::string& b = out.data();

    const auto entries = readZip(b);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "xl/worksheets/sheet1.xml");
    EXPECT_EQ(entries[1].name, "[Content_Types].xml");
    EXPECT_EQ(entries[0].data, text);
    EXPECT_EQ(entries[1].data, "<Types/>");
    for (const auto& e : entries) {
        EXPECT_EQ(e.versionMadeBy, 10);
        EXPECT_EQ(e.versionNeeded, 10);
        EXPECT_EQ(e.flags, 0);
        EXPECT_EQ(e.method, 8);
        EXPECT_EQ(e.dosDateTime, entries[0].dosDateTime);  // same even second, same time
    }
    // An empty source: CRC 0, size 0, the few bytes of an empty deflate stream.
    EXPECT_EQ(entries[2].crc, 0u);
    EXPECT_EQ(entries[2].uncompressedSize, 0u);
    EXPECT_GT(entries[2].compressedSize, 0u);
    EXPECT_LE(entries[2].compressedSize, 5u);

    // First local header at 0; entries one after another; directory right after.
    EXPECT_EQ(entries[0].localOffset, 0u);
    EXPECT_EQ(entries[1].localOffset, 30 + entries[0].name.size() + entries[0].compressedSize);
    const std::size_t end = b.size() - 22;
    const uint32_t dirOffset = zipLe(b, end + 16, 4);
    EXPECT_EQ(dirOffset, entries[2].localOffset + 30 + entries[2].name.size() + entries[2].compressedSize);
    EXPECT_EQ(zipLe(b, end + 4, 2), 0u);
    EXPECT_EQ(zipLe(b, end + 6, 2), 0u);
    EXPECT_EQ(zipLe(b, end + 20, 2), 0u);
    // Central header: extra, comment, disk, attributes all 0.
    EXPECT_EQ(zipLe(b, dirOffset + 30, 4), 0u);
    EXPECT_EQ(zipLe(b, dirOffset + 34, 4), 0u);
    EXPECT_EQ(zipLe(b, dirOffset + 38, 4), 0u);

    EXPECT_EQ(pythonZipCheck(b), "OK xl/worksheets/sheet1.xml,[Content_Types].xml,empty.xml");
}

TEST(ZipWriter, NonAsciiNameSetsTheUtf8Flag)
{
    MemoryOutputStream out;
    ZipWriter zip;
    zip.openStream(out, zmWrite);
    zip.addFromString("čísla.txt", "x");
    zip.addFromString("plain.txt", "y");
    zip.close();
    const auto entries = readZip(out.data());
    EXPECT_EQ(entries[0].flags, 0x0800);
    EXPECT_EQ(entries[1].flags, 0);
}

TEST(ZipWriter, StreamedEntryWithSplicedDeflateSegment)
{
    // A middle piece compressed on its own (as the sheet writer does when it
    // must write the start of a part after its rows) joins the entry.
    std::string middle;
    for (int i = 0; i < 5000; ++i)
        middle += "<row r=\"" + std::to_string(i) + "\"/>";
    std::string segment;
    Deflater deflater([&segment](const char* d, std::size_t n) { segment.append(d, n); });
    deflater.write(middle.data(), middle.size());
    deflater.finishSegment();
    const uint32_t crc =
        static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(middle.data()), static_cast<uInt>(middle.size())));
    std::FILE* spill = std::tmpfile();
    ASSERT_NE(spill, nullptr);
    std::fwrite(segment.data(), 1, segment.size(), spill);
    std::rewind(spill);

    MemoryOutputStream out;
    ZipWriter zip;
    zip.openStream(out, zmWrite);
    zip.beginEntry("part.xml");
    zip.writeEntry("<head>");
    zip.appendDeflated(spill, segment.size(), crc, middle.size());
    zip.writeEntry("</head>");
    zip.finishEntry();
    zip.close();
    std::fclose(spill);

    const auto entries = readZip(out.data());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].data, "<head>" + middle + "</head>");
    EXPECT_EQ(pythonZipCheck(out.data()), "OK part.xml");
}

TEST(ZipWriter, EntriesDeflatedOnSeveralThreads)
{
    // Small chunks cut elements and letters; the spliced segment sits
    // between parallel-deflated data.
    std::string rows;
    for (int i = 0; rows.size() < 300000; ++i)
        rows += "<row r=\"" + std::to_string(i) + "\"><c t=\"s\"><v>" + std::to_string(i * 7919 % 1000) +
                "</v></c><is><t>Žluťoučký kůň " + std::to_string(i % 97) + "</t></is></row>";
    std::string middle = "<spliced>" + rows.substr(0, 20000) + "</spliced>";
    std::string segment;
    Deflater deflater([&segment](const char* d, std::size_t n) { segment.append(d, n); });
    deflater.write(middle.data(), middle.size());
    deflater.finishSegment();
    const uint32_t crc =
        static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(middle.data()), static_cast<uInt>(middle.size())));

    const struct {
        unsigned threads;
        std::size_t chunk;
    } cases[] = {{1, 512 * 1024}, {2, 997}, {3, 10007}, {2, 512 * 1024}};
    for (const auto& c : cases) {
        std::FILE* spill = std::tmpfile();
        ASSERT_NE(spill, nullptr);
        std::fwrite(segment.data(), 1, segment.size(), spill);
        std::rewind(spill);
        ParallelDeflateOptions options;
        options.threads = c.threads;
        options.chunkSize = c.chunk;
        MemoryOutputStream out;
        ZipWriter zip;
        zip.setDeflateOptions(options);
        zip.openStream(out, zmWrite);
        zip.addFromString("rows.xml", rows);
        zip.beginEntry("part.xml");
        zip.writeEntry(rows.substr(0, 150000));
        zip.appendDeflated(spill, segment.size(), crc, middle.size());
        zip.writeEntry(rows.substr(150000));
        zip.finishEntry();
        zip.addFromString("small.xml", "<small/>");
        zip.close();
        std::fclose(spill);

        const std::string label = std::to_string(c.threads) + " threads, chunk " + std::to_string(c.chunk);
        const auto entries = readZip(out.data());
        ASSERT_EQ(entries.size(), 3u) << label;
        EXPECT_EQ(entries[0].data, rows) << label;
        EXPECT_EQ(entries[1].data, rows.substr(0, 150000) + middle + rows.substr(150000)) << label;
        EXPECT_EQ(entries[2].data, "<small/>") << label;
        EXPECT_EQ(pythonZipCheck(out.data()), "OK rows.xml,part.xml,small.xml") << label;
    }
}

TEST(ZipWriter, EntryPastFourGiBRaisesBeforeItIsWritten)
{
    // 64 MiB of zeros as a self-contained deflate segment, spliced in again
    // and again: real deflate data for an entry of more than 4 GiB.
    const std::string zeros(64u << 20, '\0');
    std::string segment;
    Deflater deflater([&segment](const char* d, std::size_t n) { segment.append(d, n); });
    deflater.write(zeros.data(), zeros.size());
    deflater.finishSegment();
    const uint32_t crc =
        static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uInt>(zeros.size())));
    std::FILE* spill = std::tmpfile();
    ASSERT_NE(spill, nullptr);
    std::fwrite(segment.data(), 1, segment.size(), spill);

    for (const unsigned threads : {1u, 2u}) {
        ParallelDeflateOptions options;
        options.threads = threads;
        options.chunkSize = 1000;
        MemoryOutputStream out;
        ZipWriter zip;
        zip.setDeflateOptions(options);
        zip.openStream(out, zmWrite);
        zip.beginEntry("huge.xml");
        zip.writeEntry(std::string(3000, 'x'));  // three chunks on the threads
        int appended = 0;
        try {
            for (; appended < 70; ++appended) {
                std::rewind(spill);
                zip.appendDeflated(spill, segment.size(), crc, zeros.size());
            }
            zip.finishEntry();
            ADD_FAILURE() << "no error";
        } catch (const ZipException& e) {
            EXPECT_STREQ(e.what(), "The archive is too large for a zip file without ZIP64 extensions");
        }
        // 3000 + 63 x 64 MiB fit in 32 bits, the 64th splice does not.
        EXPECT_EQ(appended, 63) << threads;
        EXPECT_EQ(zip.entryUncompressedSize(), 3000u + 63ull * zeros.size()) << threads;
    }
    std::fclose(spill);
}

TEST(ZipWriter, AddFromStreamReadsToTheEnd)
{
    std::istringstream source(std::string(50000, 'z') + "end");
    source.seekg(10);
    MemoryOutputStream out;
    ZipWriter zip;
    zip.openStream(out, zmWrite);
    zip.addFromStream("s.txt", source);
    zip.close();
    EXPECT_EQ(readZip(out.data())[0].data, std::string(49990, 'z') + "end");
}

TEST(ZipWriter, ErrorsInTheirOwnWords)
{
    MemoryOutputStream out;
    ZipWriter zip;
    auto message = [](auto&& action) {
        try {
            action();
        } catch (const ZipException& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message([&] { zip.addFromString("a", "x"); }), "File must be open for writing");
    EXPECT_EQ(message([&] { zip.openStream(out, zmRead); }), "Invalid argument");
    zip.openStream(out, zmWrite);
    EXPECT_EQ(message([&] { zip.addFromString("", "x"); }), "File name must not be empty");
    EXPECT_EQ(message([&] { zip.finishEntry(); }), "Wrong state: you are not writing a file.");
    zip.beginEntry("a");
    EXPECT_EQ(message([&] { zip.beginEntry("b"); }), "Wrong state: the archive ist blocked for writing.");
    zip.finishEntry();
    zip.close();
    EXPECT_EQ(readZip(out.data()).size(), 1u);
}
