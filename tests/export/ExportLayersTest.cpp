// The export library's folders include only from the folders below them
// (the layers are listed beside the library in src/CMakeLists.txt).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

TEST(ExportLayers, FoldersIncludeOnlyFromTheLayersBelow)
{
    const std::map<std::string, std::set<std::string>> allowed = {
        {"output", {}},
        {"text", {"output"}},
        {"workbook", {"output"}},
        {"xlsx", {"workbook", "output"}},
        {"xls", {"workbook", "output"}},
        {"driver", {"xlsx", "xls", "workbook", "text", "output"}},
    };
    const fs::path root = fs::path(KARTO_SOURCE_DIR) / "src" / "export";
    const std::regex include(R"(^\s*#\s*include\s*"export/([^/"]+)/)");
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file())
            continue;
        const fs::path relative = fs::relative(entry.path(), root);
        const std::string folder = relative.begin()->string();
        ASSERT_TRUE(allowed.count(folder)) << "a file outside the layers: " << relative;
        ++files;
        std::ifstream in(entry.path());
        std::string line;
        std::smatch match;
        while (std::getline(in, line)) {
            if (std::regex_search(line, match, include) && match[1] != folder) {
                EXPECT_TRUE(allowed.at(folder).count(match[1])) << relative << ": " << line;
            }
        }
    }
    EXPECT_GT(files, 50);
}

} // namespace
