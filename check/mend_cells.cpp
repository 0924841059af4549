// The lines of a file to be mended cut into cells (mend_cells.h): at
// semicolons or tabs with quoted cells whole, or as tallix cuts them, and
// what a line is besides data.
#include "check/mend_cells.h"

#include "check/shapes.h"

#include <cstddef>

namespace {

bool blank(char32_t c) { return c == ' ' || c == '\t'; }

// Whether `line` holds `ch` outside quotes.
bool holds_unquoted(const std::u32string& line, char32_t ch) {
    bool in_quotes = false;
    for (char32_t c : line) {
        if (c == '"') in_quotes = !in_quotes;
        else if (c == ch && !in_quotes) return true;
    }
    return false;
}

// Cuts at `sep`: a cell that begins with a quote runs to its closing quote
// (two quotes in it stand for one), and only blanks may follow that.
cut_line cut_at(const std::u32string& line, char32_t sep) {
    cut_line c;
    std::u32string cell;
    bool in_quotes = false, after_quote = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char32_t ch = line[i];
        if (in_quotes) {
            if (ch != '"') cell += ch;
            else if (i + 1 < line.size() && line[i + 1] == '"') cell += line[++i];
            else in_quotes = false, after_quote = true;
        } else if (ch == sep) {
            c.cells.push_back(after_quote ? cell : trimmed(cell));
            cell.clear();
            after_quote = false;
        } else if (ch == '"' && !after_quote && trimmed(cell).empty()) {
            in_quotes = c.quoted = true;
            cell.clear();
        } else if (after_quote) {
            c.broken = c.broken || !blank(ch);
        } else {
            cell += ch;
        }
    }
    c.broken = c.broken || in_quotes;
    c.cells.push_back(after_quote ? cell : trimmed(cell));
    while (!c.cells.empty() && c.cells.back().empty()) c.cells.pop_back();
    return c;
}

// Takes the quotes off a cell cut as tallix cuts: returns false when the
// quote is not closed at the cell's end.
bool unquote(std::u32string& cell) {
    if (cell.empty() || cell[0] != '"') return true;
    std::u32string inner;
    for (std::size_t i = 1; i < cell.size(); ++i) {
        if (cell[i] != '"') inner += cell[i];
        else if (i + 1 < cell.size() && cell[i + 1] == '"') inner += cell[++i];
        else if (i + 1 == cell.size()) return cell = inner, true;
        else return false;
    }
    return false;
}

// As tallix cuts: the line's characters as one byte each (a character
// beyond ASCII is never a delimiter; a delimiter in quotes is kept in its
// cell), cut by the data-file rules, and the cells taken back by offset.
cut_line cut_as_tallix(const std::u32string& line) {
    std::string probe;
    bool in_quotes = false;
    for (char32_t ch : line) {
        if (ch == '"') in_quotes = !in_quotes;
        probe += ch >= 0x80 || (in_quotes && (ch == ' ' || ch == ',' || ch == '\t')) ? 'X' : char(ch);
    }
    const piece_cells p = cut_cells(probe.data(), probe.data() + probe.size());
    cut_line c;
    std::size_t at = 0;
    for (std::size_t i = 0; i < p.cells.size(); ++i) {
        c.runs.push_back(line.substr(at, p.runs[i].size()));
        at += p.runs[i].size();
        c.cells.push_back(line.substr(at, p.cells[i].size()));
        at += p.cells[i].size();
        const bool quoted = !c.cells.back().empty() && c.cells.back()[0] == '"';
        c.quoted = c.quoted || quoted;
        c.broken = c.broken || !unquote(c.cells.back());
    }
    c.tail = line.substr(at);
    c.broken = c.broken || in_quotes;
    return c;
}

}  // namespace

std::u32string trimmed(const std::u32string& line) {
    std::size_t from = 0, to = line.size();
    while (from < to && blank(line[from])) ++from;
    while (to > from && blank(line[to - 1])) --to;
    return line.substr(from, to - from);
}

cut_line cut_mend_line(const std::u32string& line, cell_separator separator) {
    if (separator == SEPARATOR_SEMICOLON) return cut_at(line, ';');
    if (separator == SEPARATOR_TAB) return cut_at(line, '\t');
    return cut_as_tallix(line);
}

bool comment_line(const std::u32string& line, bool semicolons) {
    const std::u32string t = trimmed(line);
    if (t.empty()) return false;
    if (t[0] == '#' || t[0] == '\'' || t[0] == '!' || t[0] == '*' || t.compare(0, 2, U"//") == 0) return true;
    if (t[0] == ';') return !semicolons;
    if (t.size() < 3 || (t.size() > 3 && !blank(t[3]))) return false;
    std::u32string word = t.substr(0, 3);
    for (char32_t& ch : word) ch = (ch >= 'a' && ch <= 'z') ? ch - 32 : ch;
    return word == U"REM";
}

bool separator_line(const std::u32string& line) {
    const std::u32string t = trimmed(line);
    return t.size() == 5 && t.compare(0, 4, U"sep=") == 0;
}

bool header_cells(const cut_line& c) {
    if (c.cells.size() < 2) return false;
    for (std::size_t i = 0; i < c.cells.size() && i < 3; ++i)
        for (char32_t ch : c.cells[i])
            if (ch >= '0' && ch <= '9') return false;
    return true;
}

cell_separator file_separator(const std::vector<text_line>& lines) {
    bool semicolons = true, tabs = true, any = false;
    for (const text_line& l : lines) {
        const std::u32string t = trimmed(l.text);
        if (t.empty() || t[0] == ';' || comment_line(t, true) || separator_line(t)) continue;
        any = true;
        semicolons = semicolons && holds_unquoted(t, ';');
        tabs = tabs && holds_unquoted(t, '\t');
    }
    if (!any) return SEPARATOR_TALLIX;
    return semicolons ? SEPARATOR_SEMICOLON : tabs ? SEPARATOR_TAB : SEPARATOR_TALLIX;
}
