#pragma once
// A table's production index checked by an independent reader of the .mdx
// format (tests/support/mdx_check.py through Debian's python and dbfread):
// headers, tag table, the shape and order of every tag's B-tree and, for key
// expressions it can compute, that the leaves hold exactly the records' keys.
//
//     EXPECT_TRUE(test::mdxTreeIsValid(dir.file("people.dbf")));
//     EXPECT_TRUE(test::mdxTreeIsValid(path, collationWeights(0xC8)));
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace karto::test {

struct MdxCheckResult {
    int exitCode = -1;    // 0 sound, 1 problems found, 2 files unreadable, -1 not run
    std::string output;   // the checker's lines: "problem: ...", "note: ..." and a summary
};

namespace mdxcheck {

inline std::string shellQuoted(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace mdxcheck

// Runs the checker on the table at dbfPath (its .mdx beside it). weightsFile
// names a 256-byte collation weight table for character keys; empty: binary.
inline MdxCheckResult runMdxCheck(const std::string& dbfPath, const std::string& weightsFile = "",
                                  bool verbose = false)
{
    MdxCheckResult result;
    std::string command = "/usr/bin/python3 " + mdxcheck::shellQuoted(KARTO_SOURCE_DIR "/tests/support/mdx_check.py") +
                          " " + mdxcheck::shellQuoted(dbfPath);
    if (!weightsFile.empty())
        command += " --weights " + mdxcheck::shellQuoted(weightsFile);
    if (verbose)
        command += " --verbose";
    command += " 2>&1";
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) {
        result.output = "cannot run python";
        return result;
    }
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        result.output.append(buf, n);
    const int status = ::pclose(p);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// Success when the checker finds nothing wrong; otherwise its report.
inline ::testing::AssertionResult mdxTreeIsValid(const std::string& dbfPath, const std::string& weightsFile = "")
{
    const MdxCheckResult r = runMdxCheck(dbfPath, weightsFile);
    if (r.exitCode == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "index of " << dbfPath << " (exit " << r.exitCode << "):\n" << r.output;
}

// The same with the collation given as its 256-byte weight table (nullptr:
// binary), written to a temporary file for the checker.
inline ::testing::AssertionResult mdxTreeIsValid(const std::string& dbfPath, const uint8_t* weights)
{
    if (!weights)
        return mdxTreeIsValid(dbfPath, std::string());
    static std::atomic<int> counter{0};
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
        ("karto-weights-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".bin");
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(weights), 256);
    }
    ::testing::AssertionResult result = mdxTreeIsValid(dbfPath, file.string());
    std::error_code ec;
    std::filesystem::remove(file, ec);
    return result;
}

} // namespace karto::test
