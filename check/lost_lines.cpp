// The lines lost to the asset their writer meant (lost_line): the file's
// UTF-8 byte order mark glued to the first asset, a header row or a
// comment, cells in quotes, cells separated by semicolons, a non-breaking
// space before or after the asset, an invisible character or UTF-8 text in
// it. Each is told once, with what tallix reads as the asset and what to
// write instead.
#include "check/shapes.h"

#include "check/cell_text.h"
#include "check/number_advice.h"

#include <algorithm>
#include <cstring>

namespace {

// The asset its writer meant: the cell without the quotes or the text after
// a semicolon or a non-breaking space.
std::string meant_asset(const std::string& cell, std::size_t from, std::size_t to) {
    std::string a = cell.substr(from, to - from);
    if (!a.empty() && a.back() == '\xC2') a.pop_back();  // the first byte of a UTF-8 NBSP
    return a;
}

// A UTF-8 byte order mark glued to the first asset.
bool byte_order_mark(const piece_cells& c, shape_note& note) {
    const std::string& a = c.cells[0];
    if (!starts_with(a, "\xEF\xBB\xBF") || a.size() <= 3 || c.cells.size() < 2) return false;
    note.error = true;
    note.text = "the file begins with a UTF-8 byte order mark, which tallix reads as part of the first asset, so "
                "no lookup of " + a.substr(3) +
                " finds this line; save the file as ANSI text (Notepad: encoding \"ANSI\"), or begin it with an "
                "empty line";
    return true;
}

// A header row: the first line with text, without a digit in its first
// cells. A comment: a line that begins as comments do elsewhere.
bool header_or_comment(const piece_cells& c, bool first_text, shape_note& note) {
    const std::string& a = c.cells[0];
    const bool more = c.cells.size() > 1;
    bool header = first_text && (more || a.find(';') != std::string::npos);
    for (std::size_t i = 0; i < c.cells.size() && i < 3; ++i) header = header && !has_digit(c.cells[i]);
    if (header) {
        note.text = "a header row? tallix has no header rows and reads this line as data, for an asset " +
                    quoted(a) + "; delete the row";
        return true;
    }
    const bool comment = a[0] == '#' || a[0] == '\'' || a[0] == '!' || a[0] == '*' || a[0] == ';' ||
                         starts_with(a, "//") || a == "REM" || a == "rem" || a == "Rem";
    if (!comment || !more) return false;
    note.text = "a comment? tallix has no comments and reads this line as data, for an asset " + quoted(a) +
                "; delete the line";
    return true;
}

// Cells in quotes: the asset keeps its quotes; a number with a decimal
// comma in quotes is cut at the comma once the quotes are gone.
bool quoted_cells(const piece_cells& c, shape_note& note) {
    const std::string& a = c.cells[0];
    if (a[0] != '"' || a.size() < 2 || c.cells.size() < 2) return false;
    const std::size_t close = a.find('"', 1);
    note.error = true;
    note.text = "cells in quotes: tallix keeps the quotes as part of the asset, so no lookup of " +
                meant_asset(a, 1, close == std::string::npos ? a.size() : close) +
                " finds this line; save the file without quotes around cells";
    for (std::size_t i = 1; i < c.cells.size(); ++i) {
        if (c.cells[i][0] != '"' || (c.cells[i].size() > 1 && c.cells[i].back() == '"')) continue;
        const std::string advice = quotes_advice(c, i);
        if (starts_with(advice, "; the quotes hold ")) note.text += advice;
        break;
    }
    return true;
}

// The byte A0 of the first non-breaking space at or after `from` (in
// Windows-1252 or UTF-8), or npos.
std::size_t find_nbsp(const std::string& s, std::size_t from) {
    const odd_char* which = nullptr;
    std::size_t n = 0;
    for (std::size_t at; (at = find_odd_char(s, from, which, n)) != std::string::npos; from = at + n)
        if (std::strcmp(which->code, "U+00A0") == 0) return at + n - 1;
    return std::string::npos;
}

// A non-breaking space before the asset or after it.
bool asset_nbsp(const piece_cells& c, shape_note& note) {
    const std::string& a = c.cells[0];
    const bool more = c.cells.size() > 1;
    const std::size_t lead = a[0] == '\xA0' ? 1 : starts_with(a, "\xC2\xA0") ? 2 : 0;
    if (lead > 0 && a.size() > lead && more) {
        const std::string meant = meant_asset(a, lead, std::min(find_nbsp(a, lead), a.size()));
        note.text = "a non-breaking space (U+00A0, " + std::string(lead == 1 ? "byte A0" : "bytes C2 A0") +
                    ") before \"" + meant + "\" is no blank to tallix: the asset is read as " + quoted(a) +
                    ", so no lookup of " + meant + " finds this line; type a plain blank or tab, or nothing";
        return true;
    }
    const std::size_t nbsp = find_nbsp(a, 0);
    if (nbsp == std::string::npos || (!more && !has_digit(a.substr(nbsp)))) return false;
    note.text = "a non-breaking space (byte A0) after \"" + meant_asset(a, 0, nbsp) +
                "\" is no blank to tallix: the asset is read together with what follows it, so no lookup of " +
                meant_asset(a, 0, nbsp) + " finds this line; type a plain blank or tab";
    return true;
}

// An asset cell that holds more than the asset: the cells after it joined
// by semicolons, quotes around it, a non-breaking space before or after it.
bool asset_with_more(const piece_cells& c, shape_note& note) {
    const std::string& a = c.cells[0];
    const std::size_t semicolon = a.find(';');
    if (semicolon != std::string::npos && semicolon > 0 && has_digit(a.substr(semicolon))) {
        note.error = true;
        note.text = "cells separated by semicolons: tallix cuts cells only at blanks, tabs and commas, so this "
                    "line is read as an asset " + quoted(a) + " and no lookup of " + meant_asset(a, 0, semicolon) +
                    " finds it; save the file as \"Text (Tab delimited)\", with decimal points";
        return true;
    }
    return quoted_cells(c, note) || asset_nbsp(c, note);
}

// An invisible character in the asset, which no lookup types; UTF-8 text,
// which a lookup's asset on Windows is not.
bool asset_odd_chars(const piece_cells& c, shape_note& note) {
    const std::string& a = c.cells[0];
    if (c.cells.size() < 2) return false;
    const std::size_t column = c.runs[0].size() + 1;
    const odd_char* which = nullptr;
    std::size_t n = 0;
    const std::size_t at = find_odd_char(a, 0, which, n);
    if (at != std::string::npos) {
        note.error = true;
        note.text = odd_char_text(*which, column + at) + " is part of the asset " + quoted(a) +
                    " to tallix, so no lookup of " + without_odd_chars(a) + " finds this line; " +
                    odd_char_mend(*which, false);
        return true;
    }
    const std::size_t text_at = find_utf8_text(a, n);
    if (text_at == std::string::npos) return false;
    note.text = "the asset " + quoted(a) + " is UTF-8 text (" + code_point(utf8_code(a, text_at, n)) + " at " +
                ordinal_column(column + text_at) +
                "): tallix compares assets byte for byte, and on Windows it gets the asset of a lookup in the "
                "ANSI code page (Windows-1252 on Western PCs: one byte a character, where UTF-8 has two or "
                "more), so a lookup typed there does not find this line; save the file as ANSI text (Notepad: encoding \"ANSI\")";
    return true;
}

}  // namespace

bool lost_line(const piece_cells& c, bool first_text, bool at_file_start, shape_note& note) {
    note = shape_note();
    if (c.cells.empty()) return false;
    return (at_file_start && byte_order_mark(c, note)) || header_or_comment(c, first_text, note) ||
           asset_with_more(c, note) || asset_odd_chars(c, note);
}
