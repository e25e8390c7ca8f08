#pragma once
// Base of the spreadsheet writers chosen by file extension (XLSX, XLS).

#include <memory>

namespace karto {

class OutputStream;
class Workbook;

class CustomExporter {
public:
    virtual ~CustomExporter() = default;

    // Records the document to write (as owner()).
    virtual void beforeExport(Workbook& workbook) { owner_ = &workbook; }
    // Writes the whole document to the stream.
    virtual void exportToStream(OutputStream& stream) = 0;

    virtual int colWidthPadding() const { return 0; }
    virtual int autoFilterWidthAdd() const { return 30; }
    virtual int richTextRunPadding() const { return 0; }
    virtual int maxColCount() const { return 2147483647; }
    virtual int maxRowCount() const { return 2147483647; }

    Workbook* owner() const { return owner_; }

protected:
    Workbook* owner_ = nullptr;
};

} // namespace karto
