// A new production index: its tags defined, their keys taken from every
// record, sorted, and each tree built bottom-up (IndexFile.h).
#include "dbf/index/IndexFile.h"

#include <algorithm>
#include <cstring>

#include "dbf/Messages.h"
#include "dbf/index/IndexFileImpl.h"
#include "dbf/index/IndexKey.h"
#include "dbf/index/MdxLayout.h"
#include "dbf/index/TagBuilder.h"
#include "dbf/io/ByteOrder.h"
#include "dbf/table/TableFile.h"
#include "dbf/text/Collation.h"

namespace karto {

namespace {

std::string tagName(const std::string& raw)
{
    size_t b = 0;
    size_t e = raw.size();
    while (b < e && raw[b] == ' ')
        ++b;
    while (e > b && raw[e - 1] == ' ')
        --e;
    std::string name = raw.substr(b, e - b);
    for (char& c : name)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return name;
}

// One tag's keys in record order, then their order in the tree.
struct TagKeys {
    std::vector<uint8_t> keys;
    std::vector<uint8_t> sortForms;
    struct Item {
        uint64_t prefix;
        uint32_t index;
    };
    std::vector<Item> order;
};

uint64_t prefixOf(const uint8_t* form, int length)
{
    uint8_t bytes[8] = {};
    std::memcpy(bytes, form, static_cast<size_t>(std::min(length, 8)));
    return loadBE64(bytes);
}

} // namespace

void IndexFile::create(const std::vector<IndexTagDefinition>& definitions)
{
    close();
    impl_ = std::make_unique<Impl>(*this);
    if (definitions.size() > static_cast<size_t>(mdx::kMaxTags))
        throw TableError(msg::kTooManyIndexes);

    const bool vii = table_.dbfVersion() == xBaseVII;
    mdx::MdxFileHeader fh;
    fh.version = vii ? 3 : 2;
    fh.tagEntrySize = vii ? mdx::kTagEntryVII : mdx::kTagEntryIV;
    fh.pagesPerBlock = mdx::kCreatePagesPerBlock;
    fh.blockSize = mdx::kCreateBlockSize;
    fh.languageId = table_.fileLangId();
    fh.tagCount = static_cast<int>(definitions.size());
    const uint32_t ppb = static_cast<uint32_t>(fh.pagesPerBlock);
    impl_->weights = collationWeights(fh.languageId);

    // The tags: names, parsed expressions, key types and header fields.
    const size_t maxName = vii ? 32 : 10;
    for (size_t i = 0; i < definitions.size(); ++i) {
        const IndexTagDefinition& d = definitions[i];
        auto tag = std::make_unique<Impl::Tag>();
        tag->entry.name = tagName(d.name);
        if (tag->entry.name.empty() || tag->entry.name.size() > maxName)
            throw IndexError(msg::invalidIndexName(d.name));
        for (const auto& other : impl_->tags)
            if (other->entry.name == tag->entry.name)
                throw IndexError(msg::invalidIndexName(d.name));
        tag->parser = std::make_unique<expr::IndexKeyParser>(table_.fieldDefs());
        tag->parser->parseExpression(d.expression);
        char keyType = 0;
        int keyLength = 0;
        if (!mdx::keyTypeOfExpression(*tag->parser, keyType, keyLength))
            throw IndexError(msg::kInvalidIndexType);
        if (keyLength > mdx::kMaxKeyLength)
            throw IndexError(msg::indexResultTooLong(d.expression, keyLength));
        if (keyLength < 1)
            throw IndexError(msg::kInvalidIndexType);
        mdx::TagHeader& h = tag->header;
        h.keyType = keyType;
        h.keyLength = keyLength;
        h.entrySize = mdx::entrySizeFor(keyLength);
        h.maxKeys = (fh.blockSize - mdx::kBlockHead) / h.entrySize;
        h.flags = static_cast<uint8_t>((d.descending ? mdx::kFlagDescending : 0) |
                                       (keyType == 'C' ? mdx::kFlagCharacter : 0) |
                                       (d.uniqueMode == iuDistinct ? mdx::kFlagDistinct : 0) |
                                       (d.uniqueMode == iuUnique ? mdx::kFlagUnique : 0));
        h.uniqueByte = d.uniqueMode == iuDistinct ? 0x21 : (d.uniqueMode == iuUnique ? 1 : 0);
        h.expression = d.expression;
        tag->entry.keyType = keyType;
        tag->entry.keyFormat = tag->parser->isExpression() ? 0 : 16;
        tag->compare = mdx::KeyComparator(keyType, keyLength, impl_->weights, d.descending);
        impl_->tags.push_back(std::move(tag));
    }

    // Every record's keys (deleted records included).
    const size_t tagCount = impl_->tags.size();
    std::vector<TagKeys> keys(tagCount);
    const int32_t records = table_.recordCount();
    for (size_t i = 0; i < tagCount; ++i) {
        const Impl::Tag& t = *impl_->tags[i];
        keys[i].keys.reserve(static_cast<size_t>(records) * static_cast<size_t>(t.header.keyLength));
    }
    const bool wasAhead = table_.bufferAhead();
    table_.setBufferAhead(true);
    std::vector<uint32_t> recNos;
    recNos.reserve(static_cast<size_t>(records));
    try {
        for (int32_t n = 1; n <= records; ++n) {
            const uint8_t* record = table_.recordPtr(n);
            if (!record)
                break;
            recNos.push_back(static_cast<uint32_t>(n));
            for (size_t i = 0; i < tagCount; ++i) {
                Impl::Tag& t = *impl_->tags[i];
                std::vector<uint8_t>& k = keys[i].keys;
                const size_t at = k.size();
                k.resize(at + static_cast<size_t>(t.header.keyLength));
                mdx::buildTagKey(t, record, n, k.data() + at);
            }
            if (n % 65536 == 0)
                table_.doProgress(n, records, "");
        }
    } catch (...) {
        table_.setBufferAhead(wasAhead);
        throw;
    }
    table_.setBufferAhead(wasAhead);
    const size_t count = recNos.size();

    // Sorted: by sort form (inverted for descending tags), then record number.
    std::vector<std::vector<uint8_t>> treeKeys(tagCount);
    std::vector<std::vector<uint32_t>> treeRecNos(tagCount);
    for (size_t i = 0; i < tagCount; ++i) {
        const Impl::Tag& t = *impl_->tags[i];
        TagKeys& k = keys[i];
        const int kl = t.header.keyLength;
        const int sl = t.compare.sortFormLength();
        k.sortForms.resize(count * static_cast<size_t>(sl));
        k.order.resize(count);
        for (size_t r = 0; r < count; ++r) {
            uint8_t* form = k.sortForms.data() + r * static_cast<size_t>(sl);
            t.compare.sortForm(k.keys.data() + r * static_cast<size_t>(kl), form);
            if (t.header.descending())
                for (int b = 0; b < sl; ++b)
                    form[b] = static_cast<uint8_t>(255 - form[b]);
            k.order[r] = {prefixOf(form, sl), static_cast<uint32_t>(r)};
        }
        const uint8_t* forms = k.sortForms.data();
        const size_t usl = static_cast<size_t>(sl);
        std::sort(k.order.begin(), k.order.end(), [forms, usl](const TagKeys::Item& a, const TagKeys::Item& b) {
            if (a.prefix != b.prefix)
                return a.prefix < b.prefix;
            if (usl > 8) {
                const int r = std::memcmp(forms + a.index * usl + 8, forms + b.index * usl + 8, usl - 8);
                if (r != 0)
                    return r < 0;
            }
            return a.index < b.index;
        });
        // A unique tag keeps the first record of each key; a distinct tag
        // refuses a key twice.
        std::vector<uint8_t>& out = treeKeys[i];
        std::vector<uint32_t>& outRec = treeRecNos[i];
        out.reserve(count * static_cast<size_t>(kl));
        outRec.reserve(count);
        const bool single = t.header.uniqueMode() != iuNormal;
        for (size_t r = 0; r < count; ++r) {
            const uint32_t index = k.order[r].index;
            if (single && r > 0) {
                const uint32_t prev = k.order[r - 1].index;
                if (std::memcmp(forms + prev * usl, forms + index * usl, usl) == 0) {
                    if (t.header.uniqueMode() == iuDistinct)
                        throw KeyViolationError(msg::keyViolation(
                            t.entry.name, static_cast<int>(recNos[prev]),
                            mdx::keyText(t.header.keyType, k.keys.data() + index * static_cast<size_t>(kl), kl)));
                    continue;
                }
            }
            out.insert(out.end(), k.keys.begin() + index * static_cast<size_t>(kl),
                       k.keys.begin() + (index + 1) * static_cast<size_t>(kl));
            outRec.push_back(recNos[index]);
        }
        k = TagKeys{};
    }

    // The file: header area, one block per tag header, then the trees.
    setMode(pfExclusiveCreate);
    openFile();
    try {
        const uint32_t areaPages = fh.areaPages();
        uint32_t page = areaPages + static_cast<uint32_t>(tagCount) * ppb;
        std::vector<uint8_t> run;
        int64_t runAt = static_cast<int64_t>(page) * mdx::kPageSize;
        auto writeBlock = [&](uint32_t, const uint8_t* block) {
            run.insert(run.end(), block, block + fh.blockSize);
            if (run.size() >= (1u << 20)) {
                checkedWriteAt(runAt, run.data(), static_cast<int64_t>(run.size()));
                runAt += static_cast<int64_t>(run.size());
                run.clear();
            }
        };
        for (size_t i = 0; i < tagCount; ++i) {
            Impl::Tag& t = *impl_->tags[i];
            t.entry.headerPage = areaPages + static_cast<uint32_t>(i) * ppb;
            const mdx::TreeShape shape{t.header.keyLength, t.header.entrySize, t.header.maxKeys, fh.blockSize,
                                       fh.pagesPerBlock};
            const mdx::BuiltTree built =
                mdx::buildTree(shape, treeKeys[i].data(), treeRecNos[i].data(), treeRecNos[i].size(), page, writeBlock);
            t.header.rootPage = built.rootPage;
            t.header.pageCount = built.pageCount;
            page += built.pageCount;
            treeKeys[i] = {};
            treeRecNos[i] = {};
        }
        if (!run.empty())
            checkedWriteAt(runAt, run.data(), static_cast<int64_t>(run.size()));
        fh.nextFreePage = page;

        std::vector<uint8_t> tagHeaders(tagCount * static_cast<size_t>(fh.blockSize), 0);
        for (size_t i = 0; i < tagCount; ++i) {
            impl_->tags[i]->header.store(tagHeaders.data() + i * static_cast<size_t>(fh.blockSize));
            fh.tags.push_back(impl_->tags[i]->entry);
        }
        if (!tagHeaders.empty())
            checkedWriteAt(static_cast<int64_t>(areaPages) * mdx::kPageSize, tagHeaders.data(),
                           static_cast<int64_t>(tagHeaders.size()));
        // The table's name without its folder and extension.
        std::string base = table_.fileName();
        const size_t slash = base.find_last_of('/');
        if (slash != std::string::npos)
            base = base.substr(slash + 1);
        const size_t dot = base.find_last_of('.');
        if (dot != std::string::npos)
            base = base.substr(0, dot);
        const std::vector<uint8_t> area = fh.build(base);
        checkedWriteAt(0, area.data(), static_cast<int64_t>(area.size()));
        closeFile();
    } catch (...) {
        try {
            closeFile();
        } catch (...) {
        }
        deleteFile();
        impl_->tags.clear();
        throw;
    }
    impl_->tags.clear();
    setMode(pfExclusiveOpen);
    // The table names its production index from now on.
    if (table_.mode() != pfReadOnly && table_.mode() != pfNone)
        table_.setProductionIndexFlag();
}

std::vector<IndexTagDefinition> IndexFile::readTagDefinitions(const std::string& fileName)
{
    PagedFile file;
    file.setFileName(fileName);
    file.setMode(pfNone);
    file.openFile();
    const int64_t size = file.streamSize();
    uint8_t first[mdx::kPageSize] = {};
    file.readAt(0, first, mdx::kPageSize);
    mdx::MdxFileHeader fh = mdx::MdxFileHeader::parseBase(first);
    std::vector<uint8_t> area(static_cast<size_t>(fh.areaSize()), 0);
    file.readAt(0, area.data(), static_cast<int64_t>(area.size()));
    fh.parseTags(area.data(), size);
    std::vector<IndexTagDefinition> out;
    for (const mdx::MdxTagEntry& e : fh.tags) {
        uint8_t bytes[mdx::kTagHeaderBytes] = {};
        if (file.readAt(static_cast<int64_t>(e.headerPage) * mdx::kPageSize, bytes, mdx::kTagHeaderBytes) !=
            mdx::kTagHeaderBytes)
            throw IndexError(msg::kInvalidMdxFile);
        const mdx::TagHeader h = mdx::TagHeader::parse(bytes, fh.blockSize);
        IndexTagDefinition d;
        d.name = e.name;
        d.expression = h.expression;
        d.descending = h.descending();
        d.uniqueMode = h.uniqueMode();
        out.push_back(d);
    }
    file.closeFile();
    return out;
}

} // namespace karto
