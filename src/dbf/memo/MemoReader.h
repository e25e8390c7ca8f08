#pragma once
// The dataset's access to the memo file of its table: the raw bytes of a
// memo field's value, read by the block number the record holds. The memo
// file is opened in the table's mode, so a writable table can also write
// values through file().

#include <memory>
#include <span>
#include <string>

#include "dbf/field/FieldDef.h"
#include "dbf/field/FieldDecode.h"
#include "dbf/field/RecordFormat.h"

namespace karto {

class TableFile;
class MemoFile;

class MemoReader {
public:
    MemoReader();
    ~MemoReader();
    MemoReader(const MemoReader&) = delete;
    MemoReader& operator=(const MemoReader&) = delete;

    // Opens the table's memo file when it has memo fields and the file exists.
    void open(const TableFile& table);
    void close();
    bool isOpen() const;
    // The open memo file (nullptr when the table has no memo fields); the
    // dataset writes memo values through it at post time.
    MemoFile* file();

    // The value's bytes, untranslated; empty when the field has none, the
    // memo file is missing, or the pointer leads nowhere. A Visual FoxPro
    // varbinary field ("Q"), read like a binary memo, gives the bytes it
    // holds in the record (varBinaryBytes, FieldDecode.h).
    std::string read(const FieldDef& def, const RecordFormat& format,
                     std::span<const uint8_t> record) const;

private:
    std::unique_ptr<MemoFile> file_;
};

} // namespace karto
