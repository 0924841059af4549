// What spreadsheet programs and editors leave in a data file that a lookup
// cannot use: another encoding (UTF-16, a UTF-8 byte order mark), cells
// separated by semicolons or put in quotes, decimal commas and thousands
// separators, header rows, comments, units and non-breaking spaces. Each
// shape is judged on the cells a lookup really reads (lookup/data_file.h),
// and worded for the person who must mend the file: what tallix reads, and
// what to write instead. Used by the checks of one data file (diagnose.cpp).
#ifndef TALLIX_CHECK_SHAPES_H
#define TALLIX_CHECK_SHAPES_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

/// One piece of a data file cut as a lookup cuts it: the cells (asset,
/// nominal, value, then the rest) and the run of delimiters before each.
struct piece_cells {
    std::vector<std::string> cells;
    std::vector<std::string> runs;
};

/// Cuts the text [p, end) (what a piece says, up to any NUL) into cells.
piece_cells cut_cells(const char* p, const char* end);

enum text_encoding { ENCODING_ANSI = 0, ENCODING_UTF8_BOM = 1, ENCODING_UTF16 = 2 };

/// What the whole file shows before its lines are judged one by one.
struct file_survey {
    text_encoding encoding = ENCODING_ANSI;
    long nominal_lines = 0;  ///< pieces with an asset and a nominal
    long comma_split = 0;    ///< of those, cut at commas alone with whole numbers split off
};

/// Reads `file` from its start, fills `survey` and puts the file back at
/// its start. Returns 1, or 0 when reading failed (its errno in
/// `error_number`).
int survey_data_file(std::FILE* file, file_survey& survey, int& error_number);

/// The finding for a file in UTF-16, which a lookup finds nothing in.
std::string utf16_text();

/// The piece's whole-number cells after the value that commas alone split
/// off (A7,10,10,00013 has one): what a decimal comma leaves in a file whose
/// cells are separated by commas. 0 for any other piece.
int comma_split_count(const piece_cells& c);

/// Returns true when the file's lines look saved with decimal commas and
/// commas between cells: most lines with a nominal have numbers split off.
bool looks_comma_split(const file_survey& survey);

/// A line that a lookup meets as something it is not: the asset carries a
/// byte order mark, quotes, a semicolon and more cells, or a non-breaking
/// space; or the line is a header row or a comment.
struct shape_note {
    bool error = false;
    std::string text;
};

/// Judges the asset cell and the line as a whole. `first_text` is true on
/// the first line of the file that has a cell, `at_file_start` on the first
/// piece of the file. Returns true with `note` set when the line is lost to
/// the lookup its writer meant; the line's other findings are then about an
/// asset nobody looks up and say nothing more.
bool lost_line(const piece_cells& c, bool first_text, bool at_file_start, shape_note& note);

/// Advice for a nominal or value cell that is no number: what it looks like
/// (a decimal comma, thousands separators, quotes, a unit, a non-breaking
/// space) and what to write, as "; ..." to follow the finding; empty when
/// nothing is recognised.
std::string number_advice(const std::string& cell);

/// For a line a lookup takes a value from: a reading that is surely not what
/// the writer meant though every cell is a number (a thousands point with a
/// decimal comma, decimal commas in a comma-separated file). `what` names
/// the line ("A7 at 10"). Returns true with the error's text in `text`.
bool misread_numbers(const piece_cells& c, const file_survey& survey, const std::string& what,
                     std::string& text);

/// A unit after the value ("10.02 V"), which a lookup never reads. Returns
/// the unit's cell, or an empty string.
std::string unit_after_value(const piece_cells& c);

#endif
