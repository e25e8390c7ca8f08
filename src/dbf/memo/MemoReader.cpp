#include "dbf/memo/MemoReader.h"

#include "dbf/memo/MemoFile.h"
#include "dbf/table/TableFile.h"

namespace karto {

MemoReader::MemoReader() = default;
MemoReader::~MemoReader() = default;

void MemoReader::open(const TableFile& table)
{
    close();
    if (!table.hasMemoFields())
        return;
    const XBaseVersion version = table.dbfVersion();
    std::unique_ptr<MemoFile> file;
    if (!table.memoFilePresent())
        file = std::make_unique<NullMemoFile>(version);   // every value reads empty
    else if (version == xFoxPro)
        file = std::make_unique<FoxProMemoFile>(version);
    else
        file = std::make_unique<DbaseMemoFile>(version);
    file->setFileName(table.memoFileName());
    file->setMode(table.mode());
    if (table.header())
        file->setTableVersionByte(table.header()[0]);
    file->open();
    file_ = std::move(file);
}

void MemoReader::close()
{
    if (file_) {
        std::unique_ptr<MemoFile> file = std::move(file_);
        file->close();
    }
}

bool MemoReader::isOpen() const { return file_ != nullptr; }

MemoFile* MemoReader::file() { return file_.get(); }

std::string MemoReader::read(const FieldDef& def, const RecordFormat& format,
                             std::span<const uint8_t> record) const
{
    // A varbinary value lies in the record itself.
    if (def.nativeFieldType() == 'Q')
        return std::string(varBinaryBytes(def, format, record));
    if (!file_)
        return {};
    int32_t blockNo = 0;
    if (!getFieldData(def, format, record, def.fieldType(), &blockNo) || blockNo <= 0)
        return {};
    std::vector<uint8_t> bytes;
    file_->readMemo(blockNo, bytes);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace karto
