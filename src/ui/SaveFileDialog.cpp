#include "ui/SaveFileDialog.h"

#include "ui/DialogFilter.h"

namespace karto {

SaveFileDialog::SaveFileDialog(QWidget* parent, const QString& pipeFilter, const QString& folder,
                               const QString& proposedName)
    : QFileDialog(parent)
{
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    const QStringList filters = qtNameFilters(pipeFilter);
    setNameFilters(filters);
    firstSuffix_ = filters.isEmpty() ? QString() : nameFilterSuffix(filters.constFirst());
    connect(this, &QFileDialog::filterSelected, this, &SaveFileDialog::followFilter);
    followFilter(filters.value(0));
    setDirectory(folder);
    selectFile(proposedName);
}

void SaveFileDialog::followFilter(const QString& nameFilter)
{
    const QString suffix = nameFilterSuffix(nameFilter);
    setDefaultSuffix(suffix.isEmpty() ? firstSuffix_ : suffix);
}

QString SaveFileDialog::ask(QWidget* parent, const QString& pipeFilter, const QString& folder,
                            const QString& proposedName)
{
    SaveFileDialog dialog(parent, pipeFilter, folder, proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace karto
