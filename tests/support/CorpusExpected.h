#pragma once
// What an independent reader found in the tables of the shared corpus of real
// third-party tables (its expected/*.json beside the tables), for the tests
// that compare the engine with it. The JSON is read by one program,
// corpus_expected.py (beside this file; its comment describes the lines it
// writes), run with Debian's Python; here its lines become CorpusTable.
//
// The corpus lies at KARTO_CORPUS_DIR (set for every test program).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace karto::test::corpus {

inline const std::string kDir = KARTO_CORPUS_DIR;
inline const std::string kPython = "/usr/bin/python3";
inline const std::string kReader = std::string(KARTO_SOURCE_DIR) + "/tests/support/corpus_expected.py";

struct Field {
    std::string name;          // Latin-1 bytes as the reader gave them
    bool nameExact = true;     // false: a character had no Latin-1 byte and became '?'
    char letter = 0;           // first byte of the type
    int length = 0;            // stored width (the effective length when there is one)
    int declaredLength = 0;    // the descriptor's length byte
    bool effectiveLength = false;
    int decimals = 0;
    int offset = 0;
};

struct Value {
    int field = 0;
    std::string kind;
    std::string payload;
    std::string payload2;
};

struct Record {
    int recNo = 0;
    bool deleted = false;
    std::vector<Value> values;
};

struct Table {
    std::string table;              // path relative to the corpus
    int64_t fileSize = 0;
    bool hasHeader = false;         // the file is long enough for one
    int versionByte = -1;
    int headerLength = 0;
    int recordLength = 0;
    int recordsFromSize = -1;       // whole records the file size holds
    int deletedCount = -1;          // -1: not counted
    bool hasFields = false;         // the reader listed the fields
    std::vector<Field> fields;
    std::string open;               // "open", "error", "either"
    bool utf8 = false;
    bool memoFile = false;
    std::string memoKind;           // dbt3, dbt4, fpt
    int memoBlockSize = 0;
    std::string memoReader;         // dbfread, other
    std::string mapping;            // non-empty: records not matched to the file
    std::vector<Record> records;
};

inline std::string bytesOfHex(const std::string& hex)
{
    std::string out;
    if (hex == "-")
        return out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// The names of the expected files, sorted; empty without a corpus.
inline std::vector<std::string> expectedFiles()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(kDir + "/expected", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 5 && name.ends_with(".json") && name != "_index.json")
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline bool readerAvailable()
{
    return std::filesystem::exists(kPython);
}

// The tables of the given expected files, in their order; withRecords false
// leaves the records out (the rest is there). False with a reason in error
// when the reader could not be run or failed.
inline bool readTables(const std::vector<std::string>& jsonNames, bool withRecords, std::vector<Table>& tables,
                       std::string& error)
{
    tables.clear();
    std::string command = kPython + " '" + kReader + "'" + (withRecords ? "" : " --no-records") + " '" + kDir + "'";
    for (const std::string& name : jsonNames)
        command += " '" + kDir + "/expected/" + name + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) {
        error = "cannot run " + kPython;
        return false;
    }
    std::string text;
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe.get())) > 0;)
        text.append(buf, n);
    if (::pclose(pipe.release()) != 0 || text.empty()) {
        error = "corpus_expected.py failed";
        return false;
    }
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string tag;
        ls >> tag;
        if (tag == "TABLE") {
            tables.emplace_back();
            std::getline(ls >> std::ws, tables.back().table);
            continue;
        }
        if (tables.empty())
            continue;
        Table& e = tables.back();
        if (tag == "SIZE") {
            ls >> e.fileSize;
        } else if (tag == "HEADER") {
            e.hasHeader = true;
            ls >> e.versionByte >> e.headerLength >> e.recordLength >> e.recordsFromSize;
        } else if (tag == "DELETED") {
            ls >> e.deletedCount;
        } else if (tag == "FIELDS") {
            e.hasFields = true;
        } else if (tag == "FIELD") {
            Field f;
            std::string name, letter;
            int effective = 0, exact = 0;
            ls >> name >> letter >> f.length >> f.decimals >> f.offset >> f.declaredLength >> effective >> exact;
            f.name = bytesOfHex(name);
            f.nameExact = exact != 0;
            f.effectiveLength = effective != 0;
            const std::string letterBytes = bytesOfHex(letter);
            f.letter = letterBytes.empty() ? 0 : letterBytes[0];
            e.fields.push_back(f);
        } else if (tag == "OPEN") {
            ls >> e.open;
        } else if (tag == "TEXT") {
            std::string mode;
            ls >> mode;
            e.utf8 = mode == "utf8";
        } else if (tag == "MEMOFILE") {
            e.memoFile = true;
            ls >> e.memoKind >> e.memoBlockSize >> e.memoReader;
        } else if (tag == "MAPPING") {
            std::getline(ls >> std::ws, e.mapping);
        } else if (tag == "REC") {
            Record r;
            int deleted = 0;
            ls >> r.recNo >> deleted;
            r.deleted = deleted != 0;
            e.records.push_back(r);
        } else if (tag == "V" && !e.records.empty()) {
            Value v;
            ls >> v.field >> v.kind >> v.payload >> v.payload2;
            e.records.back().values.push_back(v);
        }
    }
    if (tables.size() != jsonNames.size()) {
        error = "corpus_expected.py gave " + std::to_string(tables.size()) + " tables for " +
                std::to_string(jsonNames.size()) + " files";
        return false;
    }
    return true;
}

// One table with its records.
inline bool readTable(const std::string& jsonName, Table& table, std::string& error)
{
    std::vector<Table> tables;
    if (!readTables({jsonName}, true, tables, error))
        return false;
    table = std::move(tables.front());
    return true;
}

} // namespace karto::test::corpus
