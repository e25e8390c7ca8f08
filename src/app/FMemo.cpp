#include "app/FMemo.h"

#include <vector>

#include <QAction>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QMenu>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "app/DbfGrid.h"
#include "app/DbfGridModel.h"
#include "ui/ImageList.h"
#include "dbf/table/TableDataset.h"

namespace karto {

QPoint memoViewerPosition(const QRect& mainFrame, const QSize& viewerFrame, bool mainMaximised)
{
    const int right = mainFrame.left() + mainFrame.width();
    const int bottom = mainFrame.top() + mainFrame.height();
    if (mainMaximised)
        return {right - viewerFrame.width(), bottom - viewerFrame.height()};
    return {right - viewerFrame.width() / 2, bottom - viewerFrame.height() / 2};
}

// --- FMemo ----------------------------------------------------------------------

FMemo::FMemo(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("fMemo"));
    setWindowTitle(QString::fromUtf8("Tabulon - zobrazení memo položky"));
    dbRichEdit_ = new QPlainTextEdit(this);
    dbRichEdit_->setObjectName(QStringLiteral("dbRichEdit"));
    dbRichEdit_->setReadOnly(true);
    dbRichEdit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    dbRichEdit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    dbRichEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(dbRichEdit_);

    popup_ = new QMenu(this);
    QAction* copy = popup_->addAction(imageListIcon(20), QString::fromUtf8("&Kopírovat"));
    copy->setShortcut(QKeySequence(QStringLiteral("Ctrl+C")));
    connect(copy, &QAction::triggered, dbRichEdit_, &QPlainTextEdit::copy);
    QAction* selectAll = popup_->addAction(QString::fromUtf8("&Vybrat vše"));
    connect(selectAll, &QAction::triggered, dbRichEdit_, &QPlainTextEdit::selectAll);
    dbRichEdit_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(dbRichEdit_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popup_->exec(dbRichEdit_->mapToGlobal(pos)); });
    resize(420, 303);
}

void FMemo::bind(TableDataset& dataset, const QString& fieldName)
{
    dataset_ = &dataset;
    fieldName_ = fieldName;
}

void FMemo::unbind()
{
    dataset_ = nullptr;
    fieldName_.clear();
    dbRichEdit_->clear();
}

void FMemo::showRecord(int recNo)
{
    QString text;
    if (dataset_ && dataset_->active() && recNo > 0) {
        try {
            if (const Field* field = dataset_->findField(fieldName_.toStdString())) {
                std::vector<uint8_t> record;
                if (dataset_->readRecord(recNo, record)) {
                    std::string utf8;
                    dataset_->appendFieldText(utf8, field->index(), record.data());
                    text = QString::fromStdString(utf8);
                }
            }
        } catch (const std::exception&) {
            // A memo that cannot be read shows nothing; the grid reports it.
            text.clear();
        }
    }
    // Lines end as the text box ends them.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (dbRichEdit_->toPlainText() != text)
        dbRichEdit_->setPlainText(text);
}

void FMemo::applyFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(10);
    dbRichEdit_->setFont(font);
    QPalette palette = dbRichEdit_->palette();
    palette.setColor(QPalette::Text, palette.color(QPalette::WindowText));
    dbRichEdit_->setPalette(palette);
}

void FMemo::showEvent(QShowEvent* event)
{
    applyFont();
    QWidget::showEvent(event);
}

void FMemo::closeEvent(QCloseEvent* event)
{
    // Kept for the rest of the run: closing hides it.
    const bool wasBound = isBound();
    unbind();
    QWidget::closeEvent(event);
    if (wasBound)
        emit closedByUser();
}

// --- MemoCommands -------------------------------------------------------------------

MemoCommands::MemoCommands(CommandContext context, QObject* parent)
    : QObject(parent), window_(std::move(context))
{
}

void MemoCommands::install()
{
    connect(window_.grid()->selectionModel(), &QItemSelectionModel::currentChanged, this, &MemoCommands::follow);
    // A new code page shows every cell again, the memo too.
    connect(window_.gridModel(), &QAbstractItemModel::dataChanged, this, &MemoCommands::follow);
    connect(window_.gridModel(), &QAbstractItemModel::modelReset, this, &MemoCommands::follow);
}

void MemoCommands::aShowMemoExecute()
{
    if (viewer_ && viewer_->isBound()) {
        closeViewer();
        return;
    }
    TableDataset& dbf = window_.dbf();
    const int field = window_.currentField();
    if (!dbf.active() || field < 0 || field >= dbf.fieldCount() || !dbf.field(field).isBlob())
        return;
    if (!viewer_) {
        QWidget* window = window_.widget();
        viewer_ = new FMemo(window);
        const QSize frame = viewer_->frameGeometry().size();
        viewer_->move(memoViewerPosition(window->frameGeometry(), frame, window->isMaximized()));
    }
    viewer_->show();
    viewer_->bind(dbf, QString::fromStdString(dbf.field(field).fieldName()));
    follow();
    window_.grid()->setFocus();
}

void MemoCommands::closeViewer()
{
    if (!viewer_)
        return;
    viewer_->unbind();
    viewer_->hide();
}

void MemoCommands::follow()
{
    if (!viewer_ || !viewer_->isBound())
        return;
    const int row = window_.grid()->currentIndex().row();
    viewer_->showRecord(row >= 0 ? window_.gridModel()->recordOfRow(row) : 0);
}

} // namespace karto
