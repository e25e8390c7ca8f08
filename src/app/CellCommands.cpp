#include "app/CellCommands.h"

#include <exception>

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>

#include "commands/ColumnSum.h"
#include "dbf/table/TableDataset.h"

namespace karto {

QString currentFieldText(const TableDataset& dataset, int field)
{
    if (!dataset.active() || field < 0 || field >= dataset.fieldCount())
        return QString();
    return QString::fromStdString(dataset.field(field).asString());
}

CellCommands::CellCommands(CommandContext context, QObject* parent)
    : QObject(parent), window_(std::move(context)),
      messageBox_([](QWidget* parent, const QString& caption, const QString& text) {
          QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
          box.exec();
      })
{
}

void CellCommands::aCopyFieldExecute()
{
    window_.dbf().checkActive();
    QGuiApplication::clipboard()->setText(currentFieldText(window_.dbf(), window_.currentField()));
}

void CellCommands::aSumExecute()
{
    TableDataset& dbf = window_.dbf();
    dbf.checkActive();
    const int field = window_.currentField();
    if (field < 0 || field >= dbf.fieldCount())
        return;
    std::exception_ptr error;
    int64_t sum;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        sum = sumColumn(dbf, field, error);
    } catch (...) {
        QGuiApplication::restoreOverrideCursor();
        throw;
    }
    QGuiApplication::restoreOverrideCursor();
    window_.syncGridToDataset();
    const std::string text =
        columnSumMessage(dbf.field(field).fieldName(), sum, dbf.formatSettings().thousandSeparator());
    if (messageBox_)
        messageBox_(window_.widget(), QGuiApplication::applicationDisplayName(), QString::fromStdString(text));
    if (error)
        std::rethrow_exception(error);
}

} // namespace karto
