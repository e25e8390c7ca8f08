#include "app/FColumns.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "dbf/table/TableDataset.h"

namespace karto {

FColumns::FColumns(const QStringList& names, const std::vector<bool>& checked, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("fColumns"));
    setWindowTitle(QString::fromUtf8("Výběr sloupců"));
    setModal(true);

    lbCols_ = new QListWidget(this);
    lbCols_->setObjectName(QStringLiteral("lbCols"));
    lbCols_->setFixedWidth(178);
    for (int i = 0; i < names.size(); ++i) {
        auto* item = new QListWidgetItem(names[i], lbCols_);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        const bool on = static_cast<std::size_t>(i) < checked.size() && checked[static_cast<std::size_t>(i)];
        item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }

    bAll_ = new QPushButton(QString::fromUtf8("&Vše"), this);
    bInvert_ = new QPushButton(QString::fromUtf8("&Opačně"), this);
    bOk_ = new QPushButton(QStringLiteral("&OK"), this);
    bCancel_ = new QPushButton(QStringLiteral("&Storno"), this);
    bOk_->setDefault(true);
    for (QPushButton* b : {bAll_, bInvert_, bCancel_})
        b->setAutoDefault(false);
    connect(bAll_, &QPushButton::clicked, this, &FColumns::bAllClick);
    connect(bInvert_, &QPushButton::clicked, this, &FColumns::bInvertClick);
    connect(bOk_, &QPushButton::clicked, this, &QDialog::accept);
    connect(bCancel_, &QPushButton::clicked, this, &QDialog::reject);   // Escape as well

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(bAll_);
    buttons->addWidget(bInvert_);
    buttons->addStretch();
    buttons->addWidget(bOk_);
    buttons->addWidget(bCancel_);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 8, 8);
    layout->addWidget(lbCols_);
    layout->addLayout(buttons);
    setFixedSize(264, 302);
}

void FColumns::bAllClick()
{
    for (int i = 0; i < lbCols_->count(); ++i)
        lbCols_->item(i)->setCheckState(Qt::Checked);
}

void FColumns::bInvertClick()
{
    for (int i = 0; i < lbCols_->count(); ++i) {
        QListWidgetItem* item = lbCols_->item(i);
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
}

std::vector<bool> FColumns::checked() const
{
    std::vector<bool> out;
    for (int i = 0; i < lbCols_->count(); ++i)
        out.push_back(lbCols_->item(i)->checkState() == Qt::Checked);
    return out;
}

std::vector<int> FColumns::chosenColumns(const std::vector<bool>& checked)
{
    std::vector<int> out;
    for (std::size_t i = 0; i < checked.size(); ++i) {
        if (checked[i])
            out.push_back(static_cast<int>(i));
    }
    if (out.size() == checked.size())
        out.clear();
    return out;
}

std::vector<int> FColumns::defaultColumns(const TableDataset& dataset)
{
    std::vector<int> out;
    if (!dataset.active())
        return out;
    for (int i = 0; i < dataset.fieldCount(); ++i) {
        if (dataset.field(i).visible())
            out.push_back(i);
    }
    return out;
}

bool FColumns::choose(QWidget* parent, const TableDataset& dataset, const std::vector<int>& current,
                      std::vector<int>& result)
{
    dataset.checkActive();
    const std::vector<int> fields = defaultColumns(dataset);
    QStringList names;
    std::vector<bool> checked;
    for (int f : fields) {
        names << QString::fromStdString(dataset.field(f).fieldName());
        checked.push_back(std::find(current.begin(), current.end(), f) != current.end());
    }
    FColumns dialog(names, checked, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    result.clear();
    for (int position : chosenColumns(dialog.checked()))
        result.push_back(fields[static_cast<std::size_t>(position)]);
    return true;
}

} // namespace karto
