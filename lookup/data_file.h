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
#include <string>

/// Data-file lines are read in pieces of at most this many characters, the
/// line end counting as one.
constexpr std::size_t DATA_LINE_LIMIT = 254;

/// The characters between tokens: space, comma, tab, CR and LF.
inline bool is_data_delimiter(char c) { return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n'; }

/// An asset's character as assets are compared: the ASCII letters A to Z
/// equal a to z; nothing else is folded.
inline char fold_asset_char(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

/// The asset `text` (`length` characters) with its letters folded: equal
/// keys are the same asset.
std::string folded_asset(const char* text, std::size_t length);

/// Returns 1 when the token equals `asset`, ASCII letters without regard to
/// case.
inline int same_asset(const char* token, std::size_t length, const char* asset) {
    for (std::size_t i = 0; i < length; ++i)
        if (asset[i] == '\0' || fold_asset_char(token[i]) != fold_asset_char(asset[i])) return 0;
    return asset[length] == '\0' ? 1 : 0;
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
