#include "structure/FrmStrukt.h"

#include <algorithm>
#include <cmath>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/DialogFilter.h"
#include "ui/ImageList.h"
#include "ui/SaveFileDialog.h"
#include "dbf/text/Windows1250.h"
#include "dbf/Error.h"
#include "dbf/table/TableDataset.h"

namespace karto {

namespace {

const char* const saveFilter = "Textové soubory (*.txt)|*.txt|Všechny soubory (*.*)|*.*";

QString u(const char* text) { return QString::fromUtf8(text); }

QFont fixedFont(int points)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(points);
    return font;
}

QString fromLocal(const std::string& s) { return QFile::decodeName(QByteArray::fromStdString(s)); }

} // namespace

FrmStrukt::FrmStrukt(const TableDataset& dbf, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      tablePath_(fromLocal(dbf.tablePath())),
      tableFolder_(fromLocal(dbf.absolutePath())),
      tableName_(fromLocal(dbf.tableName())),
      rows_(structureRows(dbf)),
      recordLength_(dbf.recordSize()),
      font_(fixedFont(9)),
      listView_(new QTreeWidget(this)),
      lSize_(new QLabel(this)),
      lIndex_(new QLabel(this))
{
    setObjectName(QStringLiteral("frmStrukt"));
    setWindowTitle(u("  Struktura tabulky"));
    setFont(font_);
    setFixedSize(302, 356);

    listView_->setObjectName(QStringLiteral("ListView"));
    listView_->setFont(fixedFont(8));
    listView_->setRootIsDecorated(false);
    listView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView_->setColumnCount(5);
    listView_->setHeaderLabels({QString(), u("Jméno"), u("Typ"), u("Délka"), u("Des")});
    listView_->header()->setSectionsClickable(false);
    listView_->header()->setSectionsMovable(false);
    listView_->header()->setStretchLastSection(false);
    const int widths[5] = {30, 100, 60, 40, 35};
    for (int c = 0; c < 5; ++c)
        listView_->setColumnWidth(c, widths[c]);
    listView_->headerItem()->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    listView_->headerItem()->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
    int number = 1;
    for (const StructureRow& row : rows_) {
        auto* item = new QTreeWidgetItem(listView_);
        item->setText(0, QString::number(number++));
        item->setText(1, row.name);
        item->setText(2, row.typeName);
        item->setText(3, QString::number(row.size));
        item->setText(4, row.decimals);
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
    }

    auto* bar = new QToolBar(this);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto* aStrSave = new QAction(imageListIcon(14), u("Uložit struktury"), this);
    aStrSave->setObjectName(QStringLiteral("aStrSave"));
    aStrSave->setToolTip(u("Uloží strukturu do souboru"));
    aStrSave->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    connect(aStrSave, &QAction::triggered, this, &FrmStrukt::save);
    auto* aStrPrint = new QAction(imageListIcon(13), u("Vytiskne strukturu"), this);
    aStrPrint->setObjectName(QStringLiteral("aStrPrint"));
    aStrPrint->setToolTip(u("Vytiskne strukturu"));
    aStrPrint->setShortcut(QKeySequence(QStringLiteral("Ctrl+P")));
    connect(aStrPrint, &QAction::triggered, this, &FrmStrukt::print);
    bar->addAction(aStrSave);
    bar->addAction(aStrPrint);
    // Two buttons without a function.
    auto* spare1 = new QToolButton(bar);
    spare1->setEnabled(false);
    spare1->setAutoRaise(true);
    bar->addWidget(spare1);
    auto* spare2 = new QToolButton(bar);
    spare2->setIcon(imageListIcon(16));
    spare2->setEnabled(false);
    spare2->setAutoRaise(true);
    bar->addWidget(spare2);
    lSize_->setObjectName(QStringLiteral("lSize"));
    QFont labelFont = QApplication::font();
    labelFont.setPointSize(8);
    lSize_->setFont(labelFont);
    lSize_->setText(QStringLiteral("%1  %2").arg(u("Délka struktury:")).arg(recordLength_));
    lSize_->setToolTip(u("Délka jednoho záznamu v bajtech: součet délek všech položek "
                         "a 1 bajt příznaku smazání"));
    bar->addWidget(lSize_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(listView_);
    layout->addWidget(lIndex_);
    layout->addWidget(bar);
    showIndexTags(dbf);

    saveFileAsker_ = [this](const QString& filter, const QString& folder, const QString& proposed) {
        return SaveFileDialog::ask(this, filter, folder, proposed);
    };
    printerAsker_ = [this](QPrinter& printer) {
        QPrintDialog dialog(&printer, this);
        return dialog.exec() == QDialog::Accepted;
    };
}

void FrmStrukt::showIndexTags(const TableDataset& dbf)
{
    lIndex_->setObjectName(QStringLiteral("lIndex"));
    const std::string file = dbf.indexFileName();
    if (file.empty()) {
        lIndex_->hide();
        return;
    }
    QFont labelFont = QApplication::font();
    labelFont.setPointSize(8);
    lIndex_->setFont(labelFont);
    lIndex_->setWordWrap(true);
    lIndex_->setContentsMargins(4, 2, 4, 2);
    const QString name = QFileInfo(fromLocal(file)).fileName();
    const std::vector<IndexTagInfo> tags = dbf.indexTags();
    QStringList names;
    QStringList details;
    for (const IndexTagInfo& tag : tags) {
        names << QString::fromLatin1(tag.name.c_str());
        QString line = QStringLiteral("%1: %2").arg(QString::fromLatin1(tag.name.c_str()),
                                                    QString::fromLatin1(tag.expression.c_str()));
        if (tag.descending)
            line += u(", sestupně");
        if (tag.uniqueMode == iuUnique)
            line += u(", unikátní");
        else if (tag.uniqueMode == iuDistinct)
            line += u(", bez duplicit");
        details << line;
    }
    if (tags.empty())
        lIndex_->setText(u("Index %1 nelze použít").arg(name));
    else
        lIndex_->setText(u("Index %1: %2").arg(name, names.join(QStringLiteral(", "))));
    lIndex_->setToolTip(details.join(QLatin1Char('\n')));
    setFixedSize(302, 356 + std::max(0, lIndex_->heightForWidth(302)));
}

void FrmStrukt::reportError(const std::exception& e)
{
    QMessageBox::critical(this, QGuiApplication::applicationDisplayName(), QString::fromUtf8(e.what()));
}

void FrmStrukt::save()
{
    if (!saveFileAsker_)
        return;
    const QString fileName =
        saveFileAsker_(u(saveFilter), tableFolder_, replaceExtension(tableName_, QStringLiteral(".TXT")));
    if (fileName.isEmpty())
        return;
    try {
        saveTo(fileName);
    } catch (const std::exception& e) {
        reportError(e);
    }
}

void FrmStrukt::saveTo(const QString& fileName) const
{
    std::string bytes;
    for (const QString& line : listing()) {
        appendUtf8AsWindows1250(bytes, line.toStdString());
        bytes += "\r\n";
    }
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
        !file.flush()) {
        throw KartoError("Cannot create file \"" + fileName.toStdString() + "\". " +
                         file.errorString().toStdString());
    }
}

void FrmStrukt::print()
{
    QPrinter printer;
    if (!printerAsker_ || !printerAsker_(printer))
        return;
    printTo(printer);
}

void FrmStrukt::printTo(QPrinter& printer) const
{
    QStringList fieldLines;
    int number = 1;
    for (const StructureRow& row : rows_)
        fieldLines << structureFieldLine(number++, row);
    printStructureListing(printer, font_, structureTitleLine(tablePath_), structureHeaderLine(), fieldLines,
                          structureTotalLine(recordLength_));
}

void printStructureListing(QPrinter& printer, const QFont& font, const QString& title,
                           const QString& header, const QStringList& fieldLines, const QString& total)
{
    printer.setDocName(QStringLiteral("Struktura tabulky"));
    QPainter painter;
    if (!painter.begin(&printer))
        throw KartoError("Printing failed");
    QFont plain(font, &printer);
    QFont bold = plain;
    bold.setBold(true);
    painter.setFont(plain);
    const int lineHeight =
        static_cast<int>(std::lrint(painter.fontMetrics().height() * 1.1));
    const int pageHeight = printer.height();
    auto draw = [&](int line, const QString& text) {
        painter.drawText(10, line * lineHeight + painter.fontMetrics().ascent(), text);
    };

    // Whether the line numbered `line` lies whole on the page.
    auto fits = [&](int line) { return pageHeight - line * lineHeight >= lineHeight; };

    int line = 0;
    painter.setFont(bold);
    draw(line, title);
    line += 2;
    draw(line, header);
    line += 2;
    painter.setFont(plain);
    for (const QString& text : fieldLines) {
        draw(line, text);
        ++line;
        if (!fits(line)) {
            printer.newPage();
            line = 0;
        }
    }
    ++line;
    if (!fits(line)) {
        printer.newPage();
        line = 0;
    }
    draw(line, total);
    painter.end();
}

} // namespace karto
