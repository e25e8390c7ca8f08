#include "structure/FNewStru.h"

#include <algorithm>

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace karto {

namespace {

QString u(const char* text) { return QString::fromUtf8(text); }

bool isLetterAZ(QChar c) { return c >= QLatin1Char('A') && c <= QLatin1Char('Z'); }

// A whole number within [low, high]: out of range the nearer end, a text
// that is no whole number the default (itself kept within the range).
int wholeNumberIn(const QString& text, int low, int high, int fallback)
{
    bool ok = false;
    const QString t = text.trimmed();
    const int value = t.toInt(&ok);
    const bool digitsOnly = !t.isEmpty() && std::all_of(t.begin(), t.end(), [](QChar c) { return c.isDigit(); });
    if (!ok || !digitsOnly) {
        // A long run of digits is still a number, above any range.
        if (digitsOnly)
            return high;
        return std::clamp(fallback, low, high);
    }
    return std::clamp(value, low, high);
}

// Cell editors with the keys of their column; Enter and Escape go to the
// dialog's rules.
class NewStruDelegate : public QStyledItemDelegate {
public:
    NewStruDelegate(FNewStru* dialog, std::function<bool(int)> keyPress)
        : QStyledItemDelegate(dialog), keyPress_(std::move(keyPress))
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        const char* pattern = index.column() == FNewStru::ColName   ? "[A-Za-z0-9_]*"
                              : index.column() == FNewStru::ColType ? "[CDFLMNcdflmn]*"
                                                                    : "[0-9]*";
        editor->setValidator(new QRegularExpressionValidator(QRegularExpression(QString::fromLatin1(pattern)), editor));
        return editor;
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                auto* editor = static_cast<QWidget*>(object);
                emit commitData(editor);
                emit closeEditor(editor, QAbstractItemDelegate::NoHint);
                keyPress_(key);
                return true;
            }
            if (key == Qt::Key_Escape) {
                keyPress_(key);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    std::function<bool(int)> keyPress_;
};

} // namespace

// --- grid -----------------------------------------------------------------------

NewStruGrid::NewStruGrid(FNewStru* dialog, int rows) : QTableWidget(rows, 4, dialog), dialog_(dialog) {}

void NewStruGrid::commitEditor()
{
    if (state() != EditingState)
        return;
    for (QWidget* child : viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible()) {
            commitData(child);
            closeEditor(child, QAbstractItemDelegate::NoHint);
            return;
        }
    }
}

void NewStruGrid::keyPressEvent(QKeyEvent* event)
{
    if (dialog_->gridStruKeyPress(event->key()))
        return;
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).unicode() >= 32 && !FNewStru::keyAccepted(currentColumn(), text.at(0))) {
        event->accept();   // a key the column does not take is dropped
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void NewStruGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableWidget::currentChanged(current, previous);
    if (moving_ || !current.isValid())
        return;
    const QModelIndex target = dialog_->gridStruSelectCell(current, previous);
    if (target != current) {
        moving_ = true;
        setCurrentIndex(target);
        moving_ = false;
    }
}

// --- dialog -----------------------------------------------------------------------

FNewStru::FNewStru(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      grid_(new NewStruGrid(this, fieldRows)), bOk_(new QPushButton(u("&OK"), this)),
      bCancel_(new QPushButton(u("&Storno"), this)),
      errorBox_([](QWidget* parent, const QString& message) {
          QMessageBox::critical(parent, QGuiApplication::applicationDisplayName(), message);
      })
{
    setObjectName(QStringLiteral("fNewStru"));
    setWindowTitle(u("Struktura nové tabulky"));
    setModal(true);

    grid_->setObjectName(QStringLiteral("gridStru"));
    grid_->setHorizontalHeaderLabels({u("Jméno"), u("Typ"), u("Délka"), u("Des")});
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(16);
    grid_->verticalHeader()->setMinimumSectionSize(16);
    const int widths[4] = {102, 34, 54, 32};
    for (int c = 0; c < 4; ++c)
        grid_->setColumnWidth(c, widths[c]);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->horizontalHeader()->setSectionsClickable(false);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setTabKeyNavigation(false);
    grid_->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                           QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    grid_->setItemDelegate(new NewStruDelegate(this, [this](int key) { return gridStruKeyPress(key); }));

    bOk_->setObjectName(QStringLiteral("bOK"));
    bCancel_->setObjectName(QStringLiteral("bStorno"));
    bOk_->setAutoDefault(false);
    bCancel_->setAutoDefault(false);
    connect(bOk_, &QPushButton::clicked, this, [this] { bOKClick(); });
    connect(bCancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bOk_);
    buttons->addWidget(bCancel_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(grid_);
    layout->addLayout(buttons);
    setFixedSize(248, 368);

    // FormShow: the name of the first row is current, the grid has the focus.
    grid_->setCurrentCell(0, ColName);
    grid_->setFocus();
}

QString FNewStru::cellText(int row, int column) const
{
    const QTableWidgetItem* item = grid_->item(row, column);
    return item ? item->text() : QString();
}

void FNewStru::setCellText(int row, int column, const QString& text)
{
    if (row < 0 || row >= grid_->rowCount())
        return;
    if (QTableWidgetItem* item = grid_->item(row, column)) {
        if (item->text() != text)
            item->setText(text);
    } else if (!text.isEmpty()) {
        grid_->setItem(row, column, new QTableWidgetItem(text));
    }
}

QString FNewStru::normalizedName(const QString& name)
{
    if (name.isEmpty())
        return name;
    const QString upper = name.toUpper().left(10);
    QString out;
    if (!isLetterAZ(upper.at(0)))
        out += QLatin1Char('A');
    for (const QChar c : upper) {
        if (isLetterAZ(c) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_'))
            out += c;
    }
    return out.left(10);
}

void FNewStru::normalizeRow(QString& type, QString& length, QString& decimals)
{
    if (type.isEmpty())
        return;
    QChar letter = type.at(0).toUpper();
    if (!QStringLiteral("CDFLMN").contains(letter))
        letter = QLatin1Char('C');
    type = QString(letter);
    int size = 0;
    int places = 0;
    switch (letter.toLatin1()) {
    case 'C':
        size = wholeNumberIn(length, 1, 255, 10);
        break;
    case 'F':
    case 'N':
        size = wholeNumberIn(length, 1, 20, 12);
        places = size <= 2 ? 0 : wholeNumberIn(decimals, 0, size - 2, 2);
        break;
    case 'D':
    case 'M':
        size = 10;
        break;
    default:   // L
        size = 1;
        break;
    }
    length = QString::number(size);
    decimals = QString::number(places);
}

bool FNewStru::keyAccepted(int column, QChar c)
{
    switch (column) {
    case ColName:
        return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
               (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_');
    case ColType:
        return QStringLiteral("CDFLMNcdflmn").contains(c);
    default:
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    }
}

bool FNewStru::gridStruKeyPress(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        const int row = grid_->currentRow();
        const int column = grid_->currentColumn();
        if (column == ColDecimals) {
            if (row + 1 < grid_->rowCount())
                grid_->setCurrentCell(row + 1, ColName);
        } else {
            grid_->setCurrentCell(row, column + 1);
        }
        return true;
    }
    if (key == Qt::Key_Escape) {
        reject();
        return true;
    }
    return false;
}

void FNewStru::normalizeRowAt(int row)
{
    QString type = cellText(row, ColType);
    QString length = cellText(row, ColLength);
    QString decimals = cellText(row, ColDecimals);
    if (type.isEmpty())
        return;
    normalizeRow(type, length, decimals);
    setCellText(row, ColType, type);
    setCellText(row, ColLength, length);
    setCellText(row, ColDecimals, decimals);
}

QModelIndex FNewStru::gridStruSelectCell(const QModelIndex& to, const QModelIndex& from)
{
    const int row = to.row();
    const int column = to.column();
    if (column == ColType)
        setCellText(row, ColName, normalizedName(cellText(row, ColName)));
    if (from.isValid())
        normalizeRowAt(from.row());
    const QChar type = cellText(row, ColType).isEmpty() ? QChar() : cellText(row, ColType).at(0).toUpper();
    bool allowed = true;
    switch (column) {
    case ColType:
        allowed = !cellText(row, ColName).isEmpty();
        break;
    case ColLength:
        allowed = type == QLatin1Char('C') || type == QLatin1Char('F') || type == QLatin1Char('N');
        break;
    case ColDecimals:
        allowed = type == QLatin1Char('F') || type == QLatin1Char('N');
        break;
    default:
        break;
    }
    if (allowed)
        return to;
    const int next = std::min((from.isValid() ? from.row() : row) + 1, grid_->rowCount() - 1);
    return grid_->model()->index(next, ColName);
}

void FNewStru::showError(const QString& message)
{
    grid_->viewport()->update();
    if (errorBox_)
        errorBox_(this, message);
}

void FNewStru::bOKClick()
{
    // What is still being typed counts, and every row is brought into shape.
    grid_->commitEditor();
    const int rows = grid_->rowCount();
    for (int row = 0; row < rows; ++row) {
        setCellText(row, ColName, normalizedName(cellText(row, ColName)));
        normalizeRowAt(row);
    }

    // Names used twice, in either letter case.
    for (int i = 0; i < rows; ++i) {
        const QString name = cellText(i, ColName);
        if (name.isEmpty())
            continue;
        for (int j = i + 1; j < rows; ++j) {
            if (cellText(j, ColName).compare(name, Qt::CaseInsensitive) == 0) {
                grid_->setCurrentCell(j, ColName);
                showError(u("Nazev pole: \"") + name +
                          u("\" je již použit.\nDvě pole v tabulce nemohou mít stejný název!"));
                return;
            }
        }
    }
    // A field whose type, length or decimals are missing.
    int named = 0;
    for (int row = 0; row < rows; ++row) {
        if (cellText(row, ColName).isEmpty())
            continue;
        ++named;
        if (cellText(row, ColType).isEmpty() || cellText(row, ColLength).isEmpty() ||
            cellText(row, ColDecimals).isEmpty()) {
            grid_->setCurrentCell(row, ColName);
            showError(u("V řádku nejsou vyplněny všechny potřebné údaje"));
            grid_->setFocus();
            return;
        }
    }
    if (named == 0) {
        grid_->setCurrentCell(0, ColName);
        showError(u("Tabulka musí mít alespoň jedno pole."));
        grid_->setFocus();
        return;
    }

    fDef_.clear();
    for (int row = 0; row < rows; ++row) {
        const QString name = cellText(row, ColName);
        if (name.isEmpty())
            continue;
        FieldDef& def = fDef_.addFieldDef();
        def.setFieldName(name.toStdString());
        def.setNativeFieldType(cellText(row, ColType).at(0).toLatin1());
        def.setSize(cellText(row, ColLength).toInt());
        def.setPrecision(cellText(row, ColDecimals).toInt());
    }
    accept();
}

} // namespace karto
