// The columns of a spreadsheet export (export_columns.h): how many single
// commas or tabs part a line's cells, and the empty cell that a run of two
// of them shows among lines that have single ones.
#include "check/export_columns.h"

#include "check/cell_text.h"

#include <cstddef>
#include <map>
#include <vector>

namespace {

// How many `ch` (',' or '\t') a piece holds when its cells are separated by
// runs of `ch` alone and nothing stands before its first cell; -1 else.
// `single` is set when each run is one `ch`.
int separators_of(const piece_cells& c, char ch, bool& single) {
    if (c.runs.empty() || !c.runs[0].empty()) return -1;
    int count = 0;
    single = true;
    for (std::size_t i = 1; i < c.runs.size(); ++i) {
        if (c.runs[i].find_first_not_of(ch) != std::string::npos) return -1;
        single = single && c.runs[i].size() == 1;
        count += int(c.runs[i].size());
    }
    for (char t : c.tail) {
        if (t == ch) ++count;
        else if (t != '\r' && t != '\n') return -1;
    }
    return count;
}

// "column 3 is empty", "columns 2 and 4 are empty".
std::string columns_text(const std::vector<std::size_t>& columns) {
    if (columns.size() == 1) return ordinal_column(columns[0]) + " is empty";
    std::string text = "columns ";
    for (std::size_t k = 0; k < columns.size(); ++k)
        text += std::to_string(columns[k]) + (k + 2 < columns.size() ? ", " : k + 1 < columns.size() ? " and " : "");
    return text + " are empty";
}

}  // namespace

bool empty_export_cell(const piece_cells& c, const file_survey& survey, const std::string& what, std::string& text) {
    for (char ch : {',', '\t'}) {
        bool single = true;
        const int count = separators_of(c, ch, single);
        if (count < 0 || single) continue;
        const std::size_t nominal_column = 1 + c.runs[1].size(), value_column = nominal_column + c.runs[2].size();
        const std::map<int, long>& pattern = ch == ',' ? survey.single_commas : survey.single_tabs;
        const auto lines = pattern.find(count);
        if (value_column == 3 || lines == pattern.end() || lines->second < 2 || lines->second * 2 < survey.nominal_lines)
            continue;
        const std::string name = ch == ',' ? "comma" : "tab";
        std::vector<std::size_t> empty;
        for (std::size_t k = 2; k < value_column; ++k)
            if (k != nominal_column) empty.push_back(k);
        text = what + " is read with " +
               (nominal_column > 2 ? "nominal " + c.cells[1] + " from " + ordinal_column(nominal_column) + " and " : "") +
               "value " + c.cells[2] + " from " + ordinal_column(value_column) + "; " + columns_text(empty) + " (two " + name +
               "s in a row), where " + std::to_string(lines->second) + " other lines have " + std::to_string(count) +
               " single " + name + (count == 1 ? "" : "s") +
               ": tallix passes over an empty cell and reads the next one in its place. Fill in the empty cell, "
               "or delete the line";
        return true;
    }
    return false;
}

void count_separators(const piece_cells& c, file_survey& survey) {
    for (char ch : {',', '\t'}) {
        bool single = false;
        const int count = separators_of(c, ch, single);
        if (count > 0 && single) ++(ch == ',' ? survey.single_commas : survey.single_tabs)[count];
    }
}
