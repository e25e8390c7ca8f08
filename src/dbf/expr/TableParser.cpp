#include "dbf/expr/TableParser.h"

#include <algorithm>
#include <vector>

#include "dbf/Messages.h"
#include "dbf/expr/BuiltinWords.h"
#include "dbf/expr/CustomExpressionParser.h"
#include "dbf/expr/FieldVar.h"
#include "dbf/expr/Tokenizer.h"
#include "dbf/field/FieldDef.h"
#include "dbf/field/FieldEncode.h"
#include "dbf/field/RecordFormat.h"
#include "dbf/text/EngineGlobals.h"

namespace karto::expr {

namespace {

void addAll(ExpressList& to, const ExpressList& from)
{
    for (ExprWord* w : from.words())
        to.add(w);
}

// The record length the fields imply (the deletion flag and every field).
int recordLengthOf(const FieldDefs& fields)
{
    int64_t length = 1;
    for (int i = 0; i < fields.count(); ++i) {
        const FieldDef& def = fields.item(i);
        if (def.offset() >= 0 && def.size() > 0)
            length = std::max<int64_t>(length, static_cast<int64_t>(def.offset()) + def.size());
    }
    return static_cast<int>(std::min<int64_t>(length, 1 << 20));
}

} // namespace

struct TableParser::Impl : CustomExpressionParser {
    explicit Impl(const FieldDefs& f) : fields(f), format(recordFormatOf(f)), recordLength(recordLengthOf(f))
    {
        buildBaseList();
        wordsList() = baseList;
    }

    // The built-in words as this parser sees them: the general list, the
    // string comparisons of the case mode and "=" of the match mode, RECNO.
    void buildBaseList()
    {
        const BuiltinWords& b = builtinWords();
        baseList.clear();
        addAll(baseList, b.general);
        addAll(baseList, caseInsensitive ? b.compareCI : b.compareCS);
        if (caseInsensitive)
            addAll(baseList, partialMatch ? b.partialEqualCI : b.exactEqualCI);
        else
            addAll(baseList, partialMatch ? b.partialEqualCS : b.exactEqualCS);
        baseList.add(b.recNo);
    }

    const FieldDef* findField(const std::string& name) const
    {
        for (int i = 0; i < fields.count(); ++i)
            if (compareNames(fields.item(i).fieldName(), name) == 0)
                return &fields.item(i);
        return nullptr;
    }

    FieldVar* fieldVariable(const std::string& name)
    {
        const FieldDef* def = findField(name);
        if (!def)
            throw ParserError(msg::unknownField(name));
        for (auto& v : fieldVars)
            if (&v->fieldDef() == def)
                return v.get();
        std::unique_ptr<FieldVar> var = FieldVar::create(*def, format);
        if (!var)
            throw ParserError(msg::invalidFieldTypeFor(def->fieldName()));
        if (auto* s = dynamic_cast<StringFieldVar*>(var.get())) {
            s->setRaw(rawStringFields);
            s->setCodePages(tableCodePage, engineGlobals().ansiCodePage());
        }
        fieldVars.push_back(std::move(var));
        return fieldVars.back().get();
    }

    ExprWord* unknownName(const std::string& name) override
    {
        Variable* word = fieldVariable(name)->word();
        wordsList().add(word);
        return word;
    }

    void clear()
    {
        clearExpression();
        wordsList() = baseList;
        fieldVars.clear();
        singleField = nullptr;
        isExpression = false;
        current.clear();
    }

    void parse(const std::string& text)
    {
        clear();
        const std::string_view trimmed = trimExpression(text);
        if (trimmed.size() <= kMaxExpressionLength && findField(std::string(trimmed))) {
            singleField = fieldVariable(std::string(trimmed));
        } else {
            isExpression = addExpression(text);
        }
        current = text;
    }

    const FieldDefs& fields;
    const RecordFormat format;
    const int recordLength;
    ExpressList baseList;
    std::vector<std::unique_ptr<FieldVar>> fieldVars;
    FieldVar* singleField = nullptr;
    bool isExpression = false;
    std::string current;
    bool caseInsensitive = true;
    bool partialMatch = false;
    bool rawStringFields = true;
    bool raisesIndexErrors = false;
    int tableCodePage = 0;
};

TableParser::TableParser(const FieldDefs& fields) : impl_(std::make_unique<Impl>(fields)) {}

TableParser::~TableParser() = default;

void TableParser::parseExpression(const std::string& text)
{
    try {
        impl_->parse(text);
    } catch (const ParserError& e) {
        impl_->clear();
        if (impl_->raisesIndexErrors && !dynamic_cast<const InvalidIndexError*>(&e))
            throw InvalidIndexError(e.what());
        throw;
    }
}

void TableParser::clearExpressions()
{
    impl_->clear();
}

const char* TableParser::extractFromBuffer(const uint8_t* record, int32_t recNo, bool* isNull)
{
    Impl& p = *impl_;
    const std::span<const uint8_t> rec(record, record ? static_cast<size_t>(p.recordLength) : 0);
    for (auto& v : p.fieldVars)
        v->refresh(rec);
    if (p.singleField) {
        if (isNull)
            *isNull = p.singleField->isNull();
        const FieldDef& def = p.singleField->fieldDef();
        auto* s = dynamic_cast<StringFieldVar*>(p.singleField);
        if (s && s->raw() && record && def.offset() >= 0 && def.offset() + def.size() <= p.recordLength)
            return reinterpret_cast<const char*>(record) + def.offset();
        return p.singleField->value().data();
    }
    if (!p.hasExpression()) {
        if (isNull)
            *isNull = true;
        return p.result().data();
    }
    p.setRecNo(recNo);
    p.evaluate();
    if (isNull)
        *isNull = p.resultIsNull();
    return p.result().data();
}

ExpressionType TableParser::resultType() const
{
    if (impl_->singleField)
        return impl_->singleField->type();
    return impl_->resultType();
}

int TableParser::resultLen() const
{
    switch (resultType()) {
    case etInteger:
        return 4;
    case etBoolean:
        return 1;
    case etFloat:
    case etDateTime:
    case etLargeInt:
        return 8;
    case etString:
        if (impl_->singleField && impl_->rawStringFields)
            return impl_->singleField->fieldDef().size();
        return -1;
    default:
        return -1;
    }
}

const FieldDef* TableParser::dbfFieldDef() const
{
    if (impl_->singleField)
        return &impl_->singleField->fieldDef();
    const ExprWord* root = impl_->rootOperand();
    return root ? root->fieldDef() : nullptr;
}

bool TableParser::isExpression() const
{
    return impl_->isExpression;
}

const std::string& TableParser::currentExpression() const
{
    return impl_->current;
}

bool TableParser::caseInsensitive() const
{
    return impl_->caseInsensitive;
}

void TableParser::setCaseInsensitive(bool on)
{
    if (impl_->caseInsensitive == on)
        return;
    impl_->caseInsensitive = on;
    impl_->buildBaseList();
    const std::string text = impl_->current;
    parseExpression(text);
}

bool TableParser::partialMatch() const
{
    return impl_->partialMatch;
}

void TableParser::setPartialMatch(bool on)
{
    if (impl_->partialMatch == on)
        return;
    impl_->partialMatch = on;
    impl_->buildBaseList();
    const std::string text = impl_->current;
    parseExpression(text);
}

bool TableParser::rawStringFields() const
{
    return impl_->rawStringFields;
}

void TableParser::setRawStringFields(bool on)
{
    impl_->rawStringFields = on;
    for (auto& v : impl_->fieldVars)
        if (auto* s = dynamic_cast<StringFieldVar*>(v.get()))
            s->setRaw(on);
}

void TableParser::setTableCodePage(int codePage)
{
    impl_->tableCodePage = codePage;
    for (auto& v : impl_->fieldVars)
        if (auto* s = dynamic_cast<StringFieldVar*>(v.get()))
            s->setCodePages(codePage, engineGlobals().ansiCodePage());
}

void TableParser::setDbfLangId(int langId)
{
    impl_->context().dbfLangId = langId;
}

void TableParser::setAllowMixedJoins(bool on)
{
    impl_->setAllowMixedJoins(on);
}

void TableParser::setValidatingIndex(bool on)
{
    impl_->context().validatingIndex = on;
}

void TableParser::setRaisesIndexErrors(bool on)
{
    impl_->raisesIndexErrors = on;
}

int TableParser::emptyRecordTextLength()
{
    const std::vector<uint8_t> empty = buildEmptyRecord(impl_->fields, impl_->recordLength);
    struct Validating {
        ExpressionContext& context;
        explicit Validating(ExpressionContext& c) : context(c) { context.validatingIndex = true; }
        ~Validating() { context.validatingIndex = false; }
    } validating(impl_->context());
    extractFromBuffer(empty.data(), 0);
    if (impl_->singleField)
        return static_cast<int>(impl_->singleField->value().size());
    return static_cast<int>(impl_->result().size());
}

IndexKeyParser::IndexKeyParser(const FieldDefs& fields) : TableParser(fields)
{
    setCaseInsensitive(false);
    setAllowMixedJoins(true);
    setRaisesIndexErrors(true);
}

void IndexKeyParser::parseExpression(const std::string& text)
{
    keyLength_ = 0;
    TableParser::parseExpression(text);
    int length = resultLen();
    if (length < 0) {
        // A text key: as long as the text on the empty record, computed
        // with the trimming functions keeping their text.
        try {
            length = emptyRecordTextLength();
        } catch (const KartoError& e) {
            clearExpressions();
            throw InvalidIndexError(e.what());
        }
    }
    if (length > 100) {
        clearExpressions();
        throw InvalidIndexError(msg::indexResultTooLong(text, length));
    }
    keyLength_ = length;
}

} // namespace karto::expr
