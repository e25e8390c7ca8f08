#include "export/xlsx/XLSXSharedStrings.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace karto;

TEST(XLSXSharedStrings, DistinctTextsInOrderOfFirstUse)
{
    // Texts that differ in one byte anywhere, in length only, by a NUL byte;
    // enough of them for the table to grow many times.
    std::vector<std::string> texts = {"", std::string(1, '\0'), std::string(2, '\0'), "a", "aa", "Šroub M6"};
    for (int length = 1; length <= 24; ++length)
        for (int at = 0; at < length; ++at) {
            std::string text(static_cast<std::size_t>(length), 'x');
            text[static_cast<std::size_t>(at)] = 'y';
            texts.push_back(text);
        }
    for (int i = 0; i < 150000; ++i)
        texts.push_back("Poznámka č. " + std::to_string(i));
    texts.push_back(std::string(3 << 20, 'z'));  // longer than a storage block

    XLSXSharedStrings strings;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(strings.add(texts[i]), i) << i;
        if (i % 3 == 0) {  // an early text again: its first index
            ASSERT_EQ(strings.add(texts[i / 2]), i / 2) << i;
        }
    }
    ASSERT_EQ(strings.count(), texts.size());
    for (std::size_t i = texts.size(); i-- > 0;) {
        ASSERT_EQ(strings.add(std::string(texts[i])), i);
        ASSERT_EQ(strings.text(static_cast<uint32_t>(i)), texts[i]);
    }
    EXPECT_EQ(strings.count(), texts.size());
}
