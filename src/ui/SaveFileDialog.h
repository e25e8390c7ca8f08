#pragma once
// The save dialog of the exports and of the structure listing: the filter
// given as "description|pattern|...", the initial folder and the proposed
// name; it asks before replacing a file.
//
// A name typed without an extension gets the one of the filter the user has
// selected (xlsx, xls, csv, htm, txt ...); under "Všechny soubory (*.*)" the
// one of the dialog's first filter, the format the command writes.

#include <QFileDialog>

namespace karto {

class SaveFileDialog : public QFileDialog {
    Q_OBJECT
public:
    SaveFileDialog(QWidget* parent, const QString& pipeFilter, const QString& folder,
                   const QString& proposedName);

    // Shows the dialog; the chosen path, empty on cancel.
    static QString ask(QWidget* parent, const QString& pipeFilter, const QString& folder,
                       const QString& proposedName);

private:
    void followFilter(const QString& nameFilter);

    QString firstSuffix_;
};

} // namespace karto
