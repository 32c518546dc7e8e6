#include "io/csv_table.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "io/file_reason.h"

namespace aerial_tool {

namespace {

// The records of the text, each a list of fields. False with a reason at the first fault.
bool records(std::string_view text, std::vector<std::vector<std::string>>& out, std::string& error) {
    std::vector<std::string> record;
    std::string field;
    bool quoted = false;      // inside a quoted field
    bool closed = false;      // after the closing quote of a field
    bool recordOpen = false;  // the current record has a character
    auto endField = [&] {
        record.push_back(std::move(field));
        field.clear();
        closed = false;
    };
    auto endRecord = [&] {
        endField();
        out.push_back(std::move(record));
        record.clear();
        recordOpen = false;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (quoted) {
            if (ch != '"') {
                field += ch;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                quoted = false;
                closed = true;
            }
            continue;
        }
        if (ch == ',') {
            endField();
            recordOpen = true;
        } else if (ch == '\n' || (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            if (ch == '\r') ++i;
            // A blank line holds no record.
            if (recordOpen || closed || !record.empty()) endRecord();
        } else if (closed) {
            error = "record " + std::to_string(out.size()) + ": text after the closing quote of field " +
                    std::to_string(record.size() + 1);
            return false;
        } else if (ch == '"' && field.empty()) {
            quoted = true;
            recordOpen = true;
        } else {
            field += ch;
            recordOpen = true;
        }
    }
    if (quoted) {
        error = "record " + std::to_string(out.size()) + ": a quote is left open at the end of the file";
        return false;
    }
    // A last record without its line end still counts.
    if (recordOpen || closed || !field.empty()) endRecord();
    return true;
}

} // namespace

int CsvTable::column(std::string_view name) const {
    for (size_t k = 0; k < columns.size(); ++k)
        if (columns[k] == name) return static_cast<int>(k);
    return -1;
}

const std::string& CsvTable::cell(size_t row, std::string_view name) const {
    static const std::string kNone;
    const int k = column(name);
    return k < 0 ? kNone : rows[row][static_cast<size_t>(k)];
}

bool parseCsv(std::string_view text, CsvTable& table, std::string& error) {
    std::vector<std::vector<std::string>> all;
    table = CsvTable{};
    if (!records(text, all, error)) return false;
    if (all.empty()) {
        error = "no header row";
        return false;
    }
    table.columns = std::move(all.front());
    for (size_t r = 1; r < all.size(); ++r) {
        if (all[r].size() != table.columns.size()) {
            error = "record " + std::to_string(r) + " has " + std::to_string(all[r].size()) + " fields, the header " +
                    std::to_string(table.columns.size());
            return false;
        }
        table.rows.push_back(std::move(all[r]));
    }
    return true;
}

std::string csvField(std::string_view text) {
    const bool quoted = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                        (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quoted) return std::string(text);
    std::string out(1, '"');
    for (char ch : text) {
        if (ch == '"') out += '"';
        out += ch;
    }
    out += '"';
    return out;
}

std::string csvRecord(const std::vector<std::string>& fields) {
    std::string out;
    for (size_t k = 0; k < fields.size(); ++k) {
        if (k > 0) out += ',';
        out += csvField(fields[k]);
    }
    // A record of one empty field would be a blank line, which holds no record.
    if (fields.size() == 1 && fields[0].empty()) out = "\"\"";
    return out + "\n";
}

std::string csvText(const CsvTable& table) {
    std::string out = csvRecord(table.columns);
    for (const auto& row : table.rows) out += csvRecord(row);
    return out;
}

bool readCsvFile(const std::string& path, CsvTable& table, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": " + notReadable(path);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!parseCsv(text.str(), table, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

} // namespace aerial_tool
