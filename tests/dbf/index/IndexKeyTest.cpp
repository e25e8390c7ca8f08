// Keys of the production index: the 12-byte numeric form, date keys,
// character keys, and their order by key type and collation.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbf/index/IndexKey.h"
#include "dbf/index/KeyCompare.h"
#include "dbf/text/Collation.h"

namespace karto::mdx {
namespace {

std::vector<uint8_t> intKey(int64_t v)
{
    std::vector<uint8_t> k(12);
    numericKeyFromInteger(v, k.data());
    return k;
}

std::vector<uint8_t> doubleKey(double v)
{
    std::vector<uint8_t> k(12);
    numericKeyFromDouble(v, k.data());
    return k;
}

std::vector<uint8_t> bytes(std::initializer_list<int> list)
{
    std::vector<uint8_t> out;
    for (int b : list)
        out.push_back(static_cast<uint8_t>(b));
    out.resize(12, 0);
    return out;
}

TEST(NumericKey, BytesOfWholeNumbersAndDoubles)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> key;
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        {"120", intKey(120), bytes({55, 9, 0x12})},
        {"-120", intKey(-120), bytes({55, 0x89, 0x12})},
        {"0", intKey(0), bytes({52, 1})},
        {"0.0", doubleKey(0.0), bytes({52, 1})},
        {"120.0", doubleKey(120.0), bytes({55, 9, 0x12})},
        {"1", intKey(1), bytes({53, 9, 0x10})},
        {"1937.08", doubleKey(1937.08), bytes({56, 25, 0x19, 0x37, 0x08})},
        {"0.5", doubleKey(0.5), bytes({52, 9, 0x50})},
        {"0.05", doubleKey(0.05), bytes({51, 9, 0x50})},
        {"-2.5", doubleKey(-2.5), bytes({53, 0x80 + 9, 0x25})},
        {"19 digits", intKey(1234567890123456789LL),
         bytes({71, 81, 0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34, 0x56, 0x78, 0x90})},
        {"int64 min", intKey(INT64_MIN),
         bytes({71, 0x80 + 81, 0x92, 0x23, 0x37, 0x20, 0x36, 0x85, 0x47, 0x75, 0x80, 0x80})},
        {"1e-20 rounds to 0", doubleKey(1e-20), bytes({52, 1})},
        {"6e-16 rounds to 1e-15", doubleKey(6e-16), bytes({38, 9, 0x10})},
        {"1/3 cut to 15 places", doubleKey(1.0 / 3.0),
         bytes({52, 65, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x30})},
        {"12345.678901234567 cut to 16 digits", doubleKey(12345.678901234567),
         bytes({57, 65, 0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34, 0x56})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.key, c.expected) << c.what;
}

TEST(NumericKey, OrderOfKeys)
{
    const KeyComparator cmp('N', 12, nullptr, false);
    // Ascending; 19-digit integers differ only in their last digits.
    const std::vector<std::vector<uint8_t>> ordered = {
        doubleKey(-1e10),          doubleKey(-120.5),        intKey(-120),
        doubleKey(-0.05),          intKey(0),                doubleKey(0.05),
        doubleKey(0.5),            intKey(1),                doubleKey(1937.08),
        intKey(1234567890123456788LL), intKey(1234567890123456789LL), intKey(9000000000000000000LL),
    };
    for (size_t i = 0; i < ordered.size(); ++i) {
        for (size_t j = 0; j < ordered.size(); ++j) {
            const int expected = i < j ? -1 : (i > j ? 1 : 0);
            EXPECT_EQ(cmp.compare(ordered[i].data(), ordered[j].data()), expected) << i << " vs " << j;
            std::vector<uint8_t> a(12), b(12);
            cmp.sortForm(ordered[i].data(), a.data());
            cmp.sortForm(ordered[j].data(), b.data());
            const int byForm = std::memcmp(a.data(), b.data(), 12);
            EXPECT_EQ(byForm < 0 ? -1 : (byForm > 0 ? 1 : 0), expected) << "sort form " << i << " vs " << j;
        }
    }
    const KeyComparator descending('N', 12, nullptr, true);
    EXPECT_GT(descending.compare(intKey(1).data(), intKey(2).data()), 0);
}

TEST(DateKey, JulianDayAndEmptyDate)
{
    uint8_t key[8];
    double value;
    dateKey(1.0, false, key);   // 31 December 1899
    std::memcpy(&value, key, 8);
    EXPECT_EQ(value, 2415020.0);
    dateKey(0.0, false, key);   // the value 0 is an empty date
    std::memcpy(&value, key, 8);
    EXPECT_EQ(value, 1e100);
    dateKey(45000.0, true, key);
    std::memcpy(&value, key, 8);
    EXPECT_EQ(value, 1e100);
    dateKey(45000.0, false, key);
    EXPECT_EQ(keyText('D', key, 8), "20230315");
    const KeyComparator cmp('D', 8, nullptr, false);
    uint8_t empty[8];
    dateKey(0, true, empty);
    EXPECT_LT(cmp.compare(key, empty), 0) << "an empty date sorts last";
}

TEST(CharacterKey, PaddedCutAndCollated)
{
    uint8_t key[6];
    characterKey("abc", 3, 6, key);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(key), 6), "abc   ");
    characterKey("abcdefgh", 8, 6, key);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(key), 6), "abcdef");
    EXPECT_EQ(keyText('C', reinterpret_cast<const uint8_t*>("ab  \0 "), 6), "ab");

    const KeyComparator binary('C', 3, nullptr, false);
    EXPECT_EQ(binary.compare(reinterpret_cast<const uint8_t*>("a\0 "), reinterpret_cast<const uint8_t*>("a  ")), 0)
        << "a zero byte compares as a space";
    EXPECT_LT(binary.compare(reinterpret_cast<const uint8_t*>("B  "), reinterpret_cast<const uint8_t*>("a  ")), 0);
    // Czech 852: "č" (0x9F) between "c" and "d"; FoxPro 1250: case folded.
    const KeyComparator czech('C', 1, collationWeights(0x1F), false);
    const uint8_t c = 'c', cz = 0x9F, d = 'd';
    EXPECT_LT(czech.compare(&c, &cz), 0);
    EXPECT_LT(czech.compare(&cz, &d), 0);
    const KeyComparator fox('C', 1, collationWeights(0x9B), false);
    const uint8_t A = 'A', a = 'a';
    EXPECT_EQ(fox.compare(&A, &a), 0);
}

TEST(NumericKey, TextForMessages)
{
    EXPECT_EQ(keyText('N', intKey(120).data(), 12), "120");
    EXPECT_EQ(keyText('N', doubleKey(-1937.08).data(), 12), "-1937.08");
    EXPECT_EQ(keyText('N', doubleKey(0.05).data(), 12), "0.05");
    EXPECT_EQ(keyText('N', intKey(0).data(), 12), "0");
}

} // namespace
} // namespace karto::mdx
