#include "dbf/table/TableFile.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <exception>

#include <dirent.h>
#include <sys/stat.h>

#include "dbf/text/EngineGlobals.h"
#include "dbf/Error.h"
#include "dbf/index/IndexFile.h"
#include "dbf/io/ByteOrder.h"
#include "dbf/text/LanguageDriver.h"
#include "dbf/Messages.h"

namespace karto {

namespace {

constexpr int kMainHeaderSize = 32;
constexpr int kBaseVIIHeaderSize = 68;
constexpr int kDescriptorSize = 32;
constexpr int kDescriptorVIISize = 48;
constexpr uint8_t kTerminator = 0x0D;
constexpr uint8_t kEndMark = 0x1A;
constexpr int kMaxFields = 4095;

std::string upperAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

char upperLetter(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

[[noreturn]] void invalidFile()
{
    throw TableError(msg::kInvalidDbfFile);
}

// The code page a dBase 7 language driver name stands for: "DBWIN..." 1252,
// "DBHEBREW" 1255, "DB" + digits (852, 1250 ...); "FOXWIN" 1252, "FOX" +
// three characters read as digits; anything else 0.
int codePageOfDriverName(const std::string& rawName)
{
    const std::string name = upperAscii(rawName);
    auto charAt = [&](size_t oneBased) -> char {
        return oneBased >= 1 && oneBased <= name.size() ? name[oneBased - 1] : '\0';
    };
    auto number = [&](size_t from, size_t count) -> int {
        int value = 0;
        for (size_t i = 0; i < count; ++i) {
            const char c = charAt(from + i);
            if (c < '0' || c > '9')
                return 0;
            value = value * 10 + (c - '0');
        }
        return value;
    };
    auto startsAt = [&](size_t pos, const char* text) {
        const size_t n = std::strlen(text);
        return name.size() >= pos + n && name.compare(pos, n, text) == 0;
    };
    if (startsAt(0, "DB")) {
        if (startsAt(2, "WIN"))
            return 1252;
        if (startsAt(2, "HEBREW"))
            return 1255;
        int value = number(3, 3);
        const char sixth = charAt(6);
        if (sixth >= '0' && sixth <= '9')
            value = value * 10 + (sixth - '0');
        return value;
    }
    if (startsAt(0, "FOX")) {
        if (startsAt(5, "WIN"))
            return 1252;
        return number(6, 3);
    }
    return 0;
}

bool fileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

int tableLevelOf(XBaseVersion version)
{
    switch (version) {
    case xBaseIII: return 3;
    case xBaseIV: return 4;
    case xBaseV: return 5;
    case xFoxPro: return 25;
    case xBaseVII: return 7;
    default: return 0;
    }
}

XBaseVersion versionOfTableLevel(int level)
{
    switch (level) {
    case 3: return xBaseIII;
    case 4: return xBaseIV;
    case 5: return xBaseV;
    case 25: return xFoxPro;
    case 7: return xBaseVII;
    default: return xUnknown;
    }
}

TableFile::TableFile() = default;

TableFile::~TableFile()
{
    try {
        close();
    } catch (...) {
        // The paged file's destructor closes the descriptor.
    }
}

std::string TableFile::companionFile(const std::string& tablePath, const std::string& extension)
{
    if (tablePath.empty())
        return {};
    const size_t slash = tablePath.find_last_of('/');
    const size_t dot = tablePath.find_last_of('.');
    const std::string stem =
        (dot != std::string::npos && (slash == std::string::npos || dot > slash))
            ? tablePath.substr(0, dot)
            : tablePath;
    // The extension in the table's own letter case first, then the other.
    const std::string tableExt = stem.size() < tablePath.size() ? tablePath.substr(stem.size()) : "";
    const bool upperTable = !tableExt.empty() && upperAscii(tableExt) == tableExt &&
                            tableExt.find_first_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos &&
                            tableExt.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos;
    std::string lowerExt = extension;
    for (char& c : lowerExt)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    const std::string upperExt = upperAscii(extension);
    for (const std::string& ext : upperTable ? std::vector<std::string>{upperExt, lowerExt}
                                             : std::vector<std::string>{lowerExt, upperExt}) {
        if (fileExists(stem + ext))
            return stem + ext;
    }
    // Any other letter case, of the name too.
    const std::string dir = slash == std::string::npos ? "." : tablePath.substr(0, slash);
    const std::string wanted =
        upperAscii((slash == std::string::npos ? stem : stem.substr(slash + 1)) + extension);
    std::string found;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            if (upperAscii(e->d_name) == wanted) {
                const std::string path =
                    (slash == std::string::npos ? std::string() : dir + "/") + e->d_name;
                if (fileExists(path)) {
                    found = path;
                    break;
                }
            }
        }
        ::closedir(d);
    }
    return found;
}

// --- Open and close ------------------------------------------------------------

void TableFile::open()
{
    if (active())
        return;
    forceClose_ = false;
    openFile();
    if (fileCreated())
        return;   // the creator writes the structure
    try {
        readStructure();
    } catch (...) {
        closeAfterFailure();
        throw;
    }
    if (forceClose_) {
        closeAfterFailure();
        throw AbortError();
    }
}

void TableFile::closeAfterFailure()
{
    try {
        close();
    } catch (...) {
        // The first failure is the one to report.
    }
}

bool TableFile::writesAllowed() const
{
    return mode() != pfReadOnly && mode() != pfNone;
}

void TableFile::readStructure()
{
    fieldDefs_.clear();
    lockField_ = nullptr;
    nullField_ = nullptr;
    terminatorOffset_ = -1;
    hasMemoFields_ = false;
    memoFileName_.clear();
    memoFilePresent_ = false;
    mdxFileName_.clear();
    index_.reset();
    indexProblem_.clear();
    languageDriverName_.clear();
    headerRecordCount_ = 0;

    // The main header.
    setHeaderOffset(0);
    setHeaderSize(kMainHeaderSize);
    if (loadHeader() < kMainHeaderSize)
        invalidFile();
    const uint8_t versionByte = header()[0];
    switch (versionByte & 0x07) {
    case 2:
    case 5:
        dbfVersion_ = xFoxPro;
        break;
    case 3:
        dbfVersion_ = header()[29] == 0 ? xBaseIII : xBaseV;
        break;
    case 4:
        dbfVersion_ = xBaseVII;
        break;
    default:
        if (versionByte == 0x30 || versionByte == 0x31)
            dbfVersion_ = xFoxPro;
        else
            invalidFile();
        break;
    }
    fieldDefs_.setDbfVersion(dbfVersion_);

    const int32_t recordSizeWord = loadLE16(header() + 10);
    const int32_t headerSizeWord = loadLE16(header() + 8);
    if (recordSizeWord == 0 || headerSizeWord == 0) {
        // Nothing to show: the open is abandoned without a message.
        setHeaderSize(0);
        setRecordSize(0);
        forceClose_ = true;
        return;
    }
    // The header area must hold the main header and lie within the file.
    const int32_t minimumHeader = dbfVersion_ == xBaseVII ? kBaseVIIHeaderSize : kMainHeaderSize;
    if (headerSizeWord < minimumHeader || headerSizeWord > cachedSize())
        invalidFile();
    setRecordSize(recordSizeWord);
    setHeaderSize(headerSizeWord);   // reads the whole header area
    if (loadHeader() < headerSizeWord)
        invalidFile();

    resolveLanguage();
    loadFieldDescriptors();

    bool headerChanged = false;
    uint8_t* h = header();

    // Record count from the file size.
    const int32_t count = recordCount();
    headerRecordCount_ = loadLE32(h + 4);
    if (static_cast<uint32_t>(count) != loadLE32(h + 4)) {
        storeLE32(h + 4, static_cast<uint32_t>(count));
        headerChanged = true;
    }

    // Memo file: found here; the memo file itself (MemoFile.h: dBase, FoxPro
    // or the empty placeholder when the file is missing) is opened from
    // memoFileName() by its reader (MemoReader.h) with the table's mode and
    // version.
    for (int i = 0; i < fieldDefs_.count(); ++i)
        if (fieldDefs_.item(i).isBlob())
            hasMemoFields_ = true;
    if (hasMemoFields_) {
        const std::string ext = dbfVersion_ == xFoxPro ? ".fpt" : ".dbt";
        memoFileName_ = companionFile(fileName(), ext);
        memoFilePresent_ = !memoFileName_.empty();
        if (!memoFilePresent_ && !fileName().empty()) {
            const size_t slash = fileName().find_last_of('/');
            const size_t dot = fileName().find_last_of('.');
            memoFileName_ = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                                ? fileName().substr(0, dot) + ext
                                : fileName() + ext;
        }
        if (dbfVersion_ != xFoxPro && !(h[0] & 0x80)) {
            h[0] = static_cast<uint8_t>(h[0] | 0x80);
            headerChanged = true;
        }
    } else if (dbfVersion_ != xFoxPro && (h[0] & 0x80)) {
        h[0] = static_cast<uint8_t>(h[0] & 0x7F);
        headerChanged = true;
    }

    // Production index: its file is found here, to be opened by the index
    // engine with the table's mode and code page; a missing file either drops
    // the header's flag or ends the open.
    if (h[28] != 0) {
        mdxFileName_ = companionFile(fileName(), ".mdx");
        if (mdxFileName_.empty() && dbfVersion_ != xFoxPro) {
            bool deleteLink = true;
            if (onIndexMissing_)
                onIndexMissing_(deleteLink);
            if (deleteLink) {
                h[28] = 0;
                headerChanged = true;
            } else {
                forceClose_ = true;
            }
        }
    }

    // The production index opens with the table; when it cannot be used the
    // table opens all the same, for reading.
    if (!forceClose_ && dbfVersion_ != xFoxPro && h[28] != 0 && !mdxFileName_.empty())
        openProductionIndex();

    // A table that cannot be kept consistent is not opened for writing:
    // refused before the open has written anything.
    if (writesAllowed() && !forceClose_ && indexProblem_.empty() && !writableLayout())
        throw TableError(msg::kReadOnlyDataset);

    if (headerChanged && writesAllowed() && indexProblem_.empty())
        writeHeader();

    // A trailing end mark is not file data: the next appended record
    // overwrites it.
    const int64_t end = static_cast<int64_t>(headerSize()) + static_cast<int64_t>(count) * recordSize();
    if (cachedSize() == end + 1) {
        uint8_t mark = 0;
        if (readAt(end, &mark, 1) == 1 && mark == kEndMark)
            setCachedSize(end);
    }
}

void TableFile::openProductionIndex()
{
    if (mode() == pfMemoryCreate || mode() == pfMemoryOpen)
        return;
    auto index = std::make_unique<IndexFile>(*this);
    index->setFileName(mdxFileName_);
    index->setMode(mode());
    try {
        index->open();
    } catch (const KartoError& e) {
        indexProblem_ = e.what();
        return;
    }
    switch (index->localeError()) {
    case leNone:
        index_ = std::move(index);
        return;
    case leNotAvailable:
        indexProblem_ = msg::kIndexCollationNotAvailable;
        return;
    default:
        indexProblem_ = msg::kIndexLanguageMismatch;
        return;
    }
}

void TableFile::closeProductionIndex()
{
    if (!index_)
        return;
    std::unique_ptr<IndexFile> index = std::move(index_);
    if (indexProblem_.empty())
        indexProblem_ = msg::kNoProductionIndex;
    index->close();
}

void TableFile::setProductionIndexFlag()
{
    if (!header() || headerSize() < 32)
        return;
    header()[28] = 1;
    const uint8_t flag = 1;
    checkedWriteAt(headerOffset() + 28, &flag, 1);
}

void TableFile::resolveLanguage()
{
    const uint8_t* h = header();
    if (dbfVersion_ == xBaseVII) {
        const char* name = reinterpret_cast<const char*>(h + 32);
        languageDriverName_.assign(name, strnlen(name, 32));
        fileCodePage_ = codePageOfDriverName(languageDriverName_);
        fileLangId_ = static_cast<uint8_t>(languageDriverNameToId(std::string_view(name, 32)));
    } else {
        fileLangId_ = h[29];
        fileCodePage_ = languageDriverToCodePage(fileLangId_);
    }
    // Without a code page of its own the table gets the engine's default.
    useCodePage_ = fileCodePage_ != 0 ? fileCodePage_ : engineGlobals().defaultOpenCodePage();
}

void TableFile::loadFieldDescriptors()
{
    fieldDefs_.clear();
    lockField_ = nullptr;
    nullField_ = nullptr;
    autoIncPresent_ = false;
    lockUserLen_ = 0;
    terminatorOffset_ = -1;

    const bool baseVII = dbfVersion_ == xBaseVII;
    const bool foxPro = dbfVersion_ == xFoxPro;
    const int32_t first = baseVII ? kBaseVIIHeaderSize : kMainHeaderSize;
    const int32_t step = baseVII ? kDescriptorVIISize : kDescriptorSize;
    const int32_t nameLength = baseVII ? 32 : 11;
    const int32_t area = headerSize();
    const int32_t slots = (area - first) / step;
    const uint8_t* h = header();

    // The descriptors up to the terminator (or the end of the header area).
    std::vector<const uint8_t*> descriptors;
    for (int32_t n = 0; n < slots; ++n) {
        const int32_t at = first + n * step;
        if (h[at] == kTerminator) {
            terminatorOffset_ = at;
            break;
        }
        descriptors.push_back(h + at);
        const int32_t next = at + step;
        if (next < area && h[next] == kTerminator) {
            terminatorOffset_ = next;
            break;
        }
    }
    auto letterOf = [&](const uint8_t* d) { return static_cast<char>(baseVII ? d[32] : d[11]); };
    auto lengthOf = [&](const uint8_t* d) -> int { return baseVII ? d[33] : d[16]; };
    auto decimalsOf = [&](const uint8_t* d) -> int { return baseVII ? d[34] : d[17]; };

    // FoxPro keeps the high byte of a character field's length in the
    // decimal count. Clipper tables do the same under a dBase version byte;
    // there the record size decides: the long reading is taken when only it
    // accounts for the record size.
    bool longCharacters = foxPro;
    if (!foxPro && !baseVII) {
        int64_t plain = 1;
        int64_t extended = 1;
        for (const uint8_t* d : descriptors) {
            plain += lengthOf(d);
            extended += lengthOf(d) + (upperLetter(letterOf(d)) == 'C' ? 256 * decimalsOf(d) : 0);
        }
        longCharacters = plain != recordSize() && extended == recordSize();
    }

    int nullBit = 0;
    int64_t offset = 1;
    for (const uint8_t* d : descriptors) {
        std::string name(reinterpret_cast<const char*>(d),
                         strnlen(reinterpret_cast<const char*>(d), static_cast<size_t>(nameLength)));
        name = upperAscii(name);
        const char letter = letterOf(d);
        int length = lengthOf(d);
        int decimals = decimalsOf(d);
        const bool nullable = foxPro && (d[18] & 0x02) != 0 && name != "_NULLFLAGS";
        if (longCharacters && upperLetter(letter) == 'C') {
            length += 256 * decimals;
            decimals = 0;
        }
        if (name.empty())
            invalidFile();

        FieldDef& def = fieldDefs_.addFieldDef();
        def.loadDescriptor(name, letter, length, decimals);
        def.setOffset(static_cast<int>(offset));
        if (baseVII) {
            def.setAutoInc(static_cast<int32_t>(loadLE32(d + 42)));
            if (upperLetter(letter) == '+')
                autoIncPresent_ = true;
        }
        if (def.fieldType() == ftUnknown)
            invalidFile();
        // Visual FoxPro gives each varchar and varbinary field a bit of its
        // own in "_NULLFLAGS" (set: the value is shorter than the field),
        // before the field's null bit when it also has one.
        def.setVarLengthPosition(foxPro && def.isVarLength() ? nullBit++ : -1);
        def.setNullPosition(nullable ? nullBit++ : -1);
        if (name == "_DBASELOCK") {
            lockField_ = &def;
            def.setIsLockField(true);
            lockUserLen_ = std::clamp(length - 8, 0, engineGlobals().userNameLen());
        } else if (name == "_NULLFLAGS") {
            nullField_ = &def;
        }
        // Every field lies inside the record.
        if (offset + length > recordSize())
            invalidFile();
        offset += length;
    }
    if (fieldDefs_.count() > kMaxFields)
        throw TableError(msg::invalidFieldCount(fieldDefs_.count()));
    // Without a terminator the descriptors must fill the header area (one
    // spare byte where the terminator belongs is tolerated); otherwise the
    // header size has cut a descriptor off.
    if (terminatorOffset_ < 0 && (area - first) % step > 1)
        invalidFile();

    // A null or var-length bit is only worth something when "_NULLFLAGS"
    // holds it.
    auto heldBit = [this](int position) {
        return position >= 0 && nullField_ && position < nullField_->size() * 8 ? position : -1;
    };
    for (int i = 0; i < fieldDefs_.count(); ++i) {
        FieldDef& def = fieldDefs_.item(i);
        def.setNullPosition(heldBit(def.nullPosition()));
        def.setVarLengthPosition(heldBit(def.varLengthPosition()));
    }

    if (baseVII && terminatorOffset_ >= 0 && terminatorOffset_ + 1 + 16 < area)
        loadFieldProperties(terminatorOffset_ + 1);
}

void TableFile::loadFieldProperties(int32_t blockStart)
{
    const uint8_t* h = header();
    const int64_t area = headerSize();
    const int entries = loadLE16(h + blockStart);
    const int64_t firstEntry = blockStart + static_cast<int64_t>(loadLE16(h + blockStart + 2));
    for (int i = 0; i < entries; ++i) {
        const int64_t e = firstEntry + static_cast<int64_t>(i) * 15;
        if (e + 15 > area)
            break;
        const int fieldNo = loadLE16(h + e + 2);
        const int property = h[e + 4];
        const int64_t valueAt = blockStart + static_cast<int64_t>(loadLE16(h + e + 11));
        const int valueLength = loadLE16(h + e + 13);
        if (fieldNo < 1 || fieldNo > fieldDefs_.count())
            continue;
        FieldDef& def = fieldDefs_.item(fieldNo - 1);
        if (property == 1) {
            def.setRequired(true);
            continue;
        }
        if (property < 2 || property > 4)
            continue;
        if (valueAt + valueLength > area || def.size() <= 0)
            continue;
        def.allocBuffers();
        uint8_t* target = property == 2 ? def.minBuf() : property == 3 ? def.maxBuf() : def.defaultBuf();
        if (!target)
            continue;
        std::memset(target, 0, static_cast<size_t>(def.allocSize()));
        std::memcpy(target, h + valueAt, static_cast<size_t>(std::min(valueLength, def.allocSize())));
        if (property == 2)
            def.setHasMin(true);
        else if (property == 3)
            def.setHasMax(true);
        else
            def.setHasDefault(true);
    }
}

void TableFile::close()
{
    if (!active())
        return;
    struct Finish {
        TableFile& t;
        ~Finish()
        {
            t.prevBuffer_.clear();
            t.defaultBuffer_.clear();
            t.fileLangId_ = 0;
            t.recordCountDirty_ = false;
        }
    } finish{*this};
    // The index first: its pending blocks and headers are written.
    std::exception_ptr indexFailure;
    if (index_) {
        try {
            index_->close();
        } catch (...) {
            indexFailure = std::current_exception();
        }
        index_.reset();
    }
    if (recordCountDirty_ && writesAllowed())
        writeRecordCount();
    closeFile();
    if (indexFailure)
        std::rethrow_exception(indexFailure);
}

void TableFile::writeRecordCount()
{
    const int32_t count = recordCount();
    const int64_t end = static_cast<int64_t>(headerSize()) + static_cast<int64_t>(count) * recordSize();
    const uint8_t mark = kEndMark;
    saveWindow();
    writeAt(end, &mark, 1);
    setCachedSize(end);   // the mark is not a record
    if (header() && headerSize() >= kMainHeaderSize)
        storeLE32(header() + 4, static_cast<uint32_t>(count));
    writeHeader();
    recordCountDirty_ = false;
}

void TableFile::batchUpdate()
{
    if (!isSharedAccess() && active() && writesAllowed())
        writeRecordCount();
}

// --- Structure access ----------------------------------------------------------

FieldDef* TableFile::getFieldInfo(const std::string& name)
{
    const std::string wanted = upperAscii(name);
    for (int i = 0; i < fieldDefs_.count(); ++i)
        if (upperAscii(fieldDefs_.item(i).fieldName()) == wanted)
            return &fieldDefs_.item(i);
    return nullptr;
}

const FieldDef* TableFile::getFieldInfo(const std::string& name) const
{
    return const_cast<TableFile*>(this)->getFieldInfo(name);
}

uint8_t TableFile::languageId() const
{
    return header() && headerSize() > 29 ? header()[29] : 0;
}

std::string TableFile::languageStr() const
{
    if (dbfVersion_ != xBaseVII || !header() || headerSize() < 64)
        return {};
    return std::string(reinterpret_cast<const char*>(header() + 32), 32);
}

void TableFile::updateLock()
{
    setBufferAhead(!isSharedAccess() || fileLocked());
}

// --- Overrides --------------------------------------------------------------------

void TableFile::stampDate()
{
    if (headerSize() < 4 || !header())
        return;
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    uint8_t* h = header();
    h[1] = static_cast<uint8_t>(local.tm_year % 256);   // tm_year counts from 1900
    h[2] = static_cast<uint8_t>(local.tm_mon + 1);
    h[3] = static_cast<uint8_t>(local.tm_mday);
}

void TableFile::writeHeader()
{
    if (headerSize() == 0 || !header())
        return;
    stampDate();
    PagedFile::writeHeader();
}

void TableFile::flush()
{
    saveWindow();
    saveHeader();
    if (index_)
        index_->flush();
}

void TableFile::setRecordSize(int32_t size)
{
    PagedFile::setRecordSize(size);
    prevBuffer_.assign(static_cast<size_t>(std::max(0, recordSize())), 0);
}

void TableFile::tryExclusive()
{
    PagedFile::tryExclusive();
    // Index files opened with the table will follow it here.
}

void TableFile::endExclusive()
{
    // Index files opened with the table will return to shared access here first.
    PagedFile::endExclusive();
}

} // namespace karto
