// A CSV file's rows as the tests compare them: the header, then the records, read as
// RFC 4180 has it (quoted fields keep their commas).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/csv_table.h"

namespace aerial_test {

// No rows, and a test failure, when the text is not such a table.
inline std::vector<std::vector<std::string>> csvRows(const std::string& text) {
    aerial_tool::CsvTable table;
    std::string error;
    if (!aerial_tool::parseCsv(text, table, error)) {
        ADD_FAILURE() << error;
        return {};
    }
    std::vector<std::vector<std::string>> rows{table.columns};
    rows.insert(rows.end(), table.rows.begin(), table.rows.end());
    return rows;
}

} // namespace aerial_test
