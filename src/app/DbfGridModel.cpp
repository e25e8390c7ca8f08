#include "app/DbfGridModel.h"

#include <algorithm>

#include <QBrush>
#include <QColor>

#include "app/FieldValueText.h"
#include "dbf/Error.h"
#include "dbf/table/TableDataset.h"

namespace karto {

namespace {

// Time the first scan may take before the grid is shown, and the length of
// one later slice; enough for a screen of rows in all but pathological tables.
constexpr qint64 firstScanMs = 40;
constexpr qint64 sliceMs = 15;
// Records between two looks at the clock.
constexpr int scanStep = 256;

bool sameName(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
        return upper(x) == upper(y);
    });
}

bool isNumeric(FieldType type)
{
    switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftFloat: case ftCurrency:
    case ftBCD: case ftAutoInc: case ftLargeint:
        return true;
    default:
        return false;
    }
}

} // namespace

DbfGridModel::DbfGridModel(TableDataset& dbf, QObject* parent)
    : QAbstractTableModel(parent), dbf_(dbf), cache_(cacheSize)
{
    scanTimer_.setSingleShot(true);
    scanTimer_.setInterval(0);
    connect(&scanTimer_, &QTimer::timeout, this, &DbfGridModel::scanSlice);
}

void DbfGridModel::reload(bool keepRows)
{
    scanTimer_.stop();
    beginResetModel();
    for (CachedRecord& c : cache_)
        c.recNo = 0;
    newRow_ = -1;
    buildColumns();
    if (keepRows && dbf_.active() && map_.recordCount() == dbf_.recordCount() &&
        rowsShowDeleted_ == dbf_.showDeleted() && rowsFiltered_ == dbf_.filtered()) {
        endResetModel();
        if (!map_.complete())
            scanTimer_.start();
        return;
    }
    rowsShowDeleted_ = dbf_.active() && dbf_.showDeleted();
    rowsFiltered_ = dbf_.active() && dbf_.filtered();
    if (!dbf_.active()) {
        map_.resetIdentity(0);
    } else {
        const int count = dbf_.recordCount();
        if (dbf_.showDeleted() && !dbf_.filtered())
            map_.resetIdentity(count);
        else
            map_.resetScan(count);
    }
    if (!map_.complete())
        scanFor(firstScanMs, 256);
    endResetModel();
    if (!map_.complete())
        scanTimer_.start();
}

void DbfGridModel::buildColumns()
{
    columns_.clear();
    // A closed table keeps the choice for the next one.
    if (!dbf_.active())
        return;
    std::vector<int> every;
    for (int i = 0; i < dbf_.fieldCount(); ++i) {
        if (dbf_.field(i).visible())
            every.push_back(i);
    }
    if (!chosen_.empty()) {
        std::vector<std::string> kept;
        for (int f : every) {
            const std::string& name = dbf_.field(f).fieldName();
            auto isName = [&name](const std::string& chosen) { return sameName(chosen, name); };
            if (std::any_of(chosen_.begin(), chosen_.end(), isName)) {
                columns_.push_back(f);
                kept.push_back(name);
            }
        }
        chosen_ = std::move(kept);
        if (columns_.empty() || columns_.size() == every.size())
            chosen_.clear();
    }
    if (chosen_.empty())
        columns_ = std::move(every);
}

void DbfGridModel::setColumns(const std::vector<int>& fields)
{
    chosen_.clear();
    if (dbf_.active()) {
        for (int i = 0; i < dbf_.fieldCount(); ++i) {
            if (dbf_.field(i).visible() && std::find(fields.begin(), fields.end(), i) != fields.end())
                chosen_.push_back(dbf_.field(i).fieldName());
        }
    }
    // The rows stay; only the columns change.
    beginResetModel();
    buildColumns();
    endResetModel();
}

void DbfGridModel::setTintedColumn(int column, const QColor& tint)
{
    const int before = tintedColumn_;
    tintedColumn_ = column;
    tint_ = tint;
    if (rowCount() == 0)
        return;
    for (int c : {before, column}) {
        if (c >= 0 && c < columnCount())
            emit dataChanged(index(0, c), index(rowCount() - 1, c), {Qt::BackgroundRole});
    }
}

void DbfGridModel::refreshCells()
{
    for (CachedRecord& c : cache_)
        c.recNo = 0;
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    emit headerDataChanged(Qt::Horizontal, 0, std::max(columnCount() - 1, 0));
}

void DbfGridModel::scanFor(qint64 milliseconds, int minRows)
{
    QElapsedTimer clock;
    clock.start();
    auto visible = [this](int recNo) {
        return dbf_.readRecord(recNo, scanBuffer_) && dbf_.isVisible(scanBuffer_.data(), recNo);
    };
    while (!map_.complete()) {
        map_.scan(visible, scanStep);
        if (minRows >= 0 && map_.rowCount() >= minRows)
            break;
        if (milliseconds >= 0 && clock.elapsed() >= milliseconds)
            break;
    }
}

void DbfGridModel::scanSlice()
{
    if (map_.complete() || !dbf_.active())
        return;
    const int before = map_.rowCount();
    // Rows are appended only; existing rows keep their numbers.
    scanFor(sliceMs);
    announceRows(before);
    if (!map_.complete())
        scanTimer_.start();
    emit scanProgressed(map_.complete());
}

void DbfGridModel::announceRows(int before)
{
    const int after = map_.rowCount();
    if (after > before) {
        beginInsertRows(QModelIndex(), viewRow(before), viewRow(after - 1));
        endInsertRows();
    }
}

int DbfGridModel::rowOfRecord(int recNo)
{
    int row = map_.rowOfRecord(recNo);
    while (row < 0 && !map_.complete()) {
        const int before = map_.rowCount();
        scanFor(sliceMs);
        announceRows(before);
        row = map_.rowOfRecord(recNo);
    }
    if (row < 0)
        row = map_.rowCount() - 1;   // nothing after it: the last visible record
    return row < 0 ? row : viewRow(row);
}

bool DbfGridModel::ensureRow(int row)
{
    const int wanted = mapRow(row);
    while (wanted >= map_.rowCount() && !map_.complete()) {
        const int before = map_.rowCount();
        scanFor(sliceMs, wanted + 1);
        announceRows(before);
    }
    if (map_.complete())
        scanTimer_.stop();
    return row >= 0 && row < rowCount();
}

void DbfGridModel::finishScan()
{
    if (map_.complete())
        return;
    const int before = map_.rowCount();
    scanFor(-1);
    scanTimer_.stop();
    announceRows(before);
    emit scanProgressed(true);
}

int DbfGridModel::recordOfRow(int row) const
{
    if (row == newRow_)
        return 0;
    return map_.recordOfRow(mapRow(row));
}

// --- editing ------------------------------------------------------------------

int DbfGridModel::editingRow() const
{
    if (!dbf_.active())
        return -1;
    if (dbf_.state() == dsInsert)
        return newRow_;
    if (dbf_.state() != dsEdit)
        return -1;
    const int row = map_.rowOfRecord(dbf_.recNo());
    return row >= 0 && map_.recordOfRow(row) == dbf_.recNo() ? viewRow(row) : -1;
}

void DbfGridModel::showNewRecord(int row)
{
    if (newRow_ >= 0)
        newRecordEnded(0);
    row = std::clamp(row, 0, rowCount());
    beginInsertRows(QModelIndex(), row, row);
    newRow_ = row;
    endInsertRows();
}

void DbfGridModel::newRecordEnded(int recNo)
{
    if (newRow_ >= 0) {
        beginRemoveRows(QModelIndex(), newRow_, newRow_);
        newRow_ = -1;
        endRemoveRows();
    }
    if (recNo > 0)
        recordAppended(recNo);
}

void DbfGridModel::recordAppended(int recNo)
{
    if (!dbf_.active())
        return;
    forgetRecord(recNo);
    const bool visible = dbf_.readRecord(recNo, scanBuffer_) && dbf_.isVisible(scanBuffer_.data(), recNo);
    const int before = map_.rowCount();
    map_.appendRecord(recNo, visible);
    announceRows(before);
    if (!map_.complete() && !scanTimer_.isActive())
        scanTimer_.start();
}

void DbfGridModel::forgetRecord(int recNo)
{
    CachedRecord& slot = cache_[static_cast<size_t>(std::max(recNo, 0)) % cacheSize];
    if (slot.recNo == recNo)
        slot.recNo = 0;
}

void DbfGridModel::emitRowChanged(int row)
{
    if (row >= 0 && row < rowCount() && columnCount() > 0)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void DbfGridModel::recordWritten(int recNo)
{
    if (!dbf_.active() || recNo <= 0)
        return;
    forgetRecord(recNo);
    const bool visible = dbf_.readRecord(recNo, scanBuffer_) && dbf_.isVisible(scanBuffer_.data(), recNo);
    const int at = map_.rowOfRecord(recNo);
    const bool hasRow = at >= 0 && map_.recordOfRow(at) == recNo;
    if (!visible && hasRow && !map_.identity()) {
        const int row = viewRow(at);
        beginRemoveRows(QModelIndex(), row, row);
        if (newRow_ > row)
            --newRow_;
        map_.removeRecord(recNo);
        endRemoveRows();
        return;
    }
    if (hasRow)
        emitRowChanged(viewRow(at));
}

Qt::ItemFlags DbfGridModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!index.isValid() || !dbf_.active() || dbf_.readOnly())
        return f;
    const int field = fieldOfColumn(index.column());
    if (field < 0)
        return f;
    const Field& def = dbf_.field(field);
    if (def.readOnly() || def.dataType() == ftBytes || (def.isBlob() && def.dataType() != ftMemo))
        return f;
    // A memo of several lines is not edited in a one-line cell.
    if (def.dataType() == ftMemo && data(index, Qt::DisplayRole).toString().contains(QLatin1Char('\n')))
        return f;
    return f | Qt::ItemIsEditable;
}

bool DbfGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int field = fieldOfColumn(index.column());
    const int row = index.row();
    const QString text = value.toString();
    if (text == data(index, Qt::DisplayRole).toString())
        return true;   // nothing changed
    try {
        if (row == newRow_) {
            if (dbf_.state() != dsInsert)
                return false;
        } else {
            const int recNo = recordOfRow(row);
            if (recNo <= 0)
                return false;
            if (dbf_.state() == dsEdit && dbf_.recNo() != recNo)
                return false;   // another record is in editing
            if (dbf_.state() == dsBrowse) {
                if (dbf_.recNo() != recNo)
                    dbf_.setRecNo(recNo);
                dbf_.edit();
            }
        }
        dbf_.field(field).setAsString(text.toStdString());
    } catch (const FieldValueError& e) {
        emit editRefused(index, fieldValueMessage(e, dbf_.field(field)));
        return false;
    } catch (const std::exception& e) {
        emit editRefused(index, QString::fromUtf8(e.what()));
        return false;
    }
    emitRowChanged(row);
    return true;
}

int DbfGridModel::fieldOfColumn(int column) const
{
    return (column >= 0 && column < static_cast<int>(columns_.size())) ? columns_[column] : -1;
}

int DbfGridModel::columnOfField(int field) const
{
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i] == field)
            return static_cast<int>(i);
    }
    return -1;
}

int DbfGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : map_.rowCount() + (newRow_ >= 0 ? 1 : 0);
}

int DbfGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

const uint8_t* DbfGridModel::record(int recNo) const
{
    if (recNo <= 0)
        return nullptr;
    CachedRecord& slot = cache_[static_cast<size_t>(recNo) % cacheSize];
    if (slot.recNo != recNo) {
        slot.recNo = 0;
        try {
            if (!dbf_.readRecord(recNo, slot.bytes))
                return nullptr;
        } catch (const std::exception&) {
            return nullptr;   // the file failed under us: the row shows empty
        }
        slot.recNo = recNo;
    }
    return slot.bytes.data();
}

QVariant DbfGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !dbf_.active())
        return {};
    const int field = fieldOfColumn(index.column());
    if (field < 0)
        return {};
    // The record in editing shows the dataset's buffer.
    const bool editing = isEditingState(dbf_.state()) && index.row() == editingRow();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        if (editing) {
            try {
                return QString::fromStdString(dbf_.field(field).asString());
            } catch (const std::exception&) {
                return {};
            }
        }
        const uint8_t* rec = record(recordOfRow(index.row()));
        if (!rec)
            return {};
        text_.clear();
        try {
            dbf_.appendFieldText(text_, field, rec);
        } catch (const std::exception&) {
            return {};   // a value that cannot be read (a damaged date-time, memo) shows empty
        }
        return QString::fromUtf8(text_.data(), static_cast<qsizetype>(text_.size()));
    }
    case DeletedRole: {
        if (editing)
            return dbf_.isDeleted();
        const uint8_t* rec = record(recordOfRow(index.row()));
        return TableDataset::isDeleted(rec);
    }
    case Qt::BackgroundRole:
        if (index.column() == tintedColumn_ && tint_.isValid())
            return QBrush(tint_);
        return {};
    case Qt::TextAlignmentRole:
        if (isNumeric(dbf_.field(field).dataType()))
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant DbfGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    const int field = fieldOfColumn(section);
    if (field < 0 || !dbf_.active())
        return {};
    return QString::fromStdString(dbf_.field(field).fieldName());
}

} // namespace karto
