#pragma once
// The structure window: the fields of the open table (number, name, type,
// stored length, decimals) with the record length as the total, and the
// listing saved as a text file or printed. Shown modally by the main
// window's aStruct; created for one showing.

#include <functional>

#include <QDialog>
#include <QFont>
#include <QStringList>

#include "structure/StructureListing.h"

class QLabel;
class QPrinter;
class QTreeWidget;

namespace karto {

class TableDataset;

class FrmStrukt : public QDialog {
    Q_OBJECT
public:
    // Asks for the file to save to: filter "description|pattern|...",
    // initial folder, proposed name; empty on cancel.
    using SaveFileAsker =
        std::function<QString(const QString& filter, const QString& folder, const QString& proposedName)>;
    // Lets the user choose and set up the printer; false on cancel.
    using PrinterAsker = std::function<bool(QPrinter& printer)>;

    explicit FrmStrukt(const TableDataset& dbf, QWidget* parent = nullptr);

    void setSaveFileAsker(SaveFileAsker asker) { saveFileAsker_ = std::move(asker); }
    void setPrinterAsker(PrinterAsker asker) { printerAsker_ = std::move(asker); }

    // aStrSave: asks for a file and writes the listing to it.
    void save();
    // aStrPrint: asks for a printer and prints the listing.
    void print();

    // The listing's lines (title, header, fields, total).
    QStringList listing() const { return structureListing(tablePath_, rows_, recordLength_); }
    // Writes the listing in Windows 1250, every line ending with CR LF.
    // Throws KartoError when the file cannot be written.
    void saveTo(const QString& fileName) const;
    // Prints on a printer that is already set up.
    void printTo(QPrinter& printer) const;

    QTreeWidget* listView() const { return listView_; }
    QLabel* sizeLabel() const { return lSize_; }
    // The production index and its tags; hidden when the table names none.
    QLabel* indexLabel() const { return lIndex_; }
    // Courier-like font of the window and of the printout.
    QFont listingFont() const { return font_; }

private:
    void showIndexTags(const TableDataset& dbf);
    void reportError(const std::exception& e);

    QString tablePath_;
    QString tableFolder_;
    QString tableName_;
    std::vector<StructureRow> rows_;
    int recordLength_;
    QFont font_;
    QTreeWidget* listView_;
    QLabel* lSize_;
    QLabel* lIndex_;
    SaveFileAsker saveFileAsker_;
    PrinterAsker printerAsker_;
};

// Prints a structure listing: the title line, then the column header two
// lines further, both bold; the field lines from two lines further, one per
// line, a new page when the next line would not fit; one empty line and the
// total, which goes to the top of a new page when it would not fit on the
// last one. Lines are drawn at x = 10 and y = line number x line height (the
// font's text height x 1.1, rounded half to even), in printer pixels.
void printStructureListing(QPrinter& printer, const QFont& font, const QString& title,
                           const QString& header, const QStringList& fieldLines, const QString& total);

} // namespace karto
