// Every table of the corpus of real third-party tables opens read-only with
// the field list and record count an independent reader found
// (expected/*.json), or, where the table is one the engine does not read,
// fails with a clear error.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/MiniJson.h"
#include "dbf/Error.h"
#include "dbf/table/TableFile.h"

namespace karto {
namespace {

namespace fs = std::filesystem;
using test::Json;

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The expected files hold names decoded byte for byte (Latin-1); this gives
// the bytes back, or false when the text is no such decoding.
bool latin1Bytes(const std::string& utf8, std::string& bytes)
{
    bytes.clear();
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            bytes += static_cast<char>(c);
            ++i;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            const unsigned cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            if (cp > 0xFF)
                return false;
            bytes += static_cast<char>(cp);
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

std::string upperAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

bool isFoxProByte(int v)
{
    return (v & 7) == 2 || (v & 7) == 5 || v == 0x30 || v == 0x31;
}

// Decimal count the engine keeps for a letter (stored widths stay as they are).
int expectedPrecision(char letter, int length, int decimals, bool foxPro)
{
    switch (letter) {
    case 'N':
    case 'F': {
        const int width = std::clamp(length, 1, 20);
        return std::max(0, std::min(decimals, width - 2));
    }
    case 'Y':
        return 4;
    case 'B':
        return foxPro ? decimals : 0;
    case '0':
        return decimals;
    default:
        return 0;
    }
}

enum class Outcome { Opens, Invalid, Unsupported };

struct Expectation {
    Outcome outcome = Outcome::Opens;
    std::string why;
};

Expectation expectationFor(const Json& doc)
{
    const Json& header = doc["header"];
    const Json& fields = doc["fields"];
    if (header.isNull() || fields.kind != Json::Array || doc["size"].asInt() < 32)
        return {Outcome::Invalid, "shorter than a table header"};
    const int version = static_cast<int>(std::stol(header["version_byte"].text, nullptr, 16));
    if (version == 0x02)
        return {Outcome::Unsupported, "dBase II layout (16-byte descriptors)"};
    const bool foxPro = isFoxProByte(version);
    const bool baseVII = (version & 7) == 4;
    int64_t sum = 1;
    for (const Json& f : fields.items) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(f["type"].text[0])));
        const std::string known = baseVII ? "CNFDLMBGIO@TY0+" : "CNFDLMBGIO@TY0";
        if (known.find(letter) == std::string::npos)
            return {Outcome::Invalid, std::string("field type letter ") + letter + " unknown to the engine"};
        sum += f.find("effective_length") ? f["effective_length"].asInt() : f["length"].asInt();
    }
    if (sum > header["record_length"].asInt())
        return {Outcome::Invalid, "fields reach past the record size"};
    return {};
}

TEST(TableCorpus, EveryTableOpensAsTheIndependentReaderSaw)
{
    const fs::path corpus = KARTO_CORPUS_DIR;
    const fs::path expectedDir = corpus / "expected";
    if (!fs::is_directory(expectedDir))
        GTEST_SKIP() << "no corpus at " << corpus;

    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(expectedDir))
        if (entry.path().extension() == ".json" && entry.path().filename().string().find("__") != std::string::npos)
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_GT(files.size(), 100u);

    int opened = 0;
    int refused = 0;
    for (const fs::path& jsonPath : files) {
        const Json doc = Json::parse(readText(jsonPath));
        const std::string relative = doc["file"].text;
        SCOPED_TRACE(relative);
        const Expectation expect = expectationFor(doc);

        TableFile table;
        table.setFileName((corpus / relative).string());
        table.setMode(pfReadOnly);
        try {
            table.open();
        } catch (const TableError& e) {
            ++refused;
            if (expect.outcome == Outcome::Opens)
                ADD_FAILURE() << "refused: " << e.what();
            else if (expect.outcome == Outcome::Invalid)
                EXPECT_STREQ(e.what(), "Invalid DBF file.") << expect.why;
            continue;
        } catch (const KartoError& e) {
            ++refused;
            if (expect.outcome != Outcome::Unsupported)
                ADD_FAILURE() << "refused: " << e.what();
            continue;
        }
        ++opened;
        if (expect.outcome == Outcome::Invalid) {
            ADD_FAILURE() << "opened, expected a refusal: " << expect.why;
            continue;
        }

        // Every record can be walked, whatever the outcome.
        table.setBufferAhead(true);
        const int32_t count = table.recordCount();
        int deleted = 0;
        for (int32_t n = 1; n <= count; ++n) {
            const uint8_t* record = table.recordPtr(n);
            ASSERT_NE(record, nullptr) << n;
            deleted += TableFile::isDeletedRecord(record) ? 1 : 0;
        }
        EXPECT_EQ(table.recordPtr(count + 1), nullptr);
        if (expect.outcome == Outcome::Unsupported)
            continue;

        const Json& header = doc["header"];
        EXPECT_EQ(count, header["record_count_from_size"].asInt());
        EXPECT_EQ(deleted, doc["deleted_count"].asInt());
        EXPECT_EQ(table.headerSize(), header["header_length"].asInt());
        EXPECT_EQ(table.recordSize(), header["record_length"].asInt());
        const int version = static_cast<int>(std::stol(header["version_byte"].text, nullptr, 16));
        const bool foxPro = table.dbfVersion() == xFoxPro;
        EXPECT_EQ(foxPro, isFoxProByte(version));

        const Json& fields = doc["fields"];
        ASSERT_EQ(table.fieldDefs().count(), static_cast<int>(fields.items.size()));
        for (int i = 0; i < table.fieldDefs().count(); ++i) {
            const FieldDef& def = table.fieldDefs().item(i);
            const Json& f = fields.items[static_cast<size_t>(i)];
            SCOPED_TRACE(def.fieldName());
            std::string name;
            if (latin1Bytes(f["name"].text, name))
                EXPECT_EQ(def.fieldName(), upperAscii(name));
            const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(f["type"].text[0])));
            EXPECT_EQ(def.nativeFieldType(), letter);
            EXPECT_NE(def.fieldType(), ftUnknown);
            const int length = static_cast<int>(f["length"].asInt());
            const int decimals = static_cast<int>(f["decimal_count"].asInt());
            const int stored = f.find("effective_length") ? static_cast<int>(f["effective_length"].asInt()) : length;
            EXPECT_EQ(def.size(), stored);
            EXPECT_EQ(def.precision(), f.find("effective_length") ? 0 : expectedPrecision(letter, length, decimals, foxPro));
            EXPECT_EQ(def.offset(), f["offset"].asInt());
            EXPECT_LE(def.offset() + def.size(), table.recordSize());
        }
    }
    EXPECT_GT(opened, 150);
    std::cout << "[ corpus   ] " << opened << " tables opened, " << refused << " refused\n";
}

} // namespace
} // namespace karto
