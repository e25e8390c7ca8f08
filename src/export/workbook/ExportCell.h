#pragma once
// Typed cells of the workbook model: text, number, boolean and date-time.

#include <cstdint>
#include <string>

#include "export/workbook/ExportCellStyle.h"
#include "export/workbook/WorkbookTypes.h"

namespace karto {

class ExportRow;

// A cell always owns its style. Cells are created by ExportRow::addCell*,
// which applies the style inheritance of the sheet, the row and the sheet's
// new-cell defaults.
class ExportCell {
public:
    virtual ~ExportCell() = default;
    ExportCell(const ExportCell&) = delete;
    ExportCell& operator=(const ExportCell&) = delete;

    virtual ExportCellType cellType() const = 0;

    // Column position in the row (0-based).
    int index() const { return index_; }
    ExportRow* row() const { return row_; }

    ExportCellStyle& style() { return style_; }
    const ExportCellStyle& style() const { return style_; }

    int colSpan() const { return colSpan_; }
    int rowSpan() const { return rowSpan_; }

    bool calculateColWidth() const { return calculateColWidth_; }
    // true is ignored when the style has an orientation or rotation or the
    // cell spans columns; false is always stored.
    ExportCell& setCalculateColWidth(bool value);

    // The number format text as set (empty = General).
    const std::string& excelNumberFormat() const { return excelNumberFormat_; }
    ExportCell& setExcelNumberFormat(std::string format, bool parse = false);

    bool valueAssigned() const { return valueAssigned_; }

    // The number format the writers use for the cell's format: the set text,
    // or for number cells the one built from decimals and the flags.
    virtual std::string numberFormat() const { return excelNumberFormat_; }

    // The text as the cell shows it; the column-width measurement uses it.
    virtual std::string formattedText() const = 0;

protected:
    explicit ExportCell(const ExportCellStyle& style) : style_(style) {}

    ExportCellStyle style_;
    int index_ = 0;
    ExportRow* row_ = nullptr;
    int colSpan_ = 1;
    int rowSpan_ = 1;
    bool calculateColWidth_ = false;
    std::string excelNumberFormat_;
    bool valueAssigned_ = false;

    friend class ExportRow;
};

class ExportCellString : public ExportCell {
public:
    explicit ExportCellString(const ExportCellStyle& style) : ExportCell(style) {}
    ExportCellType cellType() const override { return ectString; }

    const std::string& text() const { return text_; }
    // Marks the value assigned; a carriage return followed by a line feed
    // turns the style's wrap-text flag on.
    void setText(std::string text);
    bool useSharedStrings() const { return useSharedStrings_; }
    void setUseSharedStrings(bool value) { useSharedStrings_ = value; }

    std::string formattedText() const override { return text_; }

private:
    std::string text_;
    bool useSharedStrings_ = true;
};

// Cells holding a double.
class ExportCellCustomNumber : public ExportCell {
public:
    double value() const { return value_; }
    bool emptyIfZero() const { return emptyIfZero_; }
    void setEmptyIfZero(bool value) { emptyIfZero_ = value; }

protected:
    explicit ExportCellCustomNumber(const ExportCellStyle& style) : ExportCell(style) {}
    void assignValue(double value) { value_ = value; valueAssigned_ = true; }

    double value_ = 0.0;
    bool emptyIfZero_ = false;
};

class ExportCellNumber : public ExportCellCustomNumber {
public:
    explicit ExportCellNumber(const ExportCellStyle& style) : ExportCellCustomNumber(style) {}
    ExportCellType cellType() const override { return ectNumber; }

    void setValue(double value) { assignValue(value); }
    // -1 = as many as needed (General).
    int decimalPlaces() const { return decimalPlaces_; }
    void setDecimalPlaces(int value) { decimalPlaces_ = value; }
    int integerDigits() const { return integerDigits_; }
    void setIntegerDigits(int value) { integerDigits_ = value; }
    bool thousandSep() const { return thousandSep_; }
    void setThousandSep(bool value) { thousandSep_ = value; }
    bool negativeRed() const { return negativeRed_; }
    void setNegativeRed(bool value) { negativeRed_ = value; }

    // The set text when non-empty and not "@", else built: "" for -1
    // decimals, "0;\-0" for 0 decimals, "0.00;\-0.00" for 2 ...
    std::string numberFormat() const override;
    std::string formattedText() const override;

private:
    int decimalPlaces_ = -1;
    int integerDigits_ = 1;
    bool thousandSep_ = false;
    bool negativeRed_ = false;
};

class ExportCellBoolean : public ExportCellCustomNumber {
public:
    explicit ExportCellBoolean(const ExportCellStyle& style) : ExportCellCustomNumber(style) {}
    ExportCellType cellType() const override { return ectBoolean; }

    void setValue(bool value) { assignValue(value ? 1.0 : 0.0); }
    bool booleanValue() const { return value_ != 0.0; }
    std::string formattedText() const override { return booleanValue() ? "True" : "False"; }
};

// Value: days since 30 December 1899, the time of day as the fraction.
class ExportCellDateTime : public ExportCellCustomNumber {
public:
    explicit ExportCellDateTime(const ExportCellStyle& style) : ExportCellCustomNumber(style) {}
    ExportCellType cellType() const override { return ectDateTime; }

    void setValue(double value) { assignValue(value); }
    // The value formatted by the display form of the number format
    // ("dd.mm.yyyy" gives 28.06.2020); empty when unassigned.
    std::string formattedText() const override;
};

} // namespace karto
