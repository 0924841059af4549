// The checks of one data file. The file is walked the way the search walks
// it, piece by piece, read a few pieces ahead to know how each meets the
// next: a piece that begins inside a token cut by the piece before it is
// no line, and a nominal or value that runs on past its piece's end is
// cut. Each piece is judged as a line by line_checks.cpp; what the search
// cannot tell (lines cut into pieces, a CR that joins two lines, lines in
// UTF-16, a Ctrl-Z that hides the rest) by physical_lines.cpp. Before the
// walk the file is surveyed (shapes.h) and the assets that real lines are
// written for are gathered; after it, a file in which no lookup finds
// anything is told first. The findings are written here.
#include "check/check.h"
#include "check/file_check.h"
#include "check/shapes.h"

#include "lookup/search.h"

#include <cerrno>
#include <deque>
#include <memory>
#include <set>

void add_finding(file_check& fc, std::string& to, long line, bool error, const std::string& text) {
    to += fc.path;
    if (line > 0) to += ':' + std::to_string(line);
    to += error ? ": error: " : ": warning: ";
    to += text;
    to += '\n';
    ++(error ? fc.counts.errors : fc.counts.warnings);
}

void finding(file_check& fc, const place& at, bool error, std::string text) {
    if (fc.quiet_line && !(error && fc.quiet_errors)) return;
    if (at.piece > 1)
        text += " (in piece " + std::to_string(at.piece) + ", from column " +
                std::to_string(piece_first_column(at.piece)) + ")";
    add_finding(fc, fc.findings, at.line, error, text);
}

namespace {

// The pieces of the file, read a few ahead: whether a piece's last token
// goes on in the next, and how far, is known only from the pieces after it.
struct raw_piece {
    std::string text;
    bool had_end = false;
};

struct piece_source {
    text_reader* reader = nullptr;
    std::deque<raw_piece> ahead;
    bool at_end = false;  // no piece comes after those ahead
    bool failed = false;  // because reading failed (errno in reader->error)
};

bool read_ahead(piece_source& s) {
    if (s.at_end) return false;
    const char* data = nullptr;
    std::size_t length = 0;
    bool had_end = false;
    const text_read_result got = data_read_piece(*s.reader, data, length, had_end);
    if (got != TEXT_LINE) {
        s.at_end = true;
        s.failed = got == TEXT_FAILED;
        return false;
    }
    s.ahead.push_back({std::string(data, length), had_end});
    return true;
}

std::size_t leading_token(const std::string& text) {
    std::size_t n = 0;
    while (n < text.size() && is_token_char(text[n])) ++n;
    return n;
}

// The rest of a token that runs on past the end of the piece just taken
// from the source: the token characters that begin the pieces after it, as
// far as each goes on.
std::string run_on_text(piece_source& s) {
    std::string text;
    for (std::size_t i = 0;; ++i) {
        if (i == s.ahead.size() && !read_ahead(s)) return text;
        const raw_piece& p = s.ahead[i];
        const std::size_t n = leading_token(p.text);
        text.append(p.text, 0, n);
        if (n < p.text.size() || p.had_end || p.text.size() < DATA_LINE_LIMIT) return text;
    }
}

// Where the piece just taken meets the pieces around it. `before` is the
// last character of the piece before it in its line (a line end for the
// first piece).
piece_edges edges_of(file_check& fc, piece_source& s, const raw_piece& p, char before) {
    piece_edges e;
    const std::string& t = p.text;
    e.begins_inside = !t.empty() && token_crosses(before, t[0]);
    if (e.begins_inside) e.cut_first = fc.carry + t.substr(0, leading_token(t));
    e.rest_of_cell = e.begins_inside && fc.carry_is_cell;
    if (!p.had_end && t.size() == DATA_LINE_LIMIT && said_length(t.data(), t.size()) == t.size() &&
        is_token_char(t.back()) && (!s.ahead.empty() || read_ahead(s)) && !s.ahead.front().text.empty() &&
        is_token_char(s.ahead.front().text[0])) {
        e.runs_on = true;
        const piece_cells pc = cut_cells(t.data(), t.data() + t.size());
        e.cut_last = pc.cells.back() + run_on_text(s);
        const std::size_t index = pc.cells.size() - 1;
        fc.carry_is_cell = e.begins_inside ? fc.carry_is_cell && leading_token(t) == t.size()
                                           : index == 1 || index == 2;
    } else if (!(e.begins_inside && leading_token(t) == t.size())) {
        fc.carry_is_cell = false;
    }
    // The token that runs from this piece into the next.
    std::size_t tail = 0;
    while (tail < t.size() && is_token_char(t[t.size() - 1 - tail])) ++tail;
    if (p.had_end) fc.carry.clear();
    else if (tail == t.size() && e.begins_inside) fc.carry += t;
    else fc.carry = t.substr(t.size() - tail);
    return e;
}

// Reads the file piece by piece and judges each. Returns 1 at its end (the
// reader then tells of a Ctrl-Z), or 0 when reading failed.
int read_pieces(file_check& fc, piece_source& s, int& error_number) {
    bool had_end = true;
    char before = '\n';
    place at;
    for (;;) {
        if (s.ahead.empty() && !read_ahead(s)) break;
        const raw_piece p = std::move(s.ahead.front());
        s.ahead.pop_front();
        if (had_end) {
            if (at.line) finish_line(fc);
            ++at.line;
            at.piece = 0;
        }
        if (++at.piece == 1) {
            ++fc.counts.lines;
            fc.line = at.line;
        } else if (!p.text.empty()) {
            // An empty last piece holds only the line end of a line that
            // filled the piece before it; it has no characters to tell of.
            fc.further.push_back({at.piece, std::string()});
            for (char c : p.text) fc.further_text = fc.further_text || !is_data_delimiter(c);
        }
        fc.line_length += p.text.size();
        ++fc.order;
        const piece_edges e = edges_of(fc, s, p, before);
        if (!in_utf16_run(fc, at, p.text)) check_piece(fc, at, p.text, e);
        had_end = p.had_end;
        before = had_end || p.text.empty() ? '\n' : p.text.back();
    }
    finish_line(fc);
    if (!s.failed) return 1;
    error_number = s.reader->error;
    return 0;
}

// The assets that some line that is no header row or comment is written
// for: their lookups are meant, so a header row or comment of the same
// asset that stops them fails a real lookup. Read as read_pieces reads.
int meant_assets(std::FILE* file, std::set<std::string>& meant, int& error_number) {
    auto reader = new_text_reader();
    text_reader_start(*reader, file);
    piece_source s;
    s.reader = reader.get();
    bool had_end = true, seen_text = false, utf16 = false;
    char before = '\n';
    long line = 0, piece = 0;
    while (read_ahead(s)) {
        const raw_piece p = std::move(s.ahead.front());
        s.ahead.pop_front();
        const bool first = had_end;
        piece = first ? 1 : piece + 1;
        if (first) ++line;
        if (first) utf16 = utf16_bytes(p.text);
        const bool inside = !p.text.empty() && token_crosses(before, p.text[0]);
        had_end = p.had_end;
        before = had_end || p.text.empty() ? '\n' : p.text.back();
        if (utf16_piece(utf16, piece, p.text) || inside) continue;
        const piece_cells pc = cut_cells(p.text.data(), p.text.data() + said_length(p.text.data(), p.text.size()));
        shape_note note;
        const bool lost = lost_line(pc, !seen_text && !pc.cells.empty(), first && line == 1, note);
        seen_text = seen_text || !pc.cells.empty();
        if (!lost && pc.cells.size() > 1) meant.insert(folded_asset(pc.cells[0].data(), pc.cells[0].size()));
    }
    if (s.failed) {
        error_number = reader->error;
        return 0;
    }
    std::clearerr(file);
    if (std::fseek(file, 0, SEEK_SET) == 0) return 1;
    error_number = errno ? errno : EIO;
    return 0;
}

// A file in which no lookup finds anything, told first: every lookup of
// it fails.
void tell_nothing_found(file_check& fc) {
    if (fc.any_line || fc.utf16_told) return;
    std::string text;
    if (fc.counts.lines == 0)
        add_finding(fc, text, 0, true,
                    "the file holds no line, so no lookup can find anything in it; write one line per asset "
                    "and nominal: the asset, the nominal and the value (A7 10 10.00013)");
    else
        add_finding(fc, text, 1, true,
                    "no line of the file has an asset and a nominal that is a number, so no lookup can find "
                    "anything in it; write one line per asset and nominal: the asset, the nominal and the value, "
                    "separated by blanks, tabs or commas (A7 10 10.00013)");
    fc.out->insert(fc.out_start, text);
}

void add_totals(const file_check& fc, check_totals& totals) {
    totals.lines += fc.counts.lines;
    totals.assets += long(fc.assets.size());
    totals.nominals += fc.counts.nominals;
    totals.errors += fc.counts.errors;
    totals.warnings += fc.counts.warnings;
}

}  // namespace

int check_data_file(const char* path, std::FILE* file, std::string& out, check_totals& totals,
                    int& error_number) {
    file_check fc;
    fc.path = path;
    fc.out = &out;
    fc.out_start = out.size();
    int read = survey_data_file(file, fc.survey, error_number);
    if (read) read = meant_assets(file, fc.meant, error_number);
    auto reader = new_text_reader();
    text_reader_start(*reader, file);
    piece_source source;
    source.reader = reader.get();
    if (read) read = read_pieces(fc, source, error_number);
    if (read) {
        tell_utf16(fc, true);
        tell_nothing_found(fc);
    }

    // Text mode ended the file at a Ctrl-Z: say where, when text follows.
    if (read && reader->ctrl_z) read = tell_ctrl_z(fc, file, reader->ctrl_z_at, error_number);
    add_totals(fc, totals);
    return read;
}

void append_summary(std::string& out, const std::string& label, const check_totals& totals) {
    auto count = [&](long n, const char* noun, bool last) {
        out += std::to_string(n);
        out += ' ';
        out += noun;
        if (n != 1) out += 's';
        out += last ? "\n" : ", ";
    };
    out += label;
    out += ": ";
    count(totals.lines, "line", false);
    count(totals.assets, "asset", false);
    count(totals.nominals, "nominal", false);
    count(totals.errors, "error", false);
    count(totals.warnings, "warning", true);
}
