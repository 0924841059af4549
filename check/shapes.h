// What spreadsheet programs and editors leave in a data file that a lookup
// cannot use: another encoding (UTF-16, a UTF-8 byte order mark), cells
// separated by semicolons or put in quotes, decimal commas and thousands
// separators, numbers cut in two by a blank, a comma or an empty cell,
// header rows, comments, units and invisible characters. Each
// shape is judged on the cells a lookup really reads (lookup/data_file.h),
// and worded for the person who must mend the file: what tallix reads, and
// what to write instead. Used by the checks of one data file (diagnose.cpp).
// The cells and the survey are in shapes.cpp, the lines lost to their
// writer's asset in lost_lines.cpp, the advice on a number tallix refuses in
// number_advice.cpp, the misread numbers in misread.cpp, and the register
// exchange file in register_file.cpp.
#ifndef TALLIX_CHECK_SHAPES_H
#define TALLIX_CHECK_SHAPES_H

#include <cstddef>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

/// One piece of a data file cut as a lookup cuts it: the cells (asset,
/// nominal, value, then the rest) and the run of delimiters before each.
struct piece_cells {
    std::vector<std::string> cells;
    std::vector<std::string> runs;
    std::string tail;  ///< the delimiters after the last cell
    long first_column = 1;  ///< the column (from 1) in its line of the piece's first character
};

/// Cuts the text [p, end) (what a piece says, up to any NUL) into cells.
piece_cells cut_cells(const char* p, const char* end);

enum text_encoding { ENCODING_ANSI = 0, ENCODING_UTF8_BOM = 1, ENCODING_UTF16 = 2 };

/// What the whole file shows before its lines are judged one by one.
struct file_survey {
    text_encoding encoding = ENCODING_ANSI;
    long nominal_lines = 0;  ///< pieces with an asset and a nominal
    long comma_split = 0;    ///< of those, cut at commas alone with whole numbers split off
    /// Pieces whose cells are separated by single commas (single tabs), by
    /// how many commas (tabs) they hold: the columns of a spreadsheet
    /// export, in which an empty cell shows as two separators in a row.
    std::map<int, long> single_commas, single_tabs;
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
/// byte order mark, quotes, a semicolon and more cells, a non-breaking
/// space before or after it, an invisible character (a zero-width space, a
/// soft hyphen, a ligature: named by its code point and column) or UTF-8
/// text; or the line is a header row or a comment.
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
/// (a decimal comma, thousands separators of any locale, quotes, a
/// negative number in parentheses, a unit or percent sign, an invisible
/// character) and the number to write, as "; ..." to follow the finding;
/// empty when nothing is recognised. The cell alone: number_advice_at also
/// looks at the cells after it.
std::string number_advice(const std::string& cell);

/// The advice of number_advice for cell `index` (1 nominal, 2 value) of the
/// piece `c`, which may look at the cells after it: a number that the
/// delimiters cut in two ("(0" and "50001)", "\"10" and "5\"").
std::string number_advice_at(const piece_cells& c, std::size_t index);

/// For a line a lookup takes a value from: a reading that is not what the
/// writer meant though every cell is a number. An error (`error` true) where
/// the evidence is strong: a thousands point with a decimal comma; decimal
/// commas in a comma-separated file; a cell after the nominal or value that
/// can only go on a number ("2 000.75", "2.00004 E-3", "2.5 x 10-2",
/// "20,00041"); a value far from its nominal where the cells joined lie
/// near it (",250031" at 0.25); an empty cell in a spreadsheet export that
/// moves the value. A warning where the cells may be one number or two
/// ("10.000 13"). `what` names the line ("A7 at 10"). Returns true with the
/// finding's text in `text`, which begins "<what> is read with value <V>"
/// (or "with nominal <N> and value <V>"), V being the value cell a lookup
/// takes.
bool misread_numbers(const piece_cells& c, const file_survey& survey, const std::string& what,
                     std::string& text, bool& error);

/// Returns true when the file at its start is VORNAX's register exchange
/// file (dosdose.dat), not a data file: lines of one number each, with the
/// free text MEM2 on line 3. `named` is true when its name is dosdose.dat,
/// which suffices unless a line holds a nominal after its first cell. Puts
/// the file back at its start.
bool looks_like_register_file(std::FILE* file, bool named);

/// Returns true when the last part of `path` is "dosdose.dat", in any case.
bool register_file_name(const std::string& path);

/// A unit after the value ("10.02 V"), which a lookup never reads. Returns
/// the unit's cell, or an empty string.
std::string unit_after_value(const piece_cells& c);

#endif
