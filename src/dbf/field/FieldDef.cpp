#include "dbf/field/FieldDef.h"

#include <algorithm>

#include "dbf/Error.h"
#include "dbf/Messages.h"

namespace karto {

namespace {

char upperLetter(char letter)
{
    return (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 'a' + 'A') : letter;
}

// Money fields ("Y") are read as scaled 64-bit integers, never as doubles.
constexpr bool kCurrencyAsBCD = true;

} // namespace

XBaseVersion FieldDef::dbfVersion() const
{
    return owner_ ? owner_->dbfVersion() : xBaseIV;
}

void FieldDef::setFieldType(FieldType type)
{
    fieldType_ = type;
    fieldTypeToNative();
    setDefaultSize();
}

void FieldDef::setNativeFieldType(char letter)
{
    nativeFieldType_ = upperLetter(letter);
    nativeToFieldType();
    checkSizePrecision();
}

void FieldDef::setSize(int size)
{
    size_ = size;
    checkSizePrecision();
}

void FieldDef::setPrecision(int precision)
{
    precision_ = precision;
    checkSizePrecision();
}

bool FieldDef::isBlob() const
{
    return nativeFieldType_ == 'B' || nativeFieldType_ == 'G' || nativeFieldType_ == 'M' ||
           nativeFieldType_ == 'W';
}

int FieldDef::index() const
{
    return owner_ ? owner_->indexOf(this) : -1;
}

void FieldDef::nativeToFieldType()
{
    const XBaseVersion version = dbfVersion();
    switch (static_cast<uint8_t>(nativeFieldType_)) {
    case 'C':
    case 0x91:
        fieldType_ = ftString;
        break;
    case 'N':
    case 'F':
        if (precision_ > 0)
            fieldType_ = ftFloat;
        else if (size_ <= 4)
            fieldType_ = ftSmallint;
        else if (size_ < 10)
            fieldType_ = ftInteger;
        else
            fieldType_ = ftLargeint;
        break;
    case 'D':
        fieldType_ = ftDate;
        break;
    case 'L':
        fieldType_ = ftBoolean;
        break;
    case 'M':
        fieldType_ = ftMemo;
        break;
    case 'B':
        fieldType_ = version == xFoxPro ? ftFloat : ftBlob;
        break;
    case 'G':
        fieldType_ = ftDBaseOle;
        break;
    case 'I':
        fieldType_ = ftInteger;
        break;
    case '+':
        // Only dBase 7 knows the autoincrement field; elsewhere the typed
        // view stays as it was (unknown for a field read from a file).
        if (version == xBaseVII)
            fieldType_ = ftAutoInc;
        break;
    case 'O':
        fieldType_ = ftFloat;
        break;
    case '@':
    case 'T':
        fieldType_ = ftDateTime;
        break;
    case 'Y':
        fieldType_ = kCurrencyAsBCD ? ftBCD : ftCurrency;
        break;
    case '0':
        fieldType_ = ftBytes;
        break;
    // Visual FoxPro (version byte 0x32): varchar is text, varbinary bytes in
    // the record and blob bytes in the memo file, both read as binary memos
    // are. Other versions do not know these letters.
    case 'V':
        if (version != xFoxPro) {
            nativeFieldType_ = 0;
            fieldType_ = ftUnknown;
        } else {
            fieldType_ = ftString;
        }
        break;
    case 'Q':
    case 'W':
        if (version != xFoxPro) {
            nativeFieldType_ = 0;
            fieldType_ = ftUnknown;
        } else {
            fieldType_ = ftBlob;
        }
        break;
    default:
        nativeFieldType_ = 0;
        fieldType_ = ftUnknown;
        break;
    }
}

void FieldDef::fieldTypeToNative()
{
    const XBaseVersion version = dbfVersion();
    char letter = 0;
    switch (fieldType_) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        letter = 'C';
        break;
    case ftSmallint:
    case ftWord:
    case ftFloat:
    case ftLargeint:
        letter = 'N';
        break;
    case ftInteger:
        letter = version == xBaseVII ? 'I' : 'N';
        break;
    case ftBoolean:
        letter = 'L';
        break;
    case ftCurrency:
    case ftBCD:
        letter = version == xFoxPro ? 'Y' : 0;
        break;
    case ftDate:
        letter = 'D';
        break;
    case ftDateTime:
        letter = version == xBaseVII ? '@' : (version == xFoxPro ? 'T' : 'D');
        break;
    case ftAutoInc:
        letter = '+';
        break;
    case ftBlob:
        letter = 'B';
        break;
    case ftMemo:
        letter = 'M';
        break;
    case ftDBaseOle:
        letter = 'G';
        break;
    default:
        break;
    }
    if (letter == 0)
        throw TableError(msg::cannotCreateField(displayName(), fieldType_));
    nativeFieldType_ = letter;
}

void FieldDef::setDefaultSize()
{
    const XBaseVersion version = dbfVersion();
    switch (fieldType_) {
    case ftInteger:
    case ftAutoInc:
        size_ = version == xBaseVII ? 4 : 9;
        precision_ = 0;
        break;
    case ftSmallint:
    case ftWord:
        size_ = 4;
        precision_ = 0;
        break;
    case ftFloat:
        size_ = 18;
        precision_ = 8;
        break;
    case ftCurrency:
    case ftBCD:
        size_ = 8;
        precision_ = 4;
        break;
    case ftLargeint:
        size_ = 18;
        precision_ = 0;
        break;
    default:
        break;
    }
    checkSizePrecision();
}

void FieldDef::normalizedSizePrecision(int& size, int& precision) const
{
    const bool foxPro = dbfVersion() == xFoxPro;
    switch (nativeFieldType_) {
    case '+':
    case 'I':
        size = 4;
        precision = 0;
        break;
    case '@':
    case 'D':
    case 'O':
        size = 8;
        precision = 0;
        break;
    case 'B':
        if (!foxPro) {
            size = 10;
            precision = 0;
        }
        break;
    case 'C':
        if (size < 0)
            size = 0;
        size = std::min(size, foxPro ? 65535 : 255);
        precision = 0;
        break;
    case 'N':
    case 'F':
        if (size < 1)
            size = 1;
        if (size >= 20)
            size = 20;
        if (precision > size - 2)
            precision = size - 2;
        if (precision < 0)
            precision = 0;
        break;
    case 'V':
    case 'Q':
        precision = 0;
        break;
    case 'G':
    case 'M':
    case 'W':
        if (foxPro) {
            if (size != 4 && size != 10)
                size = 4;
        } else {
            size = 10;
        }
        precision = 0;
        break;
    case 'L':
        size = 1;
        precision = 0;
        break;
    case 'T':
        size = foxPro ? 8 : 14;
        precision = 0;
        break;
    case 'Y':
        size = 8;
        precision = 4;
        break;
    default:
        break;
    }
}

void FieldDef::checkSizePrecision()
{
    normalizedSizePrecision(size_, precision_);
}

void FieldDef::loadDescriptor(const std::string& name, char letter, int size, int precision)
{
    fieldName_ = name;
    size_ = size;
    precision_ = precision;
    fieldType_ = ftUnknown;
    nativeFieldType_ = upperLetter(letter);
    nativeToFieldType();
    int normalSize = size_;
    int normalPrecision = precision_;
    normalizedSizePrecision(normalSize, normalPrecision);
    precision_ = normalPrecision;
}

void FieldDef::allocBuffers()
{
    if (allocSize_ == size_ && !buffers_.empty())
        return;
    if (size_ <= 0) {
        buffers_.clear();
        allocSize_ = 0;
        return;
    }
    buffers_.assign(static_cast<size_t>(size_) * 3, 0);
    allocSize_ = size_;
}

void FieldDef::assign(const FieldDef& source)
{
    if (&source == this)
        return;
    fieldName_ = source.fieldName_;
    fieldType_ = source.fieldType_;
    nativeFieldType_ = source.nativeFieldType_;
    size_ = source.size_;
    precision_ = source.precision_;
    required_ = source.required_;
    isLockField_ = source.isLockField_;
    nullPosition_ = source.nullPosition_;
    varLengthPosition_ = source.varLengthPosition_;
    offset_ = source.offset_;
    autoInc_ = source.autoInc_;
    buffers_ = source.buffers_;
    allocSize_ = source.allocSize_;
    hasDefault_ = source.hasDefault_;
    hasMin_ = source.hasMin_;
    hasMax_ = source.hasMax_;
    copyFrom_ = source.index();
}

FieldDef& FieldDefs::addFieldDef()
{
    items_.push_back(std::make_unique<FieldDef>(this));
    return *items_.back();
}

FieldDef& FieldDefs::add(const std::string& name, FieldType type, int size, bool required)
{
    auto def = std::make_unique<FieldDef>(this);
    def->setFieldName(name);
    def->setFieldType(type);
    if (size != 0)
        def->setSize(size);
    def->setRequired(required);
    items_.push_back(std::move(def));
    return *items_.back();
}

int FieldDefs::indexOf(const FieldDef* def) const
{
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == def)
            return static_cast<int>(i);
    return -1;
}

} // namespace karto
