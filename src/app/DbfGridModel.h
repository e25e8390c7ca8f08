#pragma once
// The grid's model over the table dataset.
//
// Cells are read straight from the table file by physical record number
// (TableDataset::readRecord and appendFieldText on the raw record), so a
// table of millions of records opens and scrolls to any place at once. The
// model keeps no rows of its own beyond a small cache of raw records.
//
// With deleted records shown and no filter, row r is record r + 1. Otherwise
// the visible records are found by a scan that reads only the deletion flag
// (and the filter's field) of each record: the first rows are found at
// once, the rest in short slices on a zero-timer, appending rows as they are
// found, so that the window stays responsive meanwhile.

#include <cstdint>
#include <vector>

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QTimer>

#include "app/RecordRowMap.h"

namespace karto {

class TableDataset;

class DbfGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // True for a cell whose record is marked deleted.
    static constexpr int DeletedRole = Qt::UserRole + 1;

    explicit DbfGridModel(TableDataset& dbf, QObject* parent = nullptr);

    // Rebuilds columns and rows from the dataset (after opening or closing a
    // table, or changing which records are visible).
    void reload();
    // Shows the same rows again: the record cache is dropped and every cell
    // read anew (after a code page change or a refresh).
    void refreshCells();

    int recordOfRow(int row) const { return map_.recordOfRow(row); }
    // The row of a record (or of the first visible one after it, or of the
    // last visible one when none follows), scanning on as far as needed;
    // -1 when no record is visible.
    int rowOfRecord(int recNo);
    // Makes sure the row exists when the table has that many visible
    // records, scanning on as far as needed. Returns whether it exists.
    bool ensureRow(int row);
    bool scanComplete() const { return map_.complete(); }
    // Finishes the scan at once.
    void finishScan();
    int scannedRecords() const { return map_.scannedRecords(); }

    // The dataset field shown in a column.
    int fieldOfColumn(int column) const;
    int columnOfField(int field) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // Rows were appended by the scan; complete when the scan has finished.
    void scanProgressed(bool complete);

private:
    void scanSlice();
    // Scans until the deadline or until the map has minRows rows.
    void scanFor(qint64 milliseconds, int minRows = -1);
    const uint8_t* record(int recNo) const;

    TableDataset& dbf_;
    RecordRowMap map_;
    std::vector<int> columns_;   // field index per column
    QTimer scanTimer_;
    std::vector<uint8_t> scanBuffer_;

    // Direct-mapped cache of raw records, by physical number.
    struct CachedRecord {
        int recNo = 0;
        std::vector<uint8_t> bytes;
    };
    static constexpr int cacheSize = 512;
    mutable std::vector<CachedRecord> cache_;
    mutable std::string text_;
};

} // namespace karto
