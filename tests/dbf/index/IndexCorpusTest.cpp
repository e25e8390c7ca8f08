// The one production index of the corpus, written by another library
// (xBaseJ): a dBase IV index without tags whose language byte differs from
// its table's.
#include <gtest/gtest.h>

#include <filesystem>

#include "dbf/Messages.h"
#include "dbf/index/IndexFile.h"
#include "dbf/table/TableFile.h"
#include "support/DbfBuilder.h"
#include "support/MdxCheck.h"

namespace karto {
namespace {

const std::string kDir = KARTO_CORPUS_DIR "/xBaseJ/testfiles/";

TEST(IndexCorpus, TheXBaseJIndexOpens)
{
    if (!std::filesystem::exists(kDir + "test.mdx"))
        GTEST_SKIP() << "corpus not found";
    EXPECT_TRUE(IndexFile::readTagDefinitions(kDir + "test.mdx").empty());
    {
        TableFile table;
        table.setFileName(kDir + "test.dbf");
        table.setMode(pfReadOnly);
        table.open();
        EXPECT_EQ(table.recordCount(), 6);
        EXPECT_EQ(table.mdxFileName(), kDir + "test.mdx");
        // Table 0x03, index 0x1B: the index is not the table's.
        EXPECT_EQ(table.indexProblem(), msg::kIndexLanguageMismatch);
    }
    // The same files with the table's language byte cleared: the index
    // opens (no tags) and the table takes appends.
    test::TempDir dir;
    std::vector<uint8_t> dbf = test::TempDir::read(kDir + "test.dbf");
    dbf[29] = 0;
    dir.write("test.dbf", dbf);
    dir.write("test.mdx", test::TempDir::read(kDir + "test.mdx"));
    TableFile table;
    table.setFileName(dir.file("test.dbf"));
    table.setMode(pfReadWriteOpen);
    table.open();
    ASSERT_NE(table.indexFile(), nullptr) << table.indexProblem();
    EXPECT_TRUE(table.indexFile()->tags().empty());
    std::vector<uint8_t> record(static_cast<size_t>(table.recordSize()), ' ');
    EXPECT_EQ(table.insert(record.data()), 7);
    table.close();
    EXPECT_TRUE(test::mdxTreeIsValid(kDir + "test.dbf"));
}

} // namespace
} // namespace karto
