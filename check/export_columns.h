// The columns of a spreadsheet export: lines whose cells are separated by
// single commas or single tabs, in which an empty cell shows as two
// separators in a row and tallix reads the next cell in its place. The
// survey counts the lines of each number of separators; a line with a run
// of two among the first cells is then judged against the lines like it.
// Private to the checker's shape judgments (export_columns.cpp).
#ifndef TALLIX_CHECK_EXPORT_COLUMNS_H
#define TALLIX_CHECK_EXPORT_COLUMNS_H

#include "check/shapes.h"

#include <string>

/// Adds the piece to the survey's count of pieces with single commas
/// (single tabs) between their cells, by how many they hold.
void count_separators(const piece_cells& c, file_survey& survey);

/// An empty cell among the first three of a spreadsheet export: most lines
/// hold the same number of single commas (tabs), and this one as many with
/// two of them in a row before its value, which tallix reads from a later
/// column. `what` names the line ("A7 at 10"). Returns true with the
/// finding's text in `text`.
bool empty_export_cell(const piece_cells& c, const file_survey& survey, const std::string& what, std::string& text);

#endif
