// The rules of a VORNAX data file, in one place: lines read in text mode
// (exchange/text_mode.h: CR LF, a lone CR kept, Ctrl-Z ends the file) and
// in pieces of DATA_LINE_LIMIT characters, each piece a line of its own;
// tokens cut at the delimiters; the asset compared with ASCII letters
// folded. tallix's search, its byte filter and tallix-check read data files
// through these and define none of them themselves.
#ifndef TALLIX_LOOKUP_DATA_FILE_H
#define TALLIX_LOOKUP_DATA_FILE_H

#include "exchange/text_mode.h"

#include <cstddef>
#include <cstring>
#include <string>

/// Data-file lines are read in pieces of at most this many characters, the
/// line end counting as one.
constexpr std::size_t DATA_LINE_LIMIT = 254;

/// The piece (from 1) that the character at `column` (from 0) of a line
/// falls in: a line is cut into pieces every DATA_LINE_LIMIT characters.
inline long piece_of_column(std::size_t column) { return long(column / DATA_LINE_LIMIT) + 1; }

/// The column (from 0) at which the piece holding `column` begins.
inline std::size_t piece_start_column(std::size_t column) { return column - column % DATA_LINE_LIMIT; }

/// The first column of piece `piece` (both from 1), as findings name it.
inline long piece_first_column(long piece) { return 1 + (piece - 1) * long(DATA_LINE_LIMIT); }

/// What a piece says: a line is text, and a NUL ends it. Returns the
/// characters of [data, data + length) before the first NUL.
inline std::size_t said_length(const char* data, std::size_t length) {
    const void* nul = std::memchr(data, '\0', length);
    return nul ? std::size_t(static_cast<const char*>(nul) - data) : length;
}

/// The characters between tokens: space, comma, tab, CR and LF.
inline bool is_data_delimiter(char c) { return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n'; }

/// An asset's character as assets are compared: the ASCII letters A to Z
/// equal a to z; nothing else is folded.
inline char fold_asset_char(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

/// The asset `text` (`length` characters) with its letters folded: equal
/// keys are the same asset.
inline std::string folded_asset(const char* text, std::size_t length) {
    std::string key(text, length);
    for (char& c : key) c = fold_asset_char(c);
    return key;
}

/// Returns 1 when the token equals `asset`, ASCII letters without regard to
/// case.
inline int same_asset(const char* token, std::size_t length, const char* asset) {
    for (std::size_t i = 0; i < length; ++i)
        if (asset[i] == '\0' || fold_asset_char(token[i]) != fold_asset_char(asset[i])) return 0;
    return asset[length] == '\0' ? 1 : 0;
}

/// Returns 1 when the first token of the piece [p, end) may be the asset
/// `folded` (written in lower case) followed by a delimiter, so that the
/// piece has to be examined; 0 when it surely is for another asset or
/// carries nothing after the asset. Most lines of a big file are for other
/// assets; they are turned away here after a character or two. A line that
/// ends right after the asset (at its end or at a NUL) has no nominal and is
/// skipped either way. Only tells what to skip cheaply: the piece's first
/// cell decides.
inline int may_be_asset(const char* p, const char* end, const std::string& folded) {
    while (p < end && is_data_delimiter(*p)) ++p;
    const std::size_t n = folded.size();
    if (std::size_t(end - p) <= n) return 0;
    for (std::size_t i = 0; i < n; ++i)
        if (fold_asset_char(p[i]) != folded[i]) return 0;
    return is_data_delimiter(p[n]) ? 1 : 0;
}

/// Finds the first token of a data-file line at or after `p` (before `end`):
/// returns its start and sets `length`, or returns nullptr when none is left.
/// `p` is moved past the token. (Inline: the search calls it for every piece
/// it examines.)
inline const char* next_data_token(const char*& p, const char* end, std::size_t& length) {
    while (p < end && is_data_delimiter(*p)) ++p;
    if (p == end) return nullptr;
    const char* start = p;
    while (p < end && !is_data_delimiter(*p)) ++p;
    length = std::size_t(p - start);
    return start;
}

/// Returns 1 when the token is a whole number in digits, with an optional
/// sign: what stands before a decimal comma or a thousands separator.
inline bool is_whole_digits(const char* token, std::size_t length) {
    std::size_t i = (length > 0 && (token[0] == '+' || token[0] == '-')) ? 1 : 0;
    if (i == length) return false;
    for (; i < length; ++i)
        if (token[i] < '0' || token[i] > '9') return false;
    return true;
}

/// Returns 1 when a comma alone stands at `p` (before `end`) and the text
/// after it goes on as a number would after a decimal comma or a thousands
/// separator: it begins with a digit. The group then runs to the next
/// delimiter, whatever it holds: more digits, a fraction ("2,000.75"), an
/// exponent ("1,00027E+01", "5,5e3") or a unit ("10,5V"). Sets `after` to
/// the end of that group.
inline bool comma_group_at(const char* p, const char* end, const char*& after) {
    if (end - p < 2 || p[0] != ',' || p[1] < '0' || p[1] > '9') return false;
    const char* q = p + 1;
    while (q < end && !is_data_delimiter(*q)) ++q;
    after = q;
    return true;
}

/// A character that tokens are made of: neither a delimiter nor a NUL.
inline bool is_token_char(char c) { return c != '\0' && !is_data_delimiter(c); }

/// Returns 1 when a piece that follows a piece ending in `last`, with no
/// line end between them, begins with `first` inside the token that `last`
/// ends: a line longer than DATA_LINE_LIMIT cut a token in two. The second
/// half is no line for any asset, and a nominal or value that is the first
/// half is no number.
inline bool token_crosses(char last, char first) { return is_token_char(last) && is_token_char(first); }

/// A piece of a data file cut into the cells a lookup reads: asset, nominal,
/// value, then whatever follows. Cells are tokens, with one exception that
/// keeps a number written with a decimal comma or thousands separators from
/// being read as the whole number before its comma. On a line whose cells
/// so far are separated by runs that hold a blank or a tab, a nominal or a
/// value that is a whole number (sign and digits) followed by a comma alone
/// and a group that begins with a digit runs on over it, and over further
/// such groups: "10,00013", "1,000,000.2", "2,000.75", "5,5e3" and "10,5V"
/// are one cell each and no number, so a lookup reports them instead of
/// taking 10, 1, 2 or 5. A nominal runs on only when a value follows it, so
/// that AB12 10,10 keeps its reading. A line whose cells are separated by
/// commas alone (AB12,10,10.02,3), a value with a decimal point
/// (10.02,2026), a comma next to a blank and a comma before anything but a
/// digit (10,x5, 10,-5) are cut as always.
struct data_cells {
    const char* p = nullptr;    ///< where cutting goes on
    const char* end = nullptr;  ///< the end of what the piece says
    int taken = 0;              ///< cells cut so far
    const char* run_from[2] = {nullptr, nullptr};  ///< the runs before the nominal and the value ...
    const char* run_to[2] = {nullptr, nullptr};    ///< ... looked at only where a comma may join
};

/// Returns 1 when the delimiters [from, to) hold a blank or a tab.
inline bool holds_blank(const char* from, const char* to) {
    for (; from < to; ++from)
        if (*from == ' ' || *from == '\t') return true;
    return false;
}

/// Starts cutting the text [p, end) into cells.
inline data_cells data_cells_of(const char* p, const char* end) {
    data_cells c;
    c.p = p;
    c.end = end;
    return c;
}

/// Returns the next cell and sets `length`, or nullptr when none is left.
inline const char* next_data_cell(data_cells& c, std::size_t& length) {
    const char* const run = c.p;
    const char* const cell = next_data_token(c.p, c.end, length);
    if (!cell) return nullptr;
    const int index = c.taken++;
    if (index != 1 && index != 2) return cell;
    c.run_from[index - 1] = run;
    c.run_to[index - 1] = cell;
    // Only a comma right after the cell may join: what else decides is
    // looked at then.
    const char* joined = c.p;
    for (const char* after = nullptr; comma_group_at(joined, c.end, after);) joined = after;
    if (joined == c.p || !is_whole_digits(cell, length)) return cell;
    for (int i = 0; i < index; ++i)
        if (!holds_blank(c.run_from[i], c.run_to[i])) return cell;
    if (index == 1) {
        const char* rest = joined;
        while (rest < c.end && is_data_delimiter(*rest)) ++rest;
        if (rest == c.end) return cell;
    }
    c.p = joined;
    length = std::size_t(joined - cell);
    return cell;
}

/// Reads the next piece of a data file: text_read_piece with the data
/// file's limit.
inline text_read_result data_read_piece(text_reader& r, const char*& data, std::size_t& length,
                                        bool& had_line_end) {
    return text_read_piece(r, DATA_LINE_LIMIT, data, length, had_line_end);
}

/// Cuts the piece at `p` as data_read_piece reads it (text_cut_piece with
/// the data file's limit).
inline text_cut_result data_cut_piece(const char* p, std::size_t avail, bool at_end, std::size_t& length,
                                      std::size_t& used, bool& had_line_end) {
    return text_cut_piece(p, avail, DATA_LINE_LIMIT, at_end, length, used, had_line_end);
}

#endif
