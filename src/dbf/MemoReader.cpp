#include "dbf/MemoReader.h"

#include "dbf/TableFile.h"

namespace karto {

class MemoFile {};

MemoReader::MemoReader() = default;
MemoReader::~MemoReader() = default;

void MemoReader::open(const TableFile&) {}
void MemoReader::close() { file_.reset(); }
bool MemoReader::isOpen() const { return file_ != nullptr; }

std::string MemoReader::read(const FieldDef&, const RecordFormat&, std::span<const uint8_t>) const
{
    return {};
}

} // namespace karto
