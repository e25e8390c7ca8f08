#pragma once
// What opening found wrong with a table that opened all the same: the user
// is to be told once, on opening, since the table shows less than it holds.

#include <cstdint>
#include <string>

namespace karto {

struct OpenWarning {
    enum Kind {
        // The header states more records than the file holds whole; the
        // table shows the records the file holds (the count comes from the
        // file's size).
        RecordsMissing,
        // A field keeps its value in a memo file that is not there; memo
        // values read as empty.
        MemoFileMissing,
        // The production index cannot be kept up to date (damaged, a key
        // expression that does not parse, another collation): the table is
        // shown and exported, but not written until the index is rebuilt.
        IndexUnusable,
    };
    Kind kind = RecordsMissing;
    // RecordsMissing: the count the header states and the records the file holds.
    uint32_t headerCount = 0;
    int32_t fileCount = 0;
    // MemoFileMissing: path of the memo file the table names;
    // IndexUnusable: path of the index file.
    std::string fileName;
    // IndexUnusable: the engine's reason (English, as the engine says it).
    std::string reason;
};

} // namespace karto
