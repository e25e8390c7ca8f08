#pragma once
// Helpers of the CSV, TXT and HTML export tests: a small table built in the
// test and opened through the dataset (Latin 2 text converted by the code page
// converter), and Python run as the independent reader of the output.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "convert/CodePageConverter.h"
#include "support/CzechLetters.h"
#include "support/DbfBuilder.h"
#include "dbf/table/TableDataset.h"
#include "export/output/ExportProgress.h"

namespace karto::test {

inline const std::string kPython = "/usr/bin/python3";

// UTF-8 text with Czech letters as Latin 2 bytes (ASCII unchanged).
inline std::string latin2(const std::string& utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        bool found = false;
        for (const CzechLetter& l : kCzechLetters) {
            const std::size_t n = std::char_traits<char>::length(l.utf8);
            if (utf8.compare(i, n, l.utf8) == 0) {
                out.push_back(static_cast<char>(l.latin2));
                i += n;
                found = true;
                break;
            }
        }
        if (!found)
            out.push_back(utf8[i++]);
    }
    return out;
}

// A record of the given field values (UTF-8, stored as Latin 2), each padded
// to its field length.
inline std::string record(const DbfSpec& spec, const std::vector<std::string>& values, bool deleted = false)
{
    std::string rec(1, deleted ? '*' : ' ');
    for (std::size_t i = 0; i < spec.fields.size(); ++i) {
        std::string v = i < values.size() ? latin2(values[i]) : std::string();
        const FieldSpec& f = spec.fields[i];
        const std::size_t len = static_cast<std::size_t>(f.length);
        if (f.type == 'N' || f.type == 'F')
            v = std::string(len > v.size() ? len - v.size() : 0, ' ') + v;   // right-aligned
        v.resize(len, ' ');
        rec += v;
    }
    return rec;
}

// A table written into a temporary folder and opened read-only, its text
// read through the converter with Latin 2 chosen.
class ExportTable {
public:
    explicit ExportTable(const DbfSpec& spec, const std::string& name = "T.DBF")
    {
        converter_.chooseCodePage(cpLatin2);
        path_ = dir_.write(name, buildDbf(spec));
        ds_.setTableName(path_);
        ds_.setReadOnly(true);
        ds_.setOnTranslate(&converter_);
        FormatSettings fs;
        fs.setShortDateFormat("dd.MM.yyyy");
        ds_.setFormatSettings(fs);
        ds_.open();
    }
    TableDataset& ds() { return ds_; }
    const TempDir& dir() const { return dir_; }
    std::string out(const std::string& name) const { return dir_.file(name); }
    // Names of the files in the folder (temporary files of an export included).
    std::vector<std::string> files() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(path_).parent_path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    TempDir dir_;
    CodePageConverter converter_;
    std::string path_;
    TableDataset ds_;
};

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::string fromHex(const std::string& hex)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// Runs a Python script with arguments; its standard output, or "" with ok
// false when it failed.
inline std::string runPython(const std::string& script, const std::vector<std::string>& args, bool& ok)
{
    TempDir dir;
    const std::string file = dir.file("check.py");
    std::ofstream(file) << script;
    std::string command = kPython + " '" + file + "'";
    for (const std::string& a : args)
        command += " '" + a + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string out;
    char buf[4096];
    for (std::size_t n; pipe && (n = std::fread(buf, 1, sizeof buf, pipe.get())) > 0;)
        out.append(buf, n);
    ok = pipe && ::pclose(pipe.release()) == 0;
    return out;
}

// Rows of cells from Python's output: one row a line, cells as hex of their
// UTF-8 separated by spaces ("-" for an empty cell).
inline std::vector<std::vector<std::string>> hexRows(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> row;
        std::istringstream ls(line);
        std::string cell;
        while (ls >> cell)
            row.push_back(cell == "-" ? std::string() : fromHex(cell));
        rows.push_back(row);
    }
    return rows;
}

// Records the progress an export reports.
struct ProgressLog : ExportProgress {
    int64_t range = -1;
    std::vector<int64_t> positions;
    void setRange(int64_t maximum) override { range = maximum; }
    void setPosition(int64_t position) override { positions.push_back(position); }
};

} // namespace karto::test
