#pragma once
// A new, empty table written from a list of field definitions: the DBF file
// (header, field descriptors, terminator; no records and no end mark) and,
// when a field keeps its value in a memo file, a .dbt of one header block.
//
// How to use it
// -------------
//     FieldDefs defs(xBaseIV);
//     FieldDef& name = defs.addFieldDef();
//     name.setFieldName("NAZEV");
//     name.setNativeFieldType('C');
//     name.setSize(30);
//     ...
//     NewTableOptions options;
//     options.tableLevel = 4;
//     options.languageId = 0x64;           // Latin 2 (852)
//     createTable("/data/CENIK.dbf", defs, options);
//
//  - Everything is checked before any file is touched (checkNewTable): at
//    least one field, names of letters, digits and underscores starting with
//    a letter and unique once cut to the 10 characters a descriptor holds, a
//    type letter the level knows, sizes within the letter's range, record
//    and header lengths within 16 bits.
//  - The files are written under temporary names beside the target and get
//    their real names only when complete (the memo file first, then the
//    table). A table or memo file of that name that already exists is never
//    replaced: TableExistsError, and nothing is changed. On any failure the
//    temporary files are removed and no file of the new table is left.
//  - Levels 3, 4 and 5 (the 32-byte header formats): byte 0 is 0x03, or with
//    a memo field 0x83 at level 3 and 0x8B above; byte 29 is the language
//    id (0 at level 3); bytes 1-3 today's date.

#include <cstdint>
#include <string>
#include <vector>

#include "dbf/Error.h"
#include "dbf/field/FieldDef.h"

namespace karto {

// A table of that name (or its memo file) is already there.
class TableExistsError : public TableError {
public:
    using TableError::TableError;
};

struct NewTableOptions {
    int tableLevel = 4;
    uint8_t languageId = 0;
    // Block size of the memo file: a multiple of 64 from 64 to 32768.
    int memoBlockSize = 512;
};

// The date written into a new header.
struct HeaderDate {
    int year = 2000;   // full year, 1900-2155
    int month = 1;
    int day = 1;
    static HeaderDate today();
};

// Throws TableError naming what is wrong with the structure; nothing when
// it can be created.
void checkNewTable(const FieldDefs& defs, const NewTableOptions& options);

// Whether a field keeps its value in the memo file ("M", "B", "G").
bool newTableHasMemo(const FieldDefs& defs);

// The bytes of the new table file (checked first): header, descriptors with
// the names upper-cased and cut to 10 characters, terminator 0x0D.
std::vector<uint8_t> newTableBytes(const FieldDefs& defs, const NewTableOptions& options, HeaderDate date);

// The header block of a new .dbt: first free block 1, block size at offset 20.
std::vector<uint8_t> newMemoFileBytes(int blockSize);

// The memo file a new table at tablePath gets: the table's name with ".dbt"
// (".DBT" when the table's extension is in capitals).
std::string newMemoFilePath(const std::string& tablePath);

// Checks, then writes the table (and its memo file) as described above.
void createTable(const std::string& tablePath, const FieldDefs& defs, const NewTableOptions& options);

} // namespace karto
