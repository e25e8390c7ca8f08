#include "export/xlsx/ParallelDeflater.h"

#include <functional>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <zlib.h>

#include "export/workbook/WorkbookErrors.h"
#include "export/xlsx/Deflater.h"
#include "support/ThreadCount.h"
#include "support/ZipTestReader.h"

using namespace karto;
using karto::test::inflateRaw;
using karto::test::runningThreads;

namespace {

// Rows of sheet XML with Czech texts: compressible, never periodic.
std::string sheetXml(std::size_t bytes)
{
    static const char* const towns[] = {"Praha", "Brno", "Ústí nad Labem", "České Budějovice", "Žďár nad Sázavou"};
    std::string out;
    uint32_t state = 12345;
    for (int row = 1; out.size() < bytes; ++row) {
        state = state * 1103515245u + 12345u;
        out += "<row r=\"" + std::to_string(row) + "\"><c r=\"A" + std::to_string(row) + "\" t=\"s\"><v>" +
               std::to_string(state >> 20) + "</v></c><c r=\"B" + std::to_string(row) + "\"><is><t>" +
               towns[(state >> 8) % 5] + "</t></is></c></row>";
    }
    out.resize(bytes);
    return out;
}

uint32_t crcOf(const std::string& data)
{
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// The data written in pieces of `piece` bytes, then finished.
std::string deflateAll(const std::string& data, const ParallelDeflateOptions& options, std::size_t piece,
                       DeflatedInput* sum = nullptr, unsigned* threads = nullptr)
{
    std::string out;
    ParallelDeflater deflater([&out](const char* d, std::size_t n) { out.append(d, n); }, options);
    for (std::size_t at = 0; at < data.size(); at += piece)
        deflater.write(data.data() + at, std::min(piece, data.size() - at));
    const DeflatedInput written = deflater.finish();
    if (sum)
        *sum = written;
    if (threads)
        *threads = deflater.threads();
    return out;
}

ParallelDeflateOptions options(unsigned threads, std::size_t chunkSize = 512 * 1024, unsigned inFlight = 0)
{
    ParallelDeflateOptions o;
    o.threads = threads;
    o.chunkSize = chunkSize;
    o.chunksInFlight = inFlight;
    return o;
}

} // namespace

TEST(ParallelDeflater, ChunksJoinIntoOneRawDeflateStream)
{
    const struct {
        unsigned threads;
        std::size_t chunk;
        unsigned inFlight;
        std::size_t length, piece;
    } cases[] = {
        {1, 512 * 1024, 0, 200000, 4096},  // the single-threaded stream
        {2, 1, 0, 3000, 7},                // chunks of one byte: the dictionary spans many chunks
        {2, 61, 0, 100000, 1000},          // elements and UTF-8 letters cut anywhere
        {3, 4093, 2, 300000, 65536},       // few chunks in flight
        {2, 32768, 0, 3 * 32768, 32768},   // chunks of exactly one window
        {4, 100000, 0, 99999, 100000},     // one chunk
        {2, 1000, 0, 0, 1},                // nothing
    };
    for (const auto& c : cases) {
        const std::string data = sheetXml(c.length);
        DeflatedInput sum;
        unsigned threads = 0;
        const std::string deflated = deflateAll(data, options(c.threads, c.chunk, c.inFlight), c.piece, &sum, &threads);
        const std::string label = std::to_string(c.threads) + " threads, chunk " + std::to_string(c.chunk) +
                                  ", " + std::to_string(c.length) + " bytes";
        EXPECT_EQ(threads, c.threads) << label;
        EXPECT_EQ(inflateRaw(deflated, data.size()), data) << label;
        EXPECT_EQ(sum.crc, crcOf(data)) << label;
        EXPECT_EQ(sum.size, data.size()) << label;
    }
    EXPECT_GE(ParallelDeflater([](const char*, std::size_t) {}).threads(), 1u);
}

TEST(ParallelDeflater, SegmentsLetOtherDeflateDataFollow)
{
    // A segment, a piece deflated elsewhere, then a fresh stream: one stream.
    for (const unsigned threads : {1u, 2u}) {
        const std::string a = sheetXml(70000), b = sheetXml(5000) + "b", c = sheetXml(50001).substr(1);
        std::string out;
        ParallelDeflater deflater([&out](const char* d, std::size_t n) { out.append(d, n); }, options(threads, 4096));
        deflater.write(a.data(), a.size());
        const DeflatedInput first = deflater.finishSegment();
        Deflater other([&out](const char* d, std::size_t n) { out.append(d, n); });
        other.write(b.data(), b.size());
        other.finishSegment();
        deflater.write(c.data(), c.size());
        const DeflatedInput last = deflater.finish();
        EXPECT_EQ(inflateRaw(out, a.size() + b.size() + c.size()), a + b + c) << threads;
        EXPECT_EQ(first.crc, crcOf(a));
        EXPECT_EQ(first.size, a.size());
        EXPECT_EQ(last.crc, crcOf(c));
        EXPECT_EQ(last.size, c.size());
    }
}

TEST(ParallelDeflater, ThreadsStartWithTheSecondChunkAndAreJoined)
{
    const int before = runningThreads();
    for (const std::size_t length : {std::size_t{3000}, std::size_t{300000}}) {
        std::mutex mutex;
        std::set<std::thread::id> compressors;
        int duringLastChunk = 0;
        ParallelDeflateOptions o = options(2, 4096);
        o.beforeChunk = [&](uint64_t) {
            std::lock_guard lock(mutex);
            compressors.insert(std::this_thread::get_id());
            duringLastChunk = runningThreads();
        };
        const std::string data = sheetXml(length);
        EXPECT_EQ(inflateRaw(deflateAll(data, o, 10000), length), data);
        if (length <= 4096) {
            // One chunk: compressed here, no thread started.
            EXPECT_EQ(compressors, std::set<std::thread::id>{std::this_thread::get_id()});
            EXPECT_EQ(duringLastChunk, before);
        } else {
            EXPECT_EQ(compressors.count(std::this_thread::get_id()), 0u);
            EXPECT_EQ(duringLastChunk, before + 2);
        }
        EXPECT_EQ(runningThreads(), before) << length;
    }
}

TEST(ParallelDeflater, WorkerFailureIsRaisedOnTheWritingThread)
{
    const int before = runningThreads();
    const struct {
        std::function<void()> fail;
        const char* message;
    } cases[] = {
        {[] { raiseZlibError(Z_STREAM_ERROR, "stream error"); }, "zlib error -2: stream error"},
        {[] { throw std::bad_alloc(); }, "zlib error -4: insufficient memory"},
        {[] { throw std::runtime_error("no room"); }, "no room"},
    };
    for (const auto& c : cases) {
        for (const bool failFirst : {false, true}) {
            ParallelDeflateOptions o = options(2, 1000, 3);
            const uint64_t failing = failFirst ? 0 : 7;
            o.beforeChunk = [&](uint64_t chunk) {
                if (chunk == failing)
                    c.fail();
            };
            try {
                deflateAll(sheetXml(50000), o, 700);
                ADD_FAILURE() << "no error: " << c.message;
            } catch (const ZipException& e) {
                EXPECT_STREQ(e.what(), c.message);
            }
            EXPECT_EQ(runningThreads(), before) << c.message;
        }
    }
}

TEST(ParallelDeflater, CompressedSizeWithinOnePercentOfOneStream)
{
    const std::string data = sheetXml(6 << 20);
    const std::size_t single = deflateAll(data, options(1), 65536).size();
    const std::size_t parallel = deflateAll(data, options(2), 65536).size();
    EXPECT_LE(parallel, single + single / 100);
    EXPECT_GE(parallel, single - single / 100);
}
