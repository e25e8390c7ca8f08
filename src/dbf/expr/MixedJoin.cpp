// Strings joined with numbers and dates, as index keys build them: the
// operands are turned into text one after the other.
//
// With "+" (and "-" while a key expression is checked) every operand has a
// fixed width: a string its whole text, a whole number 11 characters, a
// float 20 characters with 4 decimals or its numeric field's width and
// decimals, a date its 8 digits; a null number or date becomes that many
// spaces. With "-" otherwise nothing is padded: strings lose their trailing
// spaces, numbers keep only their own characters, null numbers and dates
// give nothing.
#include <cstring>
#include <string_view>

#include "dbf/expr/DateValue.h"
#include "dbf/expr/Routines.h"
#include "dbf/field/FieldDef.h"
#include "dbf/field/NumberText.h"

namespace karto::expr::routines {

namespace {

constexpr int kWholeWidth = 11;
constexpr int kFloatWidth = 20;
constexpr int kFloatDecimals = 4;
constexpr int kDateWidth = 8;

void floatLayout(const ExpressionRec& rec, int i, int& width, int& decimals)
{
    width = kFloatWidth;
    decimals = kFloatDecimals;
    const FieldDef* def = rec.argField[i];
    if (def && (def->nativeFieldType() == 'N' || def->nativeFieldType() == 'F') && def->size() >= 1
        && def->size() <= 20 && def->precision() >= 0) {
        width = def->size();
        decimals = def->precision();
    }
}

// Appends the part of a fixed-width form after its leading spaces.
void appendUnpadded(DynamicType& out, const char* form, int width)
{
    int skip = 0;
    while (skip < width && form[skip] == ' ')
        ++skip;
    out.append(form + skip, static_cast<size_t>(width - skip));
}

void appendOperand(ExpressionRec& rec, int i, bool padded)
{
    DynamicType& out = *rec.res;
    const bool null = rec.nullArg(i);
    switch (rec.argsType[i]) {
    case etString: {
        std::string_view text = rec.textArg(i);
        if (!padded)
            while (!text.empty() && text.back() == ' ')
                text.remove_suffix(1);
        out.append(text);
        break;
    }
    case etInteger:
    case etLargeInt: {
        if (null) {
            if (padded)
                out.appendFill(' ', kWholeWidth);
            break;
        }
        char form[kWholeWidth];
        formatIntegerField(form, kWholeWidth, rec.wholeArg(i), ' ');
        if (padded)
            out.append(form, kWholeWidth);
        else
            appendUnpadded(out, form, kWholeWidth);
        break;
    }
    case etFloat: {
        int width = 0;
        int decimals = 0;
        floatLayout(rec, i, width, decimals);
        if (null) {
            if (padded)
                out.appendFill(' ', static_cast<size_t>(width));
            break;
        }
        char form[kFloatWidth];
        formatNumberField(form, width, decimals, rec.floatArg(i));
        if (padded)
            out.append(form, static_cast<size_t>(width));
        else
            appendUnpadded(out, form, width);
        break;
    }
    case etDateTime: {
        const double value = rec.floatArg(i);
        if (null || value == 0.0) {
            if (padded)
                out.appendFill(' ', kDateWidth);
            break;
        }
        char digits[kDateWidth];
        writeDateDigits(digits, value);
        out.append(digits, kDateWidth);
        break;
    }
    default:
        break;
    }
}

void join(ExpressionRec& rec, bool padded)
{
    for (int i = 0; i < rec.argCount; ++i)
        appendOperand(rec, i, padded);
    rec.isNull = rec.nullArg(0) && rec.nullArg(1);
}

} // namespace

void mixedAdd(ExpressionRec& rec)
{
    join(rec, true);
}

void mixedSub(ExpressionRec& rec)
{
    join(rec, rec.context && rec.context->validatingIndex);
}

} // namespace karto::expr::routines
