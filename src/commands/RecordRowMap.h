#pragma once
// Rows of the grid and the physical records they show.
//
// With every record visible the map is the identity (row r shows record
// r + 1) and costs nothing, whatever the size of the table. When records are
// hidden (deleted ones, or a filter), the visible records are found by a scan
// that asks one question per record and keeps their numbers in order; the
// scan runs in slices so that the caller can show the first rows at once and
// finish the rest while the window stays responsive.

#include <cstdint>
#include <functional>
#include <vector>

namespace karto {

class RecordRowMap {
public:
    // Every one of recordCount records is a row.
    void resetIdentity(int recordCount);
    // Rows still to be found by scan(), from record 1 to recordCount.
    void resetScan(int recordCount);

    bool identity() const { return identity_; }
    bool complete() const { return identity_ || nextRecord_ > recordCount_; }
    int recordCount() const { return recordCount_; }
    // Records looked at so far (all of them when complete).
    int scannedRecords() const { return identity_ ? recordCount_ : static_cast<int>(nextRecord_ - 1); }

    int rowCount() const { return identity_ ? recordCount_ : static_cast<int>(rows_.size()); }
    // Physical record number (1-based) of a row; 0 for a row outside the map.
    int recordOfRow(int row) const;
    // The row of a record, or of the first visible record after it when it is
    // hidden; -1 when no such row has been found (yet).
    int rowOfRecord(int recNo) const;

    // A record appended to the file: the map covers records up to recNo.
    // Returns the row it got at once (the scan had reached the end and the
    // record is visible), else -1: an identity map shows it as its last
    // row, an unfinished scan finds it in its turn.
    int appendRecord(int recNo, bool visible);
    // Takes a record that is no longer visible out of a scanned map; returns
    // the row it had, -1 when it had none (always for an identity map).
    int removeRecord(int recNo);

    // Looks at up to maxRecords further records, keeping those for which
    // visible(recNo) is true. Returns the number of rows added.
    int scan(const std::function<bool(int recNo)>& visible, int maxRecords);

private:
    bool identity_ = true;
    int recordCount_ = 0;
    int64_t nextRecord_ = 1;
    std::vector<int32_t> rows_;
};

} // namespace karto
