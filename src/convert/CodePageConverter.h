#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "dbf/Error.h"
#include "dbf/text/TranslateHook.h"

namespace karto {

// Numbers of the code pages the conversion table knows; each is both a source
// the table can be filled for and a column (target) of the table.
enum CodePageNumber : int {
    cpLatin2 = 0,      // code page 852
    cpKamenicky = 1,   // code page 895
    cpAscii = 2,       // 7 bits, letters without diacritics
    cpWindows1250 = 3,
    cpIso88592 = 4,
};

// Raised when the table is asked to take ASCII as its source.
class ConversionError : public KartoError {
public:
    using KartoError::KartoError;
};

// The Czech conversion table and the user's code page choice.
//
// The table converts the upper half (0x80-0xFF) of 8-bit text: for each byte it
// holds the byte the character becomes in each of the five code pages. Filled
// for Windows 1250 at construction, every column holds the conversion from
// Windows 1250; choosing Latin 2 or Kamenický replaces only column 3 (towards
// Windows 1250) with the conversion from that code page.
//
// As the table dataset's translate hook it turns every text value read from
// the table into Windows 1250 through column 3, and every value written into
// the table back into the chosen code page, so that a value read and written
// back unchanged keeps its bytes wherever the table allows it. Towards the
// file a character goes to its own byte in the chosen code page when it has
// one (the engine's code page conversion knows them), and through column 0
// (Latin 2) or column 1 (Kamenický) otherwise; for the Czech letters both are
// the same. With Windows 1250 chosen, text passes unchanged both ways.
//
// One object for the whole run, owned by the main window; not thread-safe
// (used from the user-interface thread only).
class CodePageConverter final : public TranslateHook {
public:
    static constexpr int kColumns = 5;

    CodePageConverter();

    // Refills the table for the given source code page number (taken modulo
    // 128; negative numbers and numbers from 5 up change nothing). ASCII (2)
    // raises ConversionError "Nelze inicializovat se strankou ASCII" and keeps
    // the table as it was.
    void initConversionTable(int source);

    // The user's choice: cpLatin2, cpKamenicky or cpWindows1250. Fills the
    // table for it and remembers it for the translate hook. Any other number
    // raises ConversionError.
    void chooseCodePage(int codePage);
    int chosenCodePage() const { return chosen_; }

    // Maps the position in the code page box (0 "Latin 2", 1 "Kamenických",
    // 2 "Windows 1250") to its code page number; -1 for other positions.
    static int codePageForChoice(int boxIndex);
    // The inverse: cpLatin2 -> 0, cpKamenicky -> 1, cpWindows1250 -> 2, else -1.
    static int choiceForCodePage(int codePage);

    // The Windows 1250 byte a byte of text in cpLatin2, cpKamenicky or
    // cpWindows1250 reads as: what the table gives it once that code page is
    // chosen. Bytes below 0x80, and any byte of another code page, stay.
    static uint8_t windows1250ByteOf(int codePage, uint8_t byte);

    // The byte that `byte` becomes in the target column. Bytes below 0x80 stay.
    // A target outside 0-4 (after modulo 128) leaves the byte as it is.
    uint8_t convertByte(uint8_t byte, int target) const {
        const uint8_t* column = columnFor(target);
        return column ? column[byte] : byte;
    }

    // Converts a NUL-terminated text in place through the target column; stops
    // at the first zero byte, keeps the length.
    void convertText(uint8_t* text, int target) const;
    void convertText(char* text, int target) const {
        convertText(reinterpret_cast<uint8_t*>(text), target);
    }
    // Converts exactly `length` bytes in place (zero bytes included).
    void convertBytes(uint8_t* data, std::size_t length, int target) const;
    void convertBytes(std::string& text, int target) const {
        convertBytes(reinterpret_cast<uint8_t*>(text.data()), text.size(), target);
    }

    // The translate hook (the main window's DbfTranslate). Reading (toOem
    // false): from the chosen code page to Windows 1250 through column 3.
    // Writing (toOem true): from Windows 1250 to the chosen code page. Converts
    // src in place; when dst is another buffer, src is first copied into it
    // (terminator included; dst must be large enough) and dst is converted.
    // Returns -1 (the text keeps its length); 0 when a buffer is missing.
    int translate(uint8_t* src, uint8_t* dst, bool toOem) override;
    // Column 3 (towards Windows 1250), or identity with Windows 1250 chosen.
    const uint8_t* readingByteMap(uint64_t& version) const override;

    // Length-aware forms of the hook for callers that know the length.
    void toWindows1250(uint8_t* data, std::size_t length) const;
    void fromWindows1250(uint8_t* data, std::size_t length) const;

private:
    const uint8_t* columnFor(int target) const {
        if (target < 0)
            return nullptr;
        target %= 128;
        return target < kColumns ? columns_[target].data() : nullptr;
    }
    // Map used towards the file for the chosen code page; nullptr: unchanged.
    const uint8_t* towardsFileColumn() const;
    void buildTowardsFile();

    // columns_[t][b]: what byte b becomes in code page t; identity below 0x80.
    std::array<std::array<uint8_t, 256>, kColumns> columns_{};
    // Windows 1250 -> chosen code page, for text written into the table.
    std::array<uint8_t, 256> towardsFile_{};
    int chosen_ = cpWindows1250;
    uint64_t version_ = 1;   // counts the changes of the table and the choice
    std::array<uint8_t, 256> identity_{};
};

} // namespace karto
