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
//
// The columns are every field the grid can show, in table order, unless the
// column chooser has picked some (setColumns): the choice is kept by field
// name, so it carries over to a reload and to another table.
//
// Editing (a table open writable): a cell's typed text goes into the field
// of its record through setData(), which first puts the dataset into
// editing (the record locked and read afresh). The row of the record being
// edited or inserted shows the dataset's record buffer rather than the file.
// A new record is shown as an extra row at the place it was started
// (showNewRecord) until it is posted or dropped (newRecordEnded); the rows
// after it are numbered one higher meanwhile. The window ends the editing
// and tells the model what was written (recordWritten, recordAppended).

#include <cstdint>
#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QColor>
#include <QElapsedTimer>
#include <QTimer>

#include "commands/RecordRowMap.h"

namespace karto {

class TableDataset;

class DbfGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // True for a cell whose record is marked deleted.
    static constexpr int DeletedRole = Qt::UserRole + 1;

    explicit DbfGridModel(TableDataset& dbf, QObject* parent = nullptr);

    // Rebuilds columns and rows from the dataset (after opening or closing a
    // table, or changing which records are visible). keepRows: the same
    // table was reopened (another mode): its rows are kept when its record
    // count and the rules of what is visible are as they were, so a table
    // of millions of records with hidden ones is not scanned again.
    void reload(bool keepRows = false);
    // Shows the same rows again: the record cache is dropped and every cell
    // read anew (after a code page change or a refresh).
    void refreshCells();

    // The record a row shows; 0 for the new record's row and rows outside.
    int recordOfRow(int row) const;
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

    // The column chooser's choice: the fields to show (shown in table order
    // whatever the order given); empty for the default columns. A later
    // table shows the chosen fields it has by name; names it lacks are
    // dropped from the choice. A choice of no field or of every field is the
    // default columns.
    void setColumns(const std::vector<int>& fields);
    // True while the grid shows its default columns (every field).
    bool defaultColumns() const { return chosen_.empty(); }

    // The column whose cells get the tint as background (the filter's
    // column), -1 for none; the position stays across reloads.
    void setTintedColumn(int column, const QColor& tint);
    int tintedColumn() const { return tintedColumn_; }

    // --- Editing ---------------------------------------------------------------
    // The row whose cells show the record being edited or inserted; -1 when
    // the dataset is not editing (or its record has no row).
    int editingRow() const;
    // A new record was started in the dataset (dsInsert): an empty row at row.
    void showNewRecord(int row);
    int newRecordRow() const { return newRow_; }
    // The new record's row goes: the record was appended as recNo (it joins
    // the rows as the file's last record) or dropped (0).
    void newRecordEnded(int recNo);
    // Record recNo was written (edited, marked deleted, recalled): its cells
    // read afresh, its row taken out when it is no longer visible.
    void recordWritten(int recNo);
    // A record appended to the file by other means (a duplicate) joins the rows.
    void recordAppended(int recNo);

    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The cell's text into its field (see above). Text equal to what the cell
    // shows changes nothing. A refused value or a failed edit is told by
    // editRefused() (the record keeps its values and stays in editing).
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // Rows were appended by the scan; complete when the scan has finished.
    void scanProgressed(bool complete);
    // setData() refused the text of a cell: the message says why, in Czech.
    void editRefused(const QModelIndex& index, const QString& message);

private:
    void scanSlice();
    // Scans until the deadline or until the map has minRows rows.
    void scanFor(qint64 milliseconds, int minRows = -1);
    const uint8_t* record(int recNo) const;
    // Grid rows and rows of the map differ by the new record's row.
    int viewRow(int mapRow) const { return newRow_ >= 0 && mapRow >= newRow_ ? mapRow + 1 : mapRow; }
    int mapRow(int viewRow) const { return newRow_ >= 0 && viewRow > newRow_ ? viewRow - 1 : viewRow; }
    // Rows the map gained since it had `before`, told to the views.
    void announceRows(int before);
    void forgetRecord(int recNo);
    void emitRowChanged(int row);
    // columns_ from the open table and the chosen names.
    void buildColumns();

    TableDataset& dbf_;
    RecordRowMap map_;
    std::vector<int> columns_;          // field index per column
    std::vector<std::string> chosen_;   // chosen field names; empty: every field
    int tintedColumn_ = -1;
    int newRow_ = -1;
    // What the rows were found under.
    bool rowsShowDeleted_ = false;
    bool rowsFiltered_ = false;
    QColor tint_;
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
