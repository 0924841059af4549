// The mend of one data file (mend_data_file, mend.h): the text decoded and
// cut into lines, the file's separator and decimal mark decided from all of
// its lines, header rows, comments and Excel's "sep=" line dropped, every
// other line's cells mended and joined, then held against tallix's own cut
// and the checker's judgments of misread numbers and conflicting lines.
// Anything not certain is refused by line; nothing is then written.
#include "check/mend.h"
#include "check/mend_cells.h"

#include "check/cell_text.h"
#include "check/export_columns.h"
#include "check/shapes.h"

#include "lookup/data_file.h"
#include "lookup/search.h"

#include <algorithm>
#include <map>

namespace {

// A data line of the mended file, kept for the judgments of the whole file.
struct mended_line {
    long number = 0;
    std::string text;  // Windows-1252
    std::string folded_asset;
    double nominal = 0, value = 0;
};

struct mend_state {
    cell_separator separator = SEPARATOR_TALLIX;
    decimal_mark mark = MARK_UNKNOWN;
    mend_result* result = nullptr;
    long quoted_lines = 0;
    std::vector<mended_line> data;
};

void refuse(mend_state& s, long line, const std::string& text) { s.result->refusals.push_back({line, text}); }
void change(mend_state& s, long line, const std::string& text) { s.result->changes.push_back({line, text}); }

const char* const ROLE[] = {"asset", "nominal", "value"};

// Mends the nominal, the value and, where cells are joined anew, the
// numbers after them. Returns false when a line was refused.
bool mend_numbers(const text_line& l, cut_line& c, mend_state& s) {
    const bool rejoined = s.separator != SEPARATOR_TALLIX;
    for (std::size_t i = 1; i < c.cells.size() && (i < 3 || rejoined); ++i) {
        const std::u32string& cell = c.cells[i];
        std::string number, why, plain;
        char32_t missing = 0;
        if (!rejoined && to_windows_1252(cell, plain, missing) && is_number(plain)) continue;
        if (!mend_number(cell, s.mark, rejoined, number, why)) {
            if (i >= 3) continue;
            const std::string advice = why.compare(0, 9, "no number") == 0 ? number_advice(shown_text(cell)) : "";
            refuse(s, l.number, std::string(ROLE[i]) + " " + quoted(shown_text(cell)) + ": " + why + advice);
            return false;
        }
        if (number != shown_text(cell)) change(s, l.number, quoted(shown_text(cell)) + " -> " + number);
        c.cells[i] = std::u32string(number.begin(), number.end());
    }
    return true;
}

// The line as it is written: joined by tabs, or as it was with the quotes
// taken off.
std::u32string joined(const cut_line& c, cell_separator separator) {
    std::u32string out;
    for (std::size_t i = 0; i < c.cells.size(); ++i) {
        if (separator == SEPARATOR_TALLIX) out += c.runs[i];
        else if (i > 0) out += U'\t';
        out += c.cells[i];
    }
    return separator == SEPARATOR_TALLIX ? out + c.tail : out;
}

// Holds the written line against tallix's cut: the same three cells, the
// nominal and value numbers, an asset without characters a lookup does not
// type. Keeps the line for the judgments of the whole file.
bool holds_as_meant(const text_line& l, const cut_line& c, const std::string& written, mend_state& s) {
    const piece_cells p = cut_cells(written.data(), written.data() + written.size());
    std::string cell[3];
    char32_t missing = 0;
    for (int i = 0; i < 3; ++i) to_windows_1252(c.cells[std::size_t(i)], cell[i], missing);
    if (p.cells.size() < 3 || p.cells[0] != cell[0] || p.cells[1] != cell[1] || p.cells[2] != cell[2]) {
        refuse(s, l.number, "a cell holds a blank, tab or comma, at which tallix would cut it: which cells are "
                            "meant is not certain");
        return false;
    }
    mended_line m;
    m.number = l.number;
    m.text = written;
    m.folded_asset = folded_asset(cell[0].data(), cell[0].size());
    is_number(cell[1], m.nominal);
    is_number(cell[2], m.value);
    s.data.push_back(m);
    return true;
}

// An asset with a character that no lookup types, a quote or a semicolon:
// whether it belongs to the asset only the writer knows.
bool odd_asset(const text_line& l, const std::u32string& asset, mend_state& s) {
    const std::string shown = shown_text(asset);
    const odd_char* which = nullptr;
    std::size_t n = 0;
    const std::size_t at = find_odd_char(shown, 0, which, n);
    if (at == std::string::npos && shown.find_first_of("\";") == std::string::npos) return false;
    refuse(s, l.number, "the asset " + quoted(shown) + " holds " +
                            (at != std::string::npos ? odd_char_text(*which, at + 1) : "a quote or semicolon") +
                            ": is it part of the asset? write the asset as procedures name it");
    return true;
}

// Mends one line that is neither dropped nor empty and appends it.
void mend_line(const text_line& l, mend_state& s, std::string& out) {
    cut_line c = cut_mend_line(l.text, s.separator);
    if (c.quoted) ++s.quoted_lines;
    if (c.broken) return refuse(s, l.number, "a quote is not closed, or text follows a closing quote: which "
                                             "cells are meant is not certain");
    const bool data = c.cells.size() >= 2;
    if (data && odd_asset(l, c.cells[0], s)) return;
    if (data && c.cells.size() < 3) return refuse(s, l.number, "the line has no value");
    for (std::size_t i = 0; data && i < 3; ++i)
        if (c.cells[i].empty())
            return refuse(s, l.number, "the " + std::string(ROLE[i]) + " cell is empty: tallix passes over it and "
                                       "reads the next cell in its place; fill it in or delete the line");
    if (data && !mend_numbers(l, c, s)) return;
    std::string written;
    char32_t missing = 0;
    if (!to_windows_1252(joined(c, s.separator), written, missing))
        return refuse(s, l.number, code_point(missing) + " has no form in Windows-1252, the code page tallix "
                                   "reads: write it otherwise");
    if (data && !holds_as_meant(l, c, written, s)) return;
    text_append_line(out, written);
}

// The decimal mark of a file whose cells are joined anew: what its
// nominals and values show. Returns false when they show both.
bool decide_mark(const std::vector<text_line>& lines, mend_state& s) {
    long first[3] = {0, 0, 0};
    std::string example[3];
    for (const text_line& l : lines) {
        if (comment_line(l.text, s.separator == SEPARATOR_SEMICOLON)) continue;
        const cut_line c = cut_mend_line(l.text, s.separator);
        for (std::size_t i = 1; i < 3 && i < c.cells.size(); ++i) {
            const decimal_mark m = decimal_evidence(c.cells[i]);
            if (m != MARK_UNKNOWN && !first[m]) first[m] = l.number, example[m] = shown_text(c.cells[i]);
        }
    }
    s.mark = first[MARK_COMMA] ? MARK_COMMA : first[MARK_POINT] ? MARK_POINT : MARK_UNKNOWN;
    if (!first[MARK_COMMA] || !first[MARK_POINT]) return true;
    const bool comma_first = first[MARK_COMMA] < first[MARK_POINT];
    const decimal_mark later = comma_first ? MARK_POINT : MARK_COMMA;
    refuse(s, first[later], quoted(example[later]) + " has a decimal " + (later == MARK_COMMA ? "comma" : "point") +
                                ", but line " + std::to_string(first[3 - later]) + " has a decimal " +
                                (later == MARK_COMMA ? "point" : "comma") + " (" + quoted(example[3 - later]) +
                                "): the file's numbers do not agree on one way of writing them; write them all "
                                "with decimal points");
    return false;
}

}  // namespace

namespace {

// A line whose cells single commas part, with a number after the nominal
// and the value: a decimal comma in either would read just so.
bool comma_parted(const piece_cells& c) {
    if (c.cells.size() < 4) return false;
    for (std::size_t i = 1; i <= 3; ++i)
        if (c.runs[i] != "," || !is_number(c.cells[i])) return false;
    return true;
}

// The checker's judgments of numbers that read otherwise than meant, and
// commas that may part cells or mark decimals, on the mended lines.
void judge_misread(mend_state& s) {
    file_survey survey;
    std::vector<piece_cells> cut;
    for (const mended_line& m : s.data) {
        cut.push_back(cut_cells(m.text.data(), m.text.data() + m.text.size()));
        ++survey.nominal_lines;
        if (comma_split_count(cut.back()) > 0) ++survey.comma_split;
        count_separators(cut.back(), survey);
    }
    for (std::size_t k = 0; k < s.data.size(); ++k) {
        const piece_cells& c = cut[k];
        std::string text;
        bool error = false;
        if (comma_parted(c))
            refuse(s, s.data[k].number, "commas part the cells, and the numbers after " + c.cells[1] +
                                            " may be one number with a decimal comma or several cells: write the "
                                            "numbers with decimal points, or part the cells with tabs");
        else if (misread_numbers(c, survey, c.cells[0] + " at " + c.cells[1], text, error) && error)
            refuse(s, s.data[k].number, text);
    }
}

// Two lines of one asset at one nominal with different values: every
// lookup delivers the first, and which is right only the writer knows.
void judge_conflicts(mend_state& s) {
    std::map<std::string, std::vector<const mended_line*>> by_asset;
    for (const mended_line& m : s.data) by_asset[m.folded_asset].push_back(&m);
    for (auto& entry : by_asset) {
        std::vector<const mended_line*>& lines = entry.second;
        std::stable_sort(lines.begin(), lines.end(),
                         [](const mended_line* a, const mended_line* b) { return a->nominal < b->nominal; });
        for (std::size_t k = 1; k < lines.size(); ++k) {
            const mended_line* a = lines[k - 1];
            const mended_line* b = lines[k];
            if (a->number > b->number) std::swap(a, b);
            const bool same = in_tolerance(a->nominal, b->nominal, b->nominal) ||
                              in_tolerance(b->nominal, a->nominal, a->nominal);
            if (!same || a->value == b->value) continue;
            const piece_cells ca = cut_cells(a->text.data(), a->text.data() + a->text.size());
            const piece_cells cb = cut_cells(b->text.data(), b->text.data() + b->text.size());
            refuse(s, b->number, cb.cells[0] + " at " + cb.cells[1] + " records " + cb.cells[2] + ", but line " +
                                     std::to_string(a->number) + " records " + ca.cells[2] + " at " + ca.cells[1] +
                                     ": every lookup delivers the first; delete the line that is out of date");
        }
    }
}

// A NUL or a Ctrl-Z in the text: a Ctrl-Z with only blanks and line ends
// after it is dropped; anything else stops the mend.
bool end_of_text(std::u32string& text, mend_state& s) {
    const std::size_t nul = text.find(U'\0'), ctrl_z = text.find(char32_t(TEXT_END_OF_FILE));
    const std::size_t at = std::min(nul, ctrl_z);
    if (at == std::u32string::npos) return true;
    long line = 1;
    for (std::size_t i = 0; i < at; ++i)
        if (text[i] == '\n' || (text[i] == '\r' && text[i + 1] != '\n')) ++line;
    if (at == nul) {
        refuse(s, line, "a NUL character, which ends the line to tallix: delete it or what follows it");
        return false;
    }
    if (text.find_first_not_of(U" \t\r\n\x1A", at) != std::u32string::npos) {
        refuse(s, line, "a Ctrl-Z, after which tallix reads nothing, and text after it: delete the "
                                      "Ctrl-Z or the text after it");
        return false;
    }
    text.erase(at);
    change(s, 0, "Ctrl-Z at the end dropped");
    return true;
}

// The notes on the whole file, before those of its lines.
void file_notes(const decoded_file& f, const std::vector<text_line>& lines, const mend_state& s,
                std::vector<mend_note>& notes) {
    if (f.encoding == MEND_UTF16LE || f.encoding == MEND_UTF16BE)
        notes.push_back({0, std::string(f.encoding == MEND_UTF16LE ? "UTF-16LE" : "UTF-16BE") +
                                " text written as Windows-1252"});
    if (f.encoding == MEND_UTF8) notes.push_back({0, "UTF-8 text written as Windows-1252"});
    if (f.byte_order_mark) notes.push_back({0, "byte order mark dropped"});
    bool lf = false, cr = false;
    for (const text_line& l : lines) lf = lf || l.lf_alone, cr = cr || l.ended_by == U'\r';
    if (lf || cr)
        notes.push_back({0, std::string(lf && cr ? "LF and CR" : lf ? "LF" : "CR") + " line ends written as CR LF"});
    if (s.separator == SEPARATOR_SEMICOLON) notes.push_back({0, "cells separated by semicolons written with tabs"});
    if (s.quoted_lines)
        notes.push_back({0, "quotes around cells removed on " + std::to_string(s.quoted_lines) + " line" +
                                (s.quoted_lines == 1 ? "" : "s")});
}

// Writes the lines, dropping Excel's "sep=" line, the header row and comments.
void mend_lines(const std::vector<text_line>& lines, mend_state& s, std::string& out) {
    bool first_text = true;
    for (const text_line& l : lines) {
        if (trimmed(l.text).empty()) {
            text_end_line(out);
            continue;
        }
        const bool first = first_text;
        first_text = false;
        if (first && separator_line(l.text)) {
            change(s, l.number, "separator line dropped: " + quoted(shown_text(l.text)));
            first_text = true;
        } else if (comment_line(l.text, s.separator == SEPARATOR_SEMICOLON)) {
            change(s, l.number, "comment dropped: " + quoted(shown_text(l.text)));
            first_text = first;
        } else if (first && header_cells(cut_mend_line(l.text, s.separator))) {
            change(s, l.number, "header row dropped: " + quoted(shown_text(l.text)));
        } else {
            mend_line(l, s, out);
        }
    }
}

bool by_line(const mend_note& a, const mend_note& b) { return a.line < b.line; }

}  // namespace

int mend_data_file(const std::string& bytes, mend_result& result) {
    result = mend_result();
    mend_state s;
    s.result = &result;
    decoded_file f;
    mend_note broken;
    if (!decode_file(bytes, f, broken)) return result.refusals.push_back(broken), 0;
    if (!end_of_text(f.text, s)) return 0;
    const std::vector<text_line> lines = split_lines(f.text);
    s.separator = file_separator(lines);
    if (s.separator != SEPARATOR_TALLIX && !decide_mark(lines, s)) return 0;
    std::string out;
    mend_lines(lines, s, out);
    if (result.refusals.empty()) judge_misread(s);
    if (result.refusals.empty()) judge_conflicts(s);
    if (!result.refusals.empty()) {
        std::stable_sort(result.refusals.begin(), result.refusals.end(), by_line);
        result.changes.clear();
        return 0;
    }
    std::vector<mend_note> notes;
    file_notes(f, lines, s, notes);
    std::stable_sort(result.changes.begin(), result.changes.end(), by_line);
    result.changes.insert(result.changes.begin(), notes.begin(), notes.end());
    result.text = result.changes.empty() ? bytes : out;
    return 1;
}
