// Comma-separated tables as the studies write them and scripts read them (RFC 4180): a
// header row of column names, then records; a field may be quoted ("..."), and inside quotes
// a doubled quote is a quote and commas and line breaks are text. Lines end with LF (as
// written) or CR LF; blank lines hold no record. Columns are found by name, so a reader
// copes with columns added later.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace aerial_tool {

struct CsvTable {
    std::vector<std::string> columns;           // the header row
    std::vector<std::vector<std::string>> rows; // each as long as the header

    // The index of the named column, or -1.
    int column(std::string_view name) const;
    // The cell of a row in the named column; empty when the table has no such column.
    const std::string& cell(size_t row, std::string_view name) const;
};

// False with a reason naming the record (counted from 1, the header is record 0) when the
// text is not such a table: a quote left open, text after a closing quote, or a record
// with more or fewer fields than the header.
bool parseCsv(std::string_view text, CsvTable& table, std::string& error);

// A field as written: quoted when it holds a comma, a quote or a line break (or starts
// or ends with a space, which some readers would trim), its quotes doubled; else as it is.
std::string csvField(std::string_view text);

// A record: its fields written and joined by commas, ended by a line feed.
std::string csvRecord(const std::vector<std::string>& fields);

// The header row and the records, as parseCsv reads them back.
std::string csvText(const CsvTable& table);

// Reads and parses a file; the error names it.
bool readCsvFile(const std::string& path, CsvTable& table, std::string& error);

} // namespace aerial_tool
