// The independent .mdx checker the index tests rely on (support/MdxCheck.h):
// its own self-test (generated multi-level indexes that must pass, damaged
// ones that must fail), the corpus's index written by another library, and a
// damaged copy of it seen through the C++ helper.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/DbfBuilder.h"
#include "support/DbfReadBack.h"
#include "support/MdxCheck.h"

namespace karto {
namespace {

const std::string kCorpusTable = KARTO_CORPUS_DIR "/xBaseJ/testfiles/test.dbf";

class MdxCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::independentReaderAvailable())
            GTEST_SKIP() << "/usr/bin/python3 with dbfread not found";
    }
};

TEST_F(MdxCheckTest, SelfTestPasses)
{
    const std::string command = "KARTO_CORPUS_DIR=" + test::mdxcheck::shellQuoted(KARTO_CORPUS_DIR) +
                                " /usr/bin/python3 '" KARTO_SOURCE_DIR "/tests/support/mdx_check_selftest.py' 2>&1";
    FILE* p = ::popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string output;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        output.append(buf, n);
    EXPECT_EQ(::pclose(p), 0) << output;
}

TEST_F(MdxCheckTest, CorpusIndexIsSoundAndItsDamagedCopyIsNot)
{
    if (!std::filesystem::exists(kCorpusTable))
        GTEST_SKIP() << "no corpus at " KARTO_CORPUS_DIR;
    EXPECT_TRUE(test::mdxTreeIsValid(kCorpusTable));
    EXPECT_TRUE(test::mdxTreeIsValid(kCorpusTable, static_cast<const uint8_t*>(nullptr)));

    test::TempDir dir;
    std::filesystem::copy_file(kCorpusTable, dir.file("test.dbf"));
    std::vector<uint8_t> mdx = test::TempDir::read(KARTO_CORPUS_DIR "/xBaseJ/testfiles/test.mdx");
    ASSERT_GT(mdx.size(), 32u);
    mdx[0] = 9;       // version
    mdx[32] = 5;      // next free page inside a block
    dir.write("TEST.MDX", mdx);   // found whatever its letter case
    const test::MdxCheckResult r = test::runMdxCheck(dir.file("test.dbf"));
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("version byte 9"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("not at a block boundary"), std::string::npos) << r.output;
    EXPECT_FALSE(test::mdxTreeIsValid(dir.file("test.dbf")));

    std::filesystem::remove(dir.file("TEST.MDX"));
    EXPECT_EQ(test::runMdxCheck(dir.file("test.dbf")).exitCode, 2);
}

} // namespace
} // namespace karto
