// The characters and cell texts that every judgment of a data file's shape
// reads: digits, numbers as tallix reads them, units of the bench, and the
// invisible characters (zero-width spaces, non-breaking spaces, soft
// hyphens, ligatures, a minus sign) that text from word processors and web
// pages carries into cells. Owns the table of those characters. Private to
// the checker's shape judgments (cell_text.cpp).
#ifndef TALLIX_CHECK_CELL_TEXT_H
#define TALLIX_CHECK_CELL_TEXT_H

#include <cstddef>
#include <string>

/// Returns true for '0' to '9'.
bool is_digit(char c);

/// Returns true for the letters that begin an exponent: e, E, d, D.
bool is_exponent_letter(char c);

/// Returns true when `s` is not empty and holds digits alone.
bool all_digits(const std::string& s);

/// Returns true when `s` holds a digit anywhere.
bool has_digit(const std::string& s);

/// Returns true when `s` begins with `prefix`.
bool starts_with(const std::string& s, const char* prefix);

/// Returns true when `s` is a whole number as the data-file rules read one.
bool whole_number(const std::string& s);

/// Returns true when `s` is a number to its end as tallix reads one, its
/// value in `value`.
bool is_number(const std::string& s, double& value);

/// Returns true when `s` is a number to its end as tallix reads one.
bool is_number(const std::string& s);

/// "1.000" and "12.345.678": returns true for a whole number written with
/// thousands points (never led by a zero: "0.001" is a number).
bool thousands_points(const std::string& s);

/// `s` without its points.
std::string without_points(const std::string& s);

/// `s` in double quotes.
std::string quoted(const std::string& s);

/// "column 9".
std::string ordinal_column(std::size_t column);

/// Returns true for a unit of the bench: one of the usual ones ("V", "mA",
/// "kOhm", "%" ...), or anything that begins with a micro or degree sign
/// (in Windows-1252 or UTF-8).
bool is_unit(const std::string& s);

/// A character that text from a word processor, a web page or a locale's
/// number format carries and that shows as nothing, as a blank or as two
/// letters: to tallix it is bytes like any other, part of the cell.
struct odd_char {
    const char* bytes;
    const char* code;  ///< "U+200B"
    const char* name;  ///< "zero-width space"
    bool blank;        ///< shows as a blank: between digit groups, a thousands separator
};

/// Finds the first odd character at or after `from`: returns its offset and
/// sets `which` and `length` (its bytes), or returns npos. A byte that
/// begins a UTF-8 sequence is taken with its sequence; a lone byte as
/// Windows-1252.
std::size_t find_odd_char(const std::string& s, std::size_t from, const odd_char*& which, std::size_t& length);

/// The offset of the first character of UTF-8 text that is none of the odd
/// ones, its length in `length`; or npos.
std::size_t find_utf8_text(const std::string& s, std::size_t& length);

/// The code point of the UTF-8 sequence of `n` bytes at `i`.
unsigned long utf8_code(const std::string& s, std::size_t i, std::size_t n);

/// "U+00E4": a code point as it is written, with at least four digits.
std::string code_point(unsigned long code);

/// "U+200B zero-width space at column 9".
std::string odd_char_text(const odd_char& o, std::size_t column);

/// What to do about an odd character (in a number when `in_number`, else
/// in an asset): "delete it", "type a plain minus (-)" ...
std::string odd_char_mend(const odd_char& o, bool in_number);

/// `s` as its writer typed it: ligatures as their letters, a minus sign as
/// a plain minus, the other odd characters gone.
std::string without_odd_chars(const std::string& s);

#endif
