// Opening a production index, and keeping its tags up to date when records
// are appended, changed or taken back (IndexFile.h).
#include "dbf/index/IndexFile.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "dbf/Messages.h"
#include "dbf/index/IndexFileImpl.h"
#include "dbf/index/IndexKey.h"
#include "dbf/index/MdxLayout.h"
#include "dbf/io/ByteOrder.h"
#include "dbf/table/TableFile.h"
#include "dbf/text/Collation.h"
#include "dbf/text/EngineGlobals.h"
#include "dbf/text/LanguageDriver.h"

namespace karto {

using expr::ExpressionType;

namespace {

[[noreturn]] void invalidFile()
{
    throw IndexError(msg::kInvalidMdxFile);
}

bool isInvalidFileError(const std::exception& e)
{
    return std::strcmp(e.what(), msg::kInvalidMdxFile) == 0;
}

// The key violation of a tag's new key, held by record existing.
std::string violationText(const IndexFile::Impl::Tag& tag, uint32_t existing)
{
    return msg::keyViolation(tag.entry.name, static_cast<int>(existing),
                             mdx::keyText(tag.header.keyType, tag.newKey.data(), tag.header.keyLength));
}

// Inserts the tag's new key for the record; false when a distinct tag holds
// it already (the violation then waits in pendingError). A unique tag that
// holds it keeps its entry and the record gets none.
bool insertNewKey(IndexFile::Impl::Tag& tag, int32_t recNo, std::string& pendingError)
{
    uint32_t existing = 0;
    switch (tag.tree->insert(tag.newKey.data(), static_cast<uint32_t>(recNo), &existing)) {
    case mdx::InsertOutcome::Violation:
        pendingError = violationText(tag, existing);
        return false;
    case mdx::InsertOutcome::Inserted:
        tag.touched = true;
        break;
    case mdx::InsertOutcome::Present:
        break;
    }
    return true;
}

// A collation counts as available when it is for the user's locale or its
// code page is one the engine converts.
bool localeAvailable(int id)
{
    const EngineGlobals& g = engineGlobals();
    return languageDriverLocale(id) == g.userLocale() ||
           g.codePageInstalled(languageDriverToCodePage(id));
}

bool isBinaryFieldKey(char keyType)
{
    return keyType == '+' || keyType == '@' || keyType == 'I' || keyType == 'O';
}

} // namespace

namespace mdx {

bool keyTypeOfExpression(const expr::IndexKeyParser& parser, char& keyType, int& keyLength)
{
    switch (parser.resultType()) {
    case expr::etString:
        keyType = 'C';
        keyLength = parser.keyLength();
        return true;
    case expr::etInteger:
    case expr::etLargeInt:
    case expr::etFloat:
        keyType = 'N';
        keyLength = kNumericKeyLength;
        return true;
    case expr::etDateTime:
        keyType = 'D';
        keyLength = kDateKeyLength;
        return true;
    default:
        return false;
    }
}

void buildTagKey(IndexFile::Impl::Tag& tag, const uint8_t* record, int32_t recNo, uint8_t* out)
{
    const int length = tag.header.keyLength;
    if (tag.fieldBytes) {
        std::memcpy(out, record + tag.fieldOffset, static_cast<size_t>(length));
        return;
    }
    bool isNull = false;
    const char* r = tag.parser->extractFromBuffer(record, recNo, &isNull);
    const ExpressionType type = tag.parser->resultType();
    switch (tag.header.keyType) {
    case 'C':
        if (type == expr::etString && r) {
            const int n = tag.parser->resultLen();
            characterKey(r, n >= 0 ? n : static_cast<int>(strnlen(r, static_cast<size_t>(length))), length,
                         out);
            return;
        }
        break;
    case 'N':
    case 'F':
        if (!r)
            break;
        if (type == expr::etInteger) {
            int32_t v;
            std::memcpy(&v, r, sizeof v);
            numericKeyFromInteger(v, out);
            return;
        }
        if (type == expr::etLargeInt) {
            int64_t v;
            std::memcpy(&v, r, sizeof v);
            numericKeyFromInteger(v, out);
            return;
        }
        if (type == expr::etFloat) {
            double v;
            std::memcpy(&v, r, sizeof v);
            numericKeyFromDouble(v, out);
            return;
        }
        break;
    case 'D':
        if (type == expr::etDateTime && r) {
            double v;
            std::memcpy(&v, r, sizeof v);
            dateKey(v, isNull, out);
            return;
        }
        break;
    default:
        break;
    }
    throw IndexError(msg::kInvalidIndexType);
}

} // namespace mdx

IndexFile::IndexFile(TableFile& table) : impl_(std::make_unique<Impl>(*this)), table_(table)
{
    setPageOffsetByHeader(false);
}

IndexFile::~IndexFile()
{
    try {
        close();
    } catch (...) {
    }
}

LocaleError IndexFile::localeError() const
{
    return impl_->localeError;
}

void IndexFile::setLockWaitMillis(int millis)
{
    impl_->lockWaitMillis = millis;
}

bool IndexFile::usable() const
{
    return active() && impl_->localeError == leNone && !impl_->invalid;
}

std::vector<IndexTagInfo> IndexFile::tags() const
{
    std::vector<IndexTagInfo> out;
    for (const auto& t : impl_->tags) {
        IndexTagInfo info;
        info.name = t->entry.name;
        info.expression = t->header.expression;
        info.keyType = t->header.keyType;
        info.keyLength = t->header.keyLength;
        info.descending = t->header.descending();
        info.uniqueMode = t->header.uniqueMode();
        out.push_back(info);
    }
    return out;
}

void IndexFile::open()
{
    close();
    impl_ = std::make_unique<Impl>(*this);
    openFile();
    try {
        const int64_t size = streamSize();
        uint8_t first[mdx::kPageSize] = {};
        readAt(0, first, mdx::kPageSize);
        mdx::MdxFileHeader fh = mdx::MdxFileHeader::parseBase(first);

        // The collation: the table's language, or the index's when the
        // table names none; two different ones leave the index unusable.
        const int tableId = table_.fileLangId();
        const int indexId = fh.languageId;
        LocaleError error = leNone;
        const int collationId = tableId != 0 ? tableId : indexId;
        if (tableId != 0 && indexId != 0 && indexId != tableId)
            error = leTableIndexMismatch;
        impl_->weights = collationWeights(collationId);
        if (error != leNone && impl_->weights && !localeAvailable(collationId))
            error = leNotAvailable;
        if (error != leNone) {
            impl_->localeError = error;
            closeFile();
            return;
        }

        std::vector<uint8_t> area(static_cast<size_t>(fh.areaSize()), 0);
        readAt(0, area.data(), static_cast<int64_t>(area.size()));
        fh.parseTags(area.data(), size);
        impl_->store.configure(fh.pagesPerBlock, fh.areaPages(), fh.nextFreePage);

        for (size_t i = 0; i < fh.tags.size(); ++i) {
            auto tag = std::make_unique<Impl::Tag>();
            tag->entry = fh.tags[i];
            uint8_t bytes[mdx::kTagHeaderBytes] = {};
            if (readAt(static_cast<int64_t>(tag->entry.headerPage) * mdx::kPageSize, bytes,
                       mdx::kTagHeaderBytes) != mdx::kTagHeaderBytes)
                invalidFile();
            tag->header = mdx::TagHeader::parse(bytes, fh.blockSize);
            tag->parser = std::make_unique<expr::IndexKeyParser>(table_.fieldDefs());
            tag->parser->parseExpression(tag->header.expression);

            // The stored key type and length must be what the expression gives.
            const char stored = tag->header.keyType;
            char keyType = 0;
            int keyLength = 0;
            if (isBinaryFieldKey(stored)) {
                const FieldDef* field = tag->parser->dbfFieldDef();
                keyLength = (stored == '+' || stored == 'I') ? 4 : 8;
                if (!field || tag->parser->isExpression() || field->size() < keyLength ||
                    field->nativeFieldType() != stored)
                    invalidFile();
                keyType = stored;
                tag->fieldBytes = true;
                tag->fieldOffset = field->offset();
            } else if (!mdx::keyTypeOfExpression(*tag->parser, keyType, keyLength)) {
                invalidFile();
            }
            const char storedType = stored == 'F' ? 'N' : stored;
            if (storedType != keyType || tag->header.keyLength != keyLength)
                invalidFile();

            tag->compare = mdx::KeyComparator(stored, keyLength, impl_->weights, tag->header.descending());
            tag->oldKey.assign(static_cast<size_t>(keyLength), 0);
            tag->newKey.assign(static_cast<size_t>(keyLength), 0);
            tag->tree = std::make_unique<mdx::TagTree>(impl_->store, static_cast<int>(i), tag->header,
                                                       tag->compare);
            tag->tree->checkRoot();
            impl_->tags.push_back(std::move(tag));
        }
        impl_->fileHeader = std::move(fh);
    } catch (...) {
        impl_->tags.clear();
        impl_->store.forgetAll();
        try {
            closeFile();
        } catch (...) {
        }
        throw;
    }
}

void IndexFile::flush()
{
    if (!active() || impl_->localeError != leNone)
        return;
    impl_->store.writeChanged();
    if (impl_->store.nextFreeChanged()) {
        uint8_t next[4];
        storeLE32(next, impl_->store.nextFreePage());
        checkedWriteAt(32, next, 4);
        uint8_t date[3];
        mdx::stampDate(date);
        checkedWriteAt(44, date, 3);
        impl_->store.clearNextFreeChanged();
    }
    for (auto& t : impl_->tags) {
        if (!t->tree->headerChanged())
            continue;
        uint8_t fields[8];
        storeLE32(fields, t->header.rootPage);
        storeLE32(fields + 4, t->header.pageCount);
        checkedWriteAt(static_cast<int64_t>(t->entry.headerPage) * mdx::kPageSize, fields, 8);
        t->tree->clearHeaderChanged();
    }
}

void IndexFile::close()
{
    if (!impl_)
        return;
    struct Finish {
        IndexFile& f;
        ~Finish()
        {
            try {
                f.closeFile();
            } catch (...) {
            }
            f.impl_->tags.clear();
            f.impl_->store.forgetAll();
        }
    } finish{*this};
    if (active() && !impl_->invalid)
        flush();
}

// --- Changes ---------------------------------------------------------------------

void IndexFile::beginChange()
{
    if (!active() || impl_->localeError != leNone)
        throw TableError(msg::kReadOnlyDataset);
    if (impl_->invalid)
        invalidFile();
    if (needLocks()) {
        // Page 0 is the lock of every tag change; the wait is bounded.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(impl_->lockWaitMillis);
        while (!lockPage(0, false)) {
            if (std::chrono::steady_clock::now() >= until)
                throw IndexError(msg::kWriteError);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        impl_->locked = true;
        try {
            refreshShared();
        } catch (...) {
            unlockPage(0);
            impl_->locked = false;
            throw;
        }
    }
    impl_->store.begin();
    for (auto& t : impl_->tags) {
        t->touched = false;
        t->before = t->tree->snapshot();
    }
}

void IndexFile::refreshShared()
{
    // Another program may have allocated blocks or changed tags meanwhile.
    int64_t end = 36;
    for (const auto& t : impl_->tags)
        end = std::max<int64_t>(end, static_cast<int64_t>(t->entry.headerPage) * mdx::kPageSize + 24);
    std::vector<uint8_t>& heads = impl_->heads;
    impl_->headsInOnePiece = end <= Impl::kHeadsSpan;
    if (!impl_->headsInOnePiece)
        end = 36;
    heads.resize(static_cast<size_t>(end));
    if (readAt(0, heads.data(), end) != end)
        invalidFile();
    impl_->store.setNextFreePage(loadLE32(heads.data() + 32));
    for (size_t i = 0; i < impl_->tags.size(); ++i) {
        Impl::Tag& t = *impl_->tags[i];
        const int64_t at = static_cast<int64_t>(t.entry.headerPage) * mdx::kPageSize;
        uint8_t* head = impl_->headsInOnePiece ? heads.data() + at : t.head;
        if (!impl_->headsInOnePiece && readAt(at, head, 24) != 24)
            invalidFile();
        if (head[20] != t.header.counter) {
            t.header.rootPage = loadLE32(head);
            t.header.pageCount = loadLE32(head + 4);
            t.header.counter = head[20];
            impl_->store.forgetOwner(static_cast<int>(i));
        }
    }
}

void IndexFile::commitChange()
{
    if (impl_->locked) {
        struct Unlock {
            IndexFile& f;
            ~Unlock()
            {
                f.unlockPage(0);
                f.impl_->locked = false;
            }
        } unlock{*this};
        try {
            impl_->store.commit();
            impl_->store.writeChanged();
            // The next free page and every changed tag's root, page count
            // and counter, in one write over what was read under the lock.
            std::vector<uint8_t>& heads = impl_->heads;
            int64_t from = -1;
            int64_t to = -1;
            auto span = [&](int64_t a, int64_t b) {
                from = from < 0 ? a : std::min(from, a);
                to = std::max(to, b);
            };
            if (impl_->store.nextFreeChanged()) {
                storeLE32(heads.data() + 32, impl_->store.nextFreePage());
                span(32, 36);
                impl_->store.clearNextFreeChanged();
            }
            for (auto& t : impl_->tags) {
                if (!t->touched && !t->tree->headerChanged())
                    continue;
                if (t->touched)
                    t->header.counter = static_cast<uint8_t>(t->header.counter + 1);
                const int64_t at = static_cast<int64_t>(t->entry.headerPage) * mdx::kPageSize;
                t->tree->clearHeaderChanged();
                if (!impl_->headsInOnePiece) {
                    t->header.storeTreeFields(t->head);
                    checkedWriteAt(at, t->head, 21);
                    continue;
                }
                t->header.storeTreeFields(heads.data() + at);
                span(at, at + 21);
            }
            if (from >= 0)
                checkedWriteAt(from, heads.data() + from, to - from);
        } catch (...) {
            // What reached the disk is unknown: no more changes.
            impl_->store.forgetAll();
            impl_->invalid = true;
            throw;
        }
        if (impl_->store.overBudget())
            impl_->store.trim();
        return;
    }
    impl_->store.commit();
    // An unshared index keeps its changes until flush, within bounds.
    if (impl_->store.overBudget()) {
        flush();
        impl_->store.trim();
    }
}

void IndexFile::rollbackChange()
{
    impl_->store.rollback();
    for (auto& t : impl_->tags)
        t->tree->restore(t->before);
    if (impl_->locked) {
        unlockPage(0);
        impl_->locked = false;
    }
}

template <typename Change>
bool IndexFile::runChange(Change&& change)
{
    beginChange();
    try {
        if (!change()) {
            rollbackChange();
            return false;
        }
    } catch (const std::exception& e) {
        if (isInvalidFileError(e))
            impl_->invalid = true;
        rollbackChange();
        throw;
    } catch (...) {
        rollbackChange();
        throw;
    }
    commitChange();
    return true;
}

void IndexFile::buildKeys(int32_t recNo, const uint8_t* oldRecord, const uint8_t* newRecord)
{
    for (auto& t : impl_->tags) {
        if (oldRecord)
            mdx::buildTagKey(*t, oldRecord, recNo, t->oldKey.data());
        if (newRecord)
            mdx::buildTagKey(*t, newRecord, recNo, t->newKey.data());
    }
}


bool IndexFile::insert(int32_t recNo, const uint8_t* record)
{
    if (impl_->tags.empty() && active() && impl_->localeError == leNone && !impl_->invalid)
        return true;
    buildKeys(recNo, nullptr, record);
    return runChange([&] {
        for (auto& t : impl_->tags) {
            if (!insertNewKey(*t, recNo, impl_->insertError))
                return false;
        }
        return true;
    });
}

void IndexFile::remove(int32_t recNo, const uint8_t* record)
{
    if (impl_->tags.empty() && active() && impl_->localeError == leNone)
        return;
    buildKeys(recNo, record, nullptr);
    runChange([&] {
        for (size_t i = 0; i < impl_->tags.size(); ++i) {
            Impl::Tag& t = *impl_->tags[i];
            if (t.tree->remove(t.oldKey.data(), static_cast<uint32_t>(recNo))) {
                t.touched = true;
                if (t.header.uniqueMode() == iuUnique)
                    refillUnique(i, recNo);
            } else if (t.header.uniqueMode() != iuUnique) {
                impl_->invalid = true;   // raised at the next change
            }
        }
        return true;
    });
}

bool IndexFile::update(int32_t recNo, const uint8_t* oldRecord, const uint8_t* newRecord)
{
    if (impl_->tags.empty() && active() && impl_->localeError == leNone && !impl_->invalid)
        return true;
    buildKeys(recNo, oldRecord, newRecord);
    bool anyChange = false;
    for (auto& t : impl_->tags)
        if (!t->compare.equal(t->oldKey.data(), t->newKey.data()))
            anyChange = true;
    if (!anyChange && !impl_->invalid)
        return true;   // no key changed: no block is touched
    return runChange([&] {
        for (size_t i = 0; i < impl_->tags.size(); ++i) {
            auto& t = impl_->tags[i];
            if (t->compare.equal(t->oldKey.data(), t->newKey.data()))
                continue;
            if (t->tree->remove(t->oldKey.data(), static_cast<uint32_t>(recNo))) {
                t->touched = true;
                if (t->header.uniqueMode() == iuUnique)
                    refillUnique(i, recNo);
            } else if (t->header.uniqueMode() != iuUnique) {
                invalidFile();   // the record's entry is missing
            }
            if (!insertNewKey(*t, recNo, impl_->insertError))
                return false;
        }
        return true;
    });
}

void IndexFile::refillUnique(size_t tag, int32_t leaving)
{
    Impl::Tag& t = *impl_->tags[tag];
    std::vector<uint8_t> key(t.oldKey.size());
    // Read in windows for the walk, as the file holds the records now.
    const bool ahead = table_.bufferAhead();
    table_.invalidateWindow();
    table_.setBufferAhead(true);
    struct Restore {
        TableFile& table;
        bool ahead;
        ~Restore()
        {
            table.invalidateWindow();
            table.setBufferAhead(ahead);
        }
    } restore{table_, ahead};
    const int32_t count = table_.recordCount();
    for (int32_t n = 1; n <= count; ++n) {
        if (n == leaving)
            continue;
        const uint8_t* record = table_.recordPtr(n);
        if (!record)
            break;
        mdx::buildTagKey(t, record, n, key.data());
        if (t.compare.equal(key.data(), t.oldKey.data())) {
            if (t.tree->insert(key.data(), static_cast<uint32_t>(n)) == mdx::InsertOutcome::Inserted)
                t.touched = true;
            return;
        }
    }
}

// --- Asking ahead ------------------------------------------------------------------

bool IndexFile::hasDistinctTags() const
{
    for (const auto& t : impl_->tags)
        if (t->header.uniqueMode() == iuDistinct)
            return true;
    return false;
}

std::vector<size_t> IndexFile::distinctTagsAhead(int32_t recNo, const uint8_t* record)
{
    std::vector<size_t> out;
    if (!hasDistinctTags())
        return out;
    // The autoincrement fields changed twice: a key that changes with them
    // is known only when the record is appended.
    std::vector<uint8_t> shifted[2];
    if (table_.autoIncPresent()) {
        const FieldDefs& defs = table_.fieldDefs();
        const size_t size = static_cast<size_t>(table_.recordSize());
        for (int v = 0; v < 2; ++v) {
            shifted[v].assign(record, record + size);
            for (int i = 0; i < defs.count(); ++i) {
                const FieldDef& f = defs.item(i);
                if (f.nativeFieldType() != '+' || f.size() < 4)
                    continue;
                shifted[v][static_cast<size_t>(f.offset()) + (v == 0 ? 3 : 1)] ^= v == 0 ? 0x01 : 0x10;
            }
        }
    }
    std::vector<uint8_t> other;
    for (size_t i = 0; i < impl_->tags.size(); ++i) {
        Impl::Tag& t = *impl_->tags[i];
        if (t.header.uniqueMode() != iuDistinct)
            continue;
        mdx::buildTagKey(t, record, recNo, t.newKey.data());
        bool follows = false;
        other.resize(t.newKey.size());
        for (const auto& s : shifted) {
            if (s.empty())
                continue;
            mdx::buildTagKey(t, s.data(), recNo, other.data());
            follows = follows || !t.compare.equal(other.data(), t.newKey.data());
        }
        if (!follows)
            out.push_back(i);
    }
    return out;
}

bool IndexFile::wouldRefuse(int32_t recNo, const uint8_t* record)
{
    const std::vector<size_t> tags = distinctTagsAhead(recNo, record);
    if (tags.empty())
        return false;
    bool refused = false;
    // Inserted as an append would, then always taken back.
    runChange([&] {
        for (const size_t i : tags) {
            if (!insertNewKey(*impl_->tags[i], recNo, impl_->insertError)) {
                refused = true;
                break;
            }
        }
        return false;
    });
    return refused;
}

std::vector<DistinctTagKey> IndexFile::distinctKeys(int32_t recNo, const uint8_t* record)
{
    std::vector<DistinctTagKey> out;
    for (const size_t i : distinctTagsAhead(recNo, record)) {
        const Impl::Tag& t = *impl_->tags[i];
        DistinctTagKey k;
        k.tag = t.entry.name;
        k.key.resize(static_cast<size_t>(t.compare.sortFormLength()));
        t.compare.sortForm(t.newKey.data(), reinterpret_cast<uint8_t*>(k.key.data()));
        k.text = mdx::keyText(t.header.keyType, t.newKey.data(), t.header.keyLength);
        out.push_back(std::move(k));
    }
    return out;
}

void IndexFile::raiseInsertError()
{
    if (impl_->insertError.empty())
        return;
    std::string message;
    message.swap(impl_->insertError);
    throw KeyViolationError(message);
}

} // namespace karto
