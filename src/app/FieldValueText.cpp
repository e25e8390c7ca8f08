#include "app/FieldValueText.h"

#include "dbf/Error.h"
#include "dbf/table/TableDataset.h"

namespace karto {

namespace {

QString u(const char* text) { return QString::fromUtf8(text); }

// "N 8,2", "C 20": the field's type letter, width and decimals.
QString fieldShape(const Field& field)
{
    const FieldDef& def = field.def();
    QString shape = QString(QLatin1Char(def.nativeFieldType())) + QLatin1Char(' ') + QString::number(def.size());
    if (def.precision() > 0)
        shape += QLatin1Char(',') + QString::number(def.precision());
    return shape;
}

} // namespace

QString fieldValueMessage(const FieldValueError& error, const Field& field)
{
    const QString name = QString::fromStdString(field.fieldName());
    const QString value = QString::fromStdString(error.value());
    QString text;
    switch (error.problem()) {
    case FieldValueProblem::ReadOnly:
        text = u("Pole %1 nelze měnit.").arg(name);
        break;
    case FieldValueProblem::NotANumber:
        text = u("„%1“ není číslo. Pole %2 přijímá číslo s desetinnou tečkou.").arg(value, name);
        break;
    case FieldValueProblem::NumberTooWide:
        text = u("Číslo %1 se do pole %2 (%3) nevejde.").arg(value, name, fieldShape(field));
        break;
    case FieldValueProblem::TextTooLong:
        text = u("Text je delší než pole %1: má %2 znaků, pole jich pojme %3.")
                   .arg(name)
                   .arg(value.size())
                   .arg(field.def().size());
        break;
    case FieldValueProblem::InvalidDate:
        text = u("„%1“ není platné datum (pole %2).").arg(value, name);
        break;
    case FieldValueProblem::NotLogical:
        text = u("„%1“ není logická hodnota (pole %2). Zadejte T nebo F.").arg(value, name);
        break;
    case FieldValueProblem::NoByteInCodePage:
        text = u("Znak „%1“ nelze v kódové stránce tabulky uložit (pole %2).").arg(value, name);
        break;
    case FieldValueProblem::Other:
        text = QString::fromUtf8(error.what());
        break;
    }
    return text + u("\nZáznam zůstává v editaci.");
}

} // namespace karto
