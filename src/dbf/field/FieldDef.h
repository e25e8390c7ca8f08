#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/field/FieldType.h"

namespace karto {

class FieldDefs;

// One field of a table: name, native type letter, typed view, length, decimal
// count, place in the record, and the dBase 7 properties.
class FieldDef {
public:
    explicit FieldDef(FieldDefs* owner = nullptr) : owner_(owner) {}

    const std::string& fieldName() const { return fieldName_; }
    void setFieldName(std::string name) { fieldName_ = std::move(name); }

    FieldType fieldType() const { return fieldType_; }
    // Sets the typed view, derives the letter and applies the default size.
    void setFieldType(FieldType type);

    char nativeFieldType() const { return nativeFieldType_; }
    // Sets the letter (upper-cased), derives the typed view, checks the sizes.
    void setNativeFieldType(char letter);

    int size() const { return size_; }
    void setSize(int size);
    int precision() const { return precision_; }
    void setPrecision(int precision);

    int offset() const { return offset_; }
    void setOffset(int offset) { offset_ = offset; }

    int nullPosition() const { return nullPosition_; }
    void setNullPosition(int position) { nullPosition_ = position; }

    // Visual FoxPro varchar and varbinary fields ("V", "Q"): the bit in
    // "_NULLFLAGS" that, when set, says the value is shorter than the field
    // and its length is in the field's last byte; -1 for every other field.
    int varLengthPosition() const { return varLengthPosition_; }
    void setVarLengthPosition(int position) { varLengthPosition_ = position; }
    // Whether the letter is one of Visual FoxPro's variable-length ones.
    bool isVarLength() const { return nativeFieldType_ == 'V' || nativeFieldType_ == 'Q'; }

    bool required() const { return required_; }
    void setRequired(bool required) { required_ = required; }

    bool isLockField() const { return isLockField_; }
    void setIsLockField(bool lock) { isLockField_ = lock; }

    int32_t autoInc() const { return autoInc_; }
    void setAutoInc(int32_t value) { autoInc_ = value; }

    int copyFrom() const { return copyFrom_; }
    void setCopyFrom(int index) { copyFrom_ = index; }

    // dBase 7 properties: one block of 3 x size bytes (default, minimum, maximum).
    void allocBuffers();
    uint8_t* defaultBuf() { return buffers_.empty() ? nullptr : buffers_.data(); }
    uint8_t* minBuf() { return buffers_.empty() ? nullptr : buffers_.data() + allocSize_; }
    uint8_t* maxBuf() { return buffers_.empty() ? nullptr : buffers_.data() + 2 * allocSize_; }
    bool hasDefault() const { return hasDefault_; }
    bool hasMin() const { return hasMin_; }
    bool hasMax() const { return hasMax_; }
    void setHasDefault(bool v) { hasDefault_ = v; }
    void setHasMin(bool v) { hasMin_ = v; }
    void setHasMax(bool v) { hasMax_ = v; }

    const uint8_t* defaultBuf() const { return buffers_.empty() ? nullptr : buffers_.data(); }
    const uint8_t* minBuf() const { return buffers_.empty() ? nullptr : buffers_.data() + allocSize_; }
    const uint8_t* maxBuf() const { return buffers_.empty() ? nullptr : buffers_.data() + 2 * allocSize_; }
    // Length for which the property buffers were allocated (0: none).
    int allocSize() const { return allocSize_; }

    // "B", "G" and "M" fields keep their value in the memo file, and so do
    // Visual FoxPro's blob fields ("W").
    bool isBlob() const;

    XBaseVersion dbfVersion() const;

    // The name shown for the field (its name).
    const std::string& displayName() const { return fieldName_; }

    // Position in the owning collection, -1 without one.
    int index() const;

    // Copies everything from another definition (name, types, sizes, flags,
    // null position, offset, autoincrement value, property buffers) and
    // remembers the source's position in its collection (copyFrom).
    void assign(const FieldDef& source);

    // Fills the definition from a field descriptor of a table being opened.
    // The letter gives the typed view and the decimal count is brought within
    // the letter's rules, but the size stays the stored width: the record
    // layout depends on it, and a value is never read beyond it.
    void loadDescriptor(const std::string& name, char letter, int size, int precision);

private:
    void nativeToFieldType();
    void fieldTypeToNative();
    void setDefaultSize();
    void checkSizePrecision();
    // The size and decimal count the letter's rules make of the given ones.
    void normalizedSizePrecision(int& size, int& precision) const;

    FieldDefs* owner_ = nullptr;
    std::string fieldName_;
    FieldType fieldType_ = ftUnknown;
    char nativeFieldType_ = 0;
    std::vector<uint8_t> buffers_;
    int size_ = 0;
    int precision_ = 0;
    bool hasDefault_ = false;
    bool hasMin_ = false;
    bool hasMax_ = false;
    int allocSize_ = 0;
    int copyFrom_ = -1;
    int offset_ = 0;
    int32_t autoInc_ = 0;
    bool required_ = false;
    bool isLockField_ = false;
    int nullPosition_ = -1;
    int varLengthPosition_ = -1;
};

// The fields of one table, in file order.
class FieldDefs {
public:
    explicit FieldDefs(XBaseVersion version = xBaseIV) : dbfVersion_(version) {}

    XBaseVersion dbfVersion() const { return dbfVersion_; }
    void setDbfVersion(XBaseVersion version) { dbfVersion_ = version; }

    FieldDef& addFieldDef();
    FieldDef& add(const std::string& name, FieldType type, int size = 0, bool required = false);

    int count() const { return static_cast<int>(items_.size()); }
    FieldDef& item(int index) { return *items_.at(index); }
    const FieldDef& item(int index) const { return *items_.at(index); }
    void clear() { items_.clear(); }
    // Position of a definition of this collection, -1 when it is not one.
    int indexOf(const FieldDef* def) const;

private:
    XBaseVersion dbfVersion_;
    std::vector<std::unique_ptr<FieldDef>> items_;
};

} // namespace karto
