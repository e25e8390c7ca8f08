#include "export/xls/ChunkStreamList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace karto;

namespace {

std::string readAll(ChunkStreamList& list, std::size_t piece)
{
    list.rewind();
    std::string out;
    std::vector<char> buf(piece);
    while (std::size_t n = list.read(buf.data(), buf.size()))
        out.append(buf.data(), n);
    return out;
}

} // namespace

TEST(ChunkStreamList, ReadsBackWhatWasWrittenWithAndWithoutCompression)
{
    for (std::size_t limit : {std::size_t(0), std::size_t(1) << 30}) {
        ChunkStreamList list(limit);
        std::string expected;
        for (int chunk = 0; chunk < 40; ++chunk) {
            for (int i = 0; i < 3000 + chunk * 17; ++i) {
                const std::string piece = std::to_string(chunk * 100000 + i) + ";";
                list.append(piece.data(), piece.size());
                expected += piece;
            }
            list.newChunk();
        }
        list.newChunk();   // an empty chunk is not kept
        EXPECT_EQ(list.size(), expected.size());
        if (limit == 0) {
            EXPECT_LT(list.memoryUsed(), expected.size() / 2);
        }
        for (std::size_t piece : {std::size_t(1) << 20, std::size_t(4097), std::size_t(7)})
            EXPECT_TRUE(readAll(list, piece) == expected) << "limit " << limit << " piece " << piece;
    }
}

TEST(ChunkStreamList, PatchesPlainChunksAndTakesChunksOfAnotherList)
{
    ChunkStreamList head;
    head.append("ABCDEFGH", 8);
    head.patch32(0, 2, 0x34333231);
    head.newChunk();
    ChunkStreamList tail(0);   // compresses every closed chunk
    tail.append("tail-1", 6);
    tail.newChunk();
    tail.append("tail-2", 6);
    EXPECT_THROW(tail.patch32(0, 0, 1), ChunkStreamError);
    head.takeChunks(tail);
    EXPECT_EQ(tail.size(), 0u);
    EXPECT_EQ(readAll(head, 5), "AB1234GHtail-1tail-2");
}

TEST(ChunkStreamList, ReportsEachMiBRead)
{
    ChunkStreamList list(0);
    const std::string block(1 << 18, 'x');
    for (int i = 0; i < 10; ++i) {   // 2.5 MiB
        list.append(block.data(), block.size());
        list.newChunk();
    }
    std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
    list.setReadProgress([&](std::uint64_t pos, std::uint64_t count) { reports.emplace_back(pos, count); });
    readAll(list, 100000);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], std::make_pair(std::uint64_t(1), std::uint64_t(3)));
    EXPECT_EQ(reports[1], std::make_pair(std::uint64_t(2), std::uint64_t(3)));
}
