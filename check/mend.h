// The mend of a data file that a spreadsheet program or an editor wrote
// (tallix-check --fix): a copy that reads as its writer meant, made only
// where the file itself makes the reading certain. The text is decoded
// (UTF-16, UTF-8, Windows-1252) and written as Windows-1252 with CR LF line
// ends (mend_text.cpp); numbers as locales write them are read with the
// file's one decimal mark and written in the number syntax tallix reads,
// digit for digit (mend_numbers.cpp); the lines are cut into cells at the
// file's separator, header rows and comments dropped, cells joined by tabs,
// and every line whose reading is not certain refused with the reason
// (mend.cpp). What was changed and what was refused is kept as text for
// the command (fix.cpp).
#ifndef TALLIX_CHECK_MEND_H
#define TALLIX_CHECK_MEND_H

#include <string>
#include <vector>

/// One change made, or one reason the mend was refused: `line` is the
/// physical line of the input (from 1), 0 for the whole file.
struct mend_note {
    long line = 0;
    std::string text;
};

/// What the mend of one file gives.
struct mend_result {
    std::string text;                ///< the mended file (Windows-1252, CR LF); empty when refused
    std::vector<mend_note> changes;  ///< what was changed, in the order of the file
    std::vector<mend_note> refusals; ///< what the writer must decide, by line; empty when mended
};

/// Mends the data file whose bytes are `bytes`. Returns 1 with `result.text`
/// and the changes made (none when the file needed none: its text is then
/// `bytes` as they are); 0 when some reading is not certain, with
/// `result.refusals` set and no text.
int mend_data_file(const std::string& bytes, mend_result& result);

// ------------------------------------------------------------------- text

/// How the bytes of a file were read.
enum mend_encoding { MEND_ANSI = 0, MEND_UTF8 = 1, MEND_UTF16LE = 2, MEND_UTF16BE = 3 };

/// The text of a file as characters, and how it was written.
struct decoded_file {
    std::u32string text;
    mend_encoding encoding = MEND_ANSI;
    bool byte_order_mark = false;
};

/// Reads `bytes` as UTF-16 (with a byte order mark, or ASCII characters
/// with every other byte NUL), as UTF-8 (with a byte order mark, or valid
/// UTF-8 holding characters beyond ASCII), else as Windows-1252. Returns 1;
/// 0 when text with a byte order mark or UTF-16 text is broken, with the
/// line and the reason in `refusal`.
int decode_file(const std::string& bytes, decoded_file& file, mend_note& refusal);

/// Appends `text` in Windows-1252 to `out`. Returns 1, or 0 at the first
/// character that has no form there, its code point in `missing` (what was
/// before it is appended).
int to_windows_1252(const std::u32string& text, std::string& out, char32_t& missing);

/// `text` for a message: Windows-1252, a character without a form there as
/// its code point in angle brackets ("<U+2192>").
std::string shown_text(const std::u32string& text);

/// A line of the text and the line end it had.
struct text_line {
    std::u32string text;
    long number = 0;       ///< physical line, from 1
    char32_t ended_by = 0; ///< '\n' for CR LF or LF alone (see lf_alone), '\r' for a CR alone, 0 at the end
    bool lf_alone = false;
};

/// Cuts `text` into lines at CR LF, LF and CR.
std::vector<text_line> split_lines(const std::u32string& text);

// ---------------------------------------------------------------- numbers

/// The decimal mark a number shows, or that a whole file uses.
enum decimal_mark { MARK_UNKNOWN = 0, MARK_POINT = 1, MARK_COMMA = 2 };

/// What `cell` shows of the decimal mark it was written with: MARK_POINT or
/// MARK_COMMA when only that reading makes it a number ("10,00013", "0,5",
/// "1.000,5", "1.000.000", "1'000,5"), MARK_UNKNOWN when it has no point or
/// comma, is no number, or one mark stands before a group of three digits
/// and the number could be read either way ("1,000", "12.345").
decimal_mark decimal_evidence(const std::u32string& cell);

/// Reads `cell` as a number written with the decimal mark `mark` (with
/// MARK_UNKNOWN, a point or comma is taken only where decimal_evidence
/// tells which it is) and thousands separators (the other of point and
/// comma, an apostrophe, U+2019, a blank, U+00A0, U+202F, U+2009, one kind
/// in a number, before groups of three), negative in parentheses or with a
/// minus sign U+2212 or an en dash; `commas` false takes no comma at all
/// (a file whose cells commas part). Returns 1 with the number in the
/// syntax tallix reads in `number`, the digits as written; 0 with the
/// reason in `why`.
int mend_number(const std::u32string& cell, decimal_mark mark, bool commas, std::string& number, std::string& why);

#endif
