// The lines of a file to be mended, cut into the cells its writer meant:
// at the file's separator (semicolons or tabs, with quoted cells kept
// whole), or, in a file whose cells blanks and commas part, exactly as
// tallix cuts them. Also what a line is besides data: a comment, a header
// row, Excel's "sep=" line. Private to the mend (mend_cells.cpp, mend.cpp).
#ifndef TALLIX_CHECK_MEND_CELLS_H
#define TALLIX_CHECK_MEND_CELLS_H

#include "check/mend.h"

#include <string>
#include <vector>

/// How the cells of a file are separated.
enum cell_separator { SEPARATOR_TALLIX = 0, SEPARATOR_SEMICOLON = 1, SEPARATOR_TAB = 2 };

/// A line cut into cells. With SEPARATOR_TALLIX, `runs` holds the
/// delimiters before each cell and `tail` those after the last, so that the
/// line is put together again as it was; with the others, cells are joined
/// by tabs.
struct cut_line {
    std::vector<std::u32string> cells;  ///< without their quotes, trimmed of blanks (not SEPARATOR_TALLIX)
    std::vector<std::u32string> runs;
    std::u32string tail;
    bool quoted = false;  ///< a cell stood in quotes
    bool broken = false;  ///< a quote is not closed, or text follows a closing quote
};

/// Cuts `line` at `separator`.
cut_line cut_mend_line(const std::u32string& line, cell_separator separator);

/// `line` without blanks and tabs at either end.
std::u32string trimmed(const std::u32string& line);

/// Returns true when `line` (trimmed) is a comment: it begins with #, //,
/// ', !, * or the word REM, or with ; unless `semicolons` (then it is a
/// row with an empty first cell).
bool comment_line(const std::u32string& line, bool semicolons);

/// Returns true for Excel's first line naming the separator ("sep=;").
bool separator_line(const std::u32string& line);

/// Returns true when the cut line is a header row: two cells or more, none
/// of the first three with a digit.
bool header_cells(const cut_line& c);

/// The separator of the file, from its lines that are neither empty nor
/// comments: semicolons when each holds one outside quotes (not counting
/// lines that begin with one), else tabs when each holds one, else
/// tallix's own cut.
cell_separator file_separator(const std::vector<text_line>& lines);

#endif
