#pragma once
// The reader of the delimited text files that `karto --append` adds to a
// table: the CSV and TXT files Karto view's own exports write, read
// generously. Plain C++, no Qt.
//
// The form it reads:
//  - UTF-8, with or without a byte order mark;
//  - values separated by the delimiter (";" for CSV, a tab for TXT);
//  - a value is quoted ("...", a doubled quotation mark inside standing for
//    one, delimiters and line breaks inside kept as they are) or bare (taken
//    as it stands up to the next delimiter or line end, a quotation mark
//    inside it included);
//  - lines end in CR LF or LF (the last line may end without one);
//  - the first line names the fields; every other line is one record with
//    exactly one value per name. A completely empty line is skipped (so a
//    file of one column writes an empty value as ""). The exports end every
//    line with a delimiter when the last grid column is a memo column: a
//    header whose last name is empty is read as such a line, and a record's
//    empty value under it is dropped.
//
// The file is read in blocks, one record at a time: memory stays bounded by
// the block and the longest record, whatever the file's size. Anything else
// is refused with a CsvError whose Czech message names the line.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/Error.h"

namespace karto {

// A file that cannot be read or is not of the form above. The message is
// Czech and starts with the line ("Řádek 7: neukončené uvozovky").
class CsvError : public KartoError {
public:
    using KartoError::KartoError;
};

// One record: its values (UTF-8, one per header name, in the header's
// order) and the 1-based line of the file where it starts.
struct CsvRecord {
    std::vector<std::string> values;
    int64_t line = 0;
};

// Bounds of one reader; the defaults suit every table.
struct CsvLimits {
    std::size_t blockBytes = 64 * 1024;        // read from the file at a time
    std::size_t maxRecordBytes = 64u << 20;    // text of one record's values
    std::size_t maxColumns = 4096;             // names in the header
};

class CsvReader {
public:
    // Opens the file and reads its header line. Throws CsvError when the
    // file cannot be opened or the header is missing, has an empty name
    // (other than the trailing one described above) or names a field twice
    // (case-insensitively).
    CsvReader(const std::string& path, char delimiter, const CsvLimits& limits = {});
    ~CsvReader();
    CsvReader(const CsvReader&) = delete;
    CsvReader& operator=(const CsvReader&) = delete;

    // The field names of the header, without spaces around them.
    const std::vector<std::string>& header() const { return header_; }

    // Reads the next record into `record` (its strings are reused); false at
    // the end of the file. Throws CsvError for a quotation mark left open at
    // the end of the file, a character after a closing quotation mark other
    // than the delimiter or a line end, text that is not UTF-8, a NUL byte,
    // more or fewer values than the header has names, or a record longer
    // than the limit. After an error the reader is done with: the caller
    // reports the message and stops.
    bool next(CsvRecord& record);

private:
    bool fill(std::size_t want);
    bool readLine(std::vector<std::string>& values, std::size_t maxValues);
    void checkText(const std::string& value, int64_t line) const;
    std::string tooManyValues() const;
    [[noreturn]] void fail(int64_t line, const std::string& what) const;

    std::string path_;
    char delimiter_;
    CsvLimits limits_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0, end_ = 0;
    bool atEnd_ = false;
    int64_t line_ = 1;          // line of the next byte
    int64_t recordLine_ = 1;    // line where the record being read starts
    bool emptyLine_ = false;    // the line just read held no character at all
    bool trailingColumn_ = false;  // the header line ended with a delimiter
    bool headerRead_ = false;
    std::vector<std::string> header_;
};

// The delimiter for a file name: a tab when the name ends in ".txt" (in any
// case), otherwise ";".
char csvDelimiterFor(std::string_view fileName);

// For each header name, the index of the table field it names (compared
// without regard to case, Czech letters included). Throws CsvError
// "Řádek 1: neznámé pole \"X\"" for a name the table lacks.
std::vector<int> mapCsvColumns(const std::vector<std::string>& header, const std::vector<std::string>& fieldNames);

} // namespace karto
