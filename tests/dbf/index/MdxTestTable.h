#pragma once
// A small table with a production index for the index tests: the table
// written by DbfBuilder, the index created by the engine, records built
// from field values, and the table opened in any mode.
#include <string>
#include <vector>

#include "dbf/index/IndexFile.h"
#include "dbf/table/TableFile.h"
#include "support/DbfBuilder.h"
#include "support/MdxCheck.h"
#include "dbf/text/Collation.h"

namespace karto::test {

class MdxTestTable {
public:
    explicit MdxTestTable(std::vector<FieldSpec> fields, uint8_t languageId = 0x1F, uint8_t version = 0x03)
        : fields_(std::move(fields)), languageId_(languageId), version_(version)
    {
    }

    // Writes the table with these records and creates its index.
    void make(const std::vector<ValueRecord>& records, const std::vector<IndexTagDefinition>& tags,
              const std::string& driverName = "")
    {
        DbfSpec spec;
        spec.version = version_;
        spec.languageId = languageId_;
        spec.driverName = driverName;
        spec.fields = fields_;
        for (const ValueRecord& r : records)
            spec.records.push_back(recordBytes(fields_, r));
        path_ = dir_.write("t.dbf", buildDbf(spec));
        TableFile t;
        t.setFileName(path_);
        t.setMode(pfExclusiveOpen);
        t.open();
        IndexFile index(t);
        index.setFileName(mdxPath());
        index.create(tags);
        t.close();
    }

    std::string record(const std::vector<std::string>& values, bool deleted = false) const
    {
        return recordBytes(fields_, {values, deleted});
    }

    void open(TableFile& t, PagedFileMode mode = pfReadWriteOpen) const
    {
        t.setFileName(path_);
        t.setMode(mode);
        t.open();
    }

    // Appends through the table file; returns the record number.
    int32_t append(TableFile& t, const std::vector<std::string>& values) const
    {
        std::string r = record(values);
        return t.insert(reinterpret_cast<uint8_t*>(r.data()));
    }

    // Changes a record: locked, the values set, written.
    void edit(TableFile& t, int32_t recNo, const std::vector<std::string>& values) const
    {
        std::vector<uint8_t> buffer(static_cast<size_t>(t.recordSize()));
        t.lockRecord(recNo, buffer.data());
        const std::string r = record(values, buffer[0] == '*');
        try {
            t.unlockRecord(recNo, reinterpret_cast<const uint8_t*>(r.data()));
        } catch (...) {
            t.releaseRecordLock(recNo);
            throw;
        }
    }

    ::testing::AssertionResult checked() const { return mdxTreeIsValid(path_, collationWeights(languageId_)); }

    const std::string& path() const { return path_; }
    std::string mdxPath() const { return dir_.file("t.mdx"); }
    std::vector<uint8_t> mdxBytes() const { return TempDir::read(mdxPath()); }
    std::vector<uint8_t> tableBytes() const { return TempDir::read(path_); }
    void writeMdx(const std::vector<uint8_t>& bytes) const { dir_.write("t.mdx", bytes); }
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    std::vector<FieldSpec> fields_;
    uint8_t languageId_;
    uint8_t version_;
    std::string path_;
};

} // namespace karto::test
