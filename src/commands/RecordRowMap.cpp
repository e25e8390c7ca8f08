#include "commands/RecordRowMap.h"

#include <algorithm>

namespace karto {

void RecordRowMap::resetIdentity(int recordCount)
{
    identity_ = true;
    recordCount_ = std::max(recordCount, 0);
    nextRecord_ = int64_t{recordCount_} + 1;
    rows_.clear();
    rows_.shrink_to_fit();
}

void RecordRowMap::resetScan(int recordCount)
{
    identity_ = false;
    recordCount_ = std::max(recordCount, 0);
    nextRecord_ = 1;
    rows_.clear();
}

int RecordRowMap::recordOfRow(int row) const
{
    if (row < 0 || row >= rowCount())
        return 0;
    return identity_ ? row + 1 : rows_[static_cast<size_t>(row)];
}

int RecordRowMap::rowOfRecord(int recNo) const
{
    if (identity_)
        return (recNo >= 1 && recNo <= recordCount_) ? recNo - 1 : (recNo < 1 && recordCount_ > 0 ? 0 : -1);
    const auto it = std::lower_bound(rows_.begin(), rows_.end(), recNo);
    if (it == rows_.end())
        return -1;
    return static_cast<int>(it - rows_.begin());
}

int RecordRowMap::appendRecord(int recNo, bool visible)
{
    if (recNo <= recordCount_)
        return -1;
    if (identity_) {
        recordCount_ = recNo;
        nextRecord_ = int64_t{recNo} + 1;
        return recNo - 1;
    }
    const bool scannedToTheEnd = nextRecord_ > recordCount_;
    recordCount_ = recNo;
    if (!scannedToTheEnd || nextRecord_ != recNo)
        return -1;   // records before it are still to be looked at
    nextRecord_ = int64_t{recNo} + 1;
    if (!visible)
        return -1;
    rows_.push_back(recNo);
    return static_cast<int>(rows_.size()) - 1;
}

int RecordRowMap::removeRecord(int recNo)
{
    if (identity_)
        return -1;
    const auto it = std::lower_bound(rows_.begin(), rows_.end(), recNo);
    if (it == rows_.end() || *it != recNo)
        return -1;
    const int row = static_cast<int>(it - rows_.begin());
    rows_.erase(it);
    return row;
}

int RecordRowMap::scan(const std::function<bool(int recNo)>& visible, int maxRecords)
{
    if (identity_)
        return 0;
    const size_t before = rows_.size();
    const int64_t last = std::min<int64_t>(recordCount_, nextRecord_ + std::max(maxRecords, 1) - 1);
    for (int64_t recNo = nextRecord_; recNo <= last; ++recNo) {
        if (visible(static_cast<int>(recNo)))
            rows_.push_back(static_cast<int32_t>(recNo));
    }
    nextRecord_ = last + 1;
    return static_cast<int>(rows_.size() - before);
}

} // namespace karto
