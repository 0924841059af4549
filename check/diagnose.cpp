// The checks of one data file. The file is walked the way the search walks
// it, piece by piece, and each piece is judged by the lookups that reach
// it, decided as the search decides: a lookup of an asset takes the first
// line of the asset whose nominal matches, and stops at the first line of
// the asset whose nominal is not a number or is cut by the piece's end. A
// piece that begins inside a token cut by the piece before it is no line.
// For every line the checker knows the exact nominals a lookup may ask for
// that reach it (those its tolerance accepts, less those an earlier line of
// the asset takes; a lookup at +infinity takes the asset's first line with
// a number, one at -infinity none; check/reach.h), so a line no lookup
// reaches is told as such and never as an error of its own. On top of that
// the checker sees what the search cannot tell: lines cut into pieces, a CR
// that joins two lines, lines in UTF-16, and a Ctrl-Z that hides the rest.
#include "check/check.h"
#include "check/reach.h"
#include "check/shapes.h"

#include "exchange/exchange.h"
#include "lookup/search.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace {

// Where a line of the file was met: its physical line and its piece.
struct place {
    long line = 0;
    long piece = 0;
};

std::string place_text(const place& at) {
    std::string text = "line " + std::to_string(at.line);
    if (at.piece > 1) text += ", piece " + std::to_string(at.piece);
    return text;
}

// The value cell of a line as a lookup meets it.
struct line_value {
    bool present = false;
    bool cut = false;     // cut by the end of its piece: no number
    bool number = false;  // a number to its end
    double value = 0;
    std::string text;
};

// The first line of one exact nominal of an asset.
struct nominal_line {
    place at;
    long order = 0;  // pieces in file order, for the earliest of several matches
    std::string token;
    double nominal = 0;
    line_value value;
};

struct asset_lines {
    std::map<double, nominal_line> by_nominal;  // lines with a number, first of each nominal
    taken_ranges taken;                         // sought nominals those lines take
    bool has_number = false;                    // the +infinity lookup's line ...
    nominal_line first_number;                  // ... is the first with a number
    long blocked_at = 0;  // first line whose nominal stops every lookup; 0: none
    place blocked;
    std::string blocked_why;  // "nominal "ten" is not a number"
};

// A further piece of a long line, as the long-line warning describes it.
struct further_piece {
    long piece = 0;
    std::string asset;  // empty: not read as a line for any asset
};

// How a piece meets its neighbours in a line longer than a piece.
struct piece_edges {
    bool begins_inside = false;  // its first token is the rest of one the piece before cut
    std::string cut_first;       // ... that whole token
    bool runs_on = false;        // its last token goes on in the next piece
    std::string cut_last;        // ... that whole token
    bool rest_of_cell = false;   // the token it begins inside is the nominal or value before
};

struct file_check {
    const char* path = nullptr;
    std::string* out = nullptr;
    std::size_t out_start = 0;  // where this file's findings begin in *out
    check_totals counts;
    std::map<std::string, asset_lines> assets;
    std::set<std::string> meant;  // assets of lines that are not header rows or comments
    long order = 0;
    // The physical line being read: its findings wait until the line is
    // complete, so that the long-line warning comes first.
    long line = 0;
    std::size_t line_length = 0;
    std::vector<further_piece> further;
    std::string findings;
    std::string carry;    // the token that runs from the pieces before into this one ...
    bool carry_is_cell = false;  // ... the nominal or value of the piece before
    bool further_text = false;   // a further piece of the line holds more than blanks
    // CRs without an LF in the line: text mode keeps them in the line.
    long crs_waiting = 0;       // not yet followed by text
    long first_waiting = 0;     // column of the first of those
    long crs_joining = 0;       // followed by text: they join what looks like two lines
    long first_joining = 0;     // column of the first of those
    file_survey survey;
    bool seen_text = false;   // a line with a cell has been read
    bool any_line = false;    // a piece with an asset and a nominal that is a number
    bool quiet_line = false;  // the line is lost to its writer's asset: one finding says why ...
    bool quiet_errors = false;  // ... but a lookup of an asset others write for stops there
    // Lines in UTF-16, which say nothing to a lookup.
    bool utf16_line = false;  // the line being read
    long utf16_first = 0, utf16_last = 0;  // the run of such lines not yet told
    long utf16_tail = 0;  // the line after them, begun by the NUL of their last line end
    bool utf16_told = false;
    bool read_text = false;  // a line with a cell that is not UTF-16
};

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

// The earliest line of the asset that a lookup at the finite `nominal`
// takes before any later line, or nullptr when there is none.
const nominal_line* earlier_match(const asset_lines& a, double nominal) {
    const nominal_line* best = nullptr;
    auto consider = [&](const std::pair<const double, nominal_line>& e) {
        if (!in_tolerance(e.first, nominal, nominal)) return;
        if (!best || e.second.order < best->order) best = &e.second;
    };
    // Every nominal the tolerance accepts lies well inside twice its width
    // (which overflows to infinity at the ends, taking infinite nominals in).
    const double width = std::fabs(nominal) * 2 * NOMINAL_TOLERANCE;
    for (auto it = a.by_nominal.lower_bound(nominal - width);
         it != a.by_nominal.end() && it->first <= nominal + width; ++it)
        consider(*it);
    return best;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// A number as a lookup's nominal must be typed to be this very double.
std::string exact_number(double d) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", d);
    return text;
}

const char* const KEEP_WITHIN = "keep each line within 254 characters (its cells first), or break it into lines";

// A NUL ends what a line says; say so when something was meant after it.
void check_nul(file_check& fc, const place& at, const std::string& text, std::size_t said) {
    if (said == text.size()) return;
    for (std::size_t i = said + 1; i < text.size(); ++i) {
        if (text[i] == '\0' || is_data_delimiter(text[i])) continue;
        finding(fc, at, false,
                "a NUL character at column " +
                    std::to_string(piece_first_column(at.piece) + long(said)) +
                    " ends the line; the text after it is never read");
        return;
    }
}

// A CR that no LF follows does not end a line: what comes after it is read
// as part of the same line. Only a CR with text after it misleads.
void note_lone_crs(file_check& fc, const place& at, const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '\r') {
            if (fc.crs_waiting++ == 0) fc.first_waiting = piece_first_column(at.piece) + long(i);
        } else if (fc.crs_waiting && !is_data_delimiter(text[i])) {
            if (fc.crs_joining == 0) fc.first_joining = fc.first_waiting;
            fc.crs_joining += fc.crs_waiting;
            fc.crs_waiting = 0;
        }
    }
}

std::string lone_cr_text(const file_check& fc) {
    const std::string line = std::to_string(fc.line);
    if (fc.crs_joining == 1)
        return "a CR without an LF at column " + std::to_string(fc.first_joining) +
               " does not end the line; the text after it is read as part of line " + line;
    return std::to_string(fc.crs_joining) + " CRs without an LF, from column " + std::to_string(fc.first_joining) +
           " on, do not end lines (are the line ends CR alone?); the text after them is read as part of line " +
           line + "; save the file with Windows line ends (CR LF)";
}

// Which lookups reach a line: `own`, the one at its own nominal; `some`,
// any finite one; `infinite`, the one at +infinity. `taker` is the earlier
// line that the lookup at its own nominal takes, when one does.
struct reach {
    bool own = false, some = false, infinite = false;
    const nominal_line* taker = nullptr;
    long long low = 0, high = -1;  // the finite sought nominals that match it
    bool any() const { return own || some || infinite; }
};

// What the line's shape says before its cells are judged: a line lost to
// the asset its writer meant says so once, and nothing more of an asset
// nobody looks up; a NUL with text after it. A header row or a comment that
// a lookup of an asset written elsewhere in the file stops at still has
// its errors told: that lookup fails there.
void judge_shape(file_check& fc, const place& at, const piece_cells& pc, const std::string& text, std::size_t said) {
    fc.quiet_line = fc.quiet_errors = false;
    shape_note lost;
    if (lost_line(pc, !fc.seen_text && !pc.cells.empty(), at.line == 1 && at.piece == 1, lost)) {
        finding(fc, at, lost.error, lost.text);
        fc.quiet_line = true;
        fc.quiet_errors = !lost.error && pc.cells.size() > 1 &&
                          fc.meant.count(folded_asset(pc.cells[0].data(), pc.cells[0].size()));
    }
    fc.seen_text = fc.seen_text || !pc.cells.empty();
    check_nul(fc, at, text, said);
}

// A piece that begins inside a token that the piece before it cut: no
// lookup reads it as a line. Told where it would look like one.
// (The rest of a nominal or value is told with the cut cell.)
void judge_crossing(file_check& fc, const place& at, const piece_cells& pc, const piece_edges& e) {
    if (pc.cells.size() < 2 || e.rest_of_cell) return;
    double ignored = 0;
    const bool looks_meant = nr3_value(pc.cells[1].data(), pc.cells[1].size(), ignored) == 1;
    finding(fc, at, looks_meant,
            quoted(pc.cells[0]) + " is the rest of " + quoted(e.cut_first) + ", cut at column " +
                std::to_string((at.piece - 1) * long(DATA_LINE_LIMIT)) +
                " by the end of the piece before: tallix reads this piece as no line, so no lookup of " +
                pc.cells[0] + " finds it; " + KEEP_WITHIN);
}

// Judges the nominal cell. Returns false when no lookup goes past it: the
// asset's lookups stopped at an earlier line, or stop here.
bool judge_nominal(file_check& fc, const place& at, asset_lines& a, const piece_cells& pc, bool number,
                   const piece_edges& e, const std::string& what) {
    const std::string& asset_text = pc.cells[0];
    const std::string& nominal_text = pc.cells[1];
    if (a.blocked_at) {
        finding(fc, at, false,
                what + " is never reached: every lookup of " + asset_text + " stops at " +
                    place_text(a.blocked) + " (" + a.blocked_why + ")");
        return false;
    }
    const bool cut = e.runs_on && pc.cells.size() == 2;
    if (number && !cut) return true;
    const std::string column = std::to_string(at.piece * long(DATA_LINE_LIMIT));
    if (cut) {
        finding(fc, at, true,
                "nominal " + quoted(nominal_text) + " is " + quoted(e.cut_last) + " cut at column " + column +
                    ", where the piece ends; every lookup of " + asset_text +
                    " that reaches this line stops here; " + KEEP_WITHIN);
        a.blocked_why = "nominal " + quoted(nominal_text) + " is cut at column " + column;
    } else {
        finding(fc, at, true,
                "nominal " + quoted(nominal_text) + " is not a number; every lookup of " + asset_text +
                    " that reaches this line stops here" + number_advice_at(pc, 1));
        a.blocked_why = "nominal " + quoted(nominal_text) + " is not a number";
    }
    a.blocked_at = at.line;
    a.blocked = at;
    return false;
}

// The value cell as a lookup that takes the line meets it.
line_value value_of(const piece_cells& pc, const piece_edges& e) {
    line_value v;
    if (pc.cells.size() < 3) return v;
    v.present = true;
    v.text = pc.cells[2];
    v.cut = e.runs_on && pc.cells.size() == 3;
    v.number = !v.cut && nr3_value(v.text.data(), v.text.size(), v.value) == 1;
    return v;
}

// Two lines of one nominal with other values: the earlier one is the only
// one any lookup at that nominal delivers.
bool other_value(double nominal, const line_value& v, const reach& r) {
    if (r.own || !r.taker || !v.number || !r.taker->value.number) return false;
    if (!std::isfinite(nominal) && r.taker->nominal != nominal) return false;
    return r.taker->value.value != v.value;
}

// Tells of a line with a nominal of minus infinity: no lookup at its own
// nominal matches it, only those whose tolerance reaches down to it.
void judge_minus_infinity(file_check& fc, const place& at, const asset_lines& a, const piece_cells& pc,
                          const std::string& what, const reach& r) {
    const std::string range = r.low <= r.high ? " from " + exact_number(from_ordered(r.low)) + " to " +
                                                    exact_number(from_ordered(r.high))
                                              : std::string();
    if (r.any()) {
        finding(fc, at, false,
                what + " is found only by " + (r.some ? "lookups of " + pc.cells[0] + range +
                                                            ", whose tolerance reaches down to minus infinity"
                                                      : std::string()) +
                    (r.some && r.infinite ? ", and by " : "") +
                    (r.infinite ? "a lookup of " + pc.cells[0] +
                                      " at 1e999, which takes the first line of the asset with a number"
                                : std::string()) +
                    "; no lookup at its own nominal matches it");
        return;
    }
    const nominal_line* taker = r.low <= r.high ? earlier_match(a, from_ordered(r.low)) : nullptr;
    if (!taker) taker = &a.first_number;
    finding(fc, at, false,
            what + " can never be found: no lookup at its own nominal matches it, and the lookups that do (at "
                   "1e999" + (range.empty() ? "" : " and" + range) + ") each take an earlier line first, as " +
                place_text(taker->at) + " (nominal " + taker->token + ")");
}

// Tells of a line with a number for its nominal that not every lookup at
// that nominal reaches: the earlier line that takes them, and its value
// when it holds another.
void judge_taken(file_check& fc, const place& at, const piece_cells& pc, double nominal, const line_value& v,
                 const std::string& what, const reach& r) {
    if (std::isinf(nominal) && nominal < 0) return;  // told by judge_minus_infinity
    if (r.own) return;
    const nominal_line& taker = *r.taker;
    std::string text = what + (r.any() ? " is hidden:" : " can never be found:") + " a lookup of " + pc.cells[0] +
                       " at " + pc.cells[1] + " takes " + place_text(taker.at) + " (nominal " + taker.token +
                       ") first";
    if (!other_value(nominal, v, r)) {
        finding(fc, at, false, text);
        return;
    }
    finding(fc, at, true,
            text + ", which records the value " + taker.value.text + ", not " + v.text + ": every lookup of " +
                pc.cells[0] + " at " + pc.cells[1] + " delivers " + taker.value.text +
                "; delete the line that is out of date, or give each value its own nominal");
}

// Works out which lookups reach a line with a number for its nominal, tells
// of a line that none or not its own reaches, and records the line as the
// asset's lookups will meet it.
reach judge_reach(file_check& fc, const place& at, asset_lines& a, const piece_cells& pc, double nominal,
                  const line_value& v, const std::string& what) {
    reach r;
    r.infinite = !a.has_number;
    const bool ranged = match_range(nominal, r.low, r.high);
    r.some = ranged && !all_taken(a.taken, r.low, r.high);
    if (std::isfinite(nominal)) {
        r.own = !all_taken(a.taken, ordered(nominal), ordered(nominal));
        if (!r.own) r.taker = earlier_match(a, nominal);
    } else if (nominal > 0) {
        // The lookup at +infinity takes the first line with a number.
        r.own = r.infinite;
        if (!r.own) r.taker = &a.first_number;
    }
    // A nominal every lookup of which an earlier line takes: that line
    // takes the lookup at this line's own nominal, too.
    if (!r.own && !r.taker) r.taker = &a.first_number;
    if (nominal < 0 && std::isinf(nominal)) judge_minus_infinity(fc, at, a, pc, what, r);
    else judge_taken(fc, at, pc, nominal, v, what, r);
    if (ranged) take(a.taken, r.low, r.high);
    const nominal_line line{at, fc.order, pc.cells[1], nominal, v};
    a.by_nominal.emplace(nominal, line);
    if (r.infinite) {
        a.has_number = true;
        a.first_number = line;
    }
    return r;
}

// Judges the value of a line that some lookup reaches.
void judge_value(file_check& fc, const place& at, const piece_cells& pc, const line_value& v,
                 const piece_edges& e, const std::string& what, const reach& r) {
    const std::string who = r.own ? "its lookup" : r.some ? "a lookup that reaches it" : "a lookup at 1e999";
    if (!v.present) {
        finding(fc, at, true, what + " has no value; " + who + " stops here with \"Can't get value.\"");
        return;
    }
    if (v.cut) {
        finding(fc, at, true,
                "value " + quoted(v.text) + " of " + what + " is " + quoted(e.cut_last) + " cut at column " +
                    std::to_string(at.piece * long(DATA_LINE_LIMIT)) + ", where the piece ends; " + who +
                    " stops here; " + KEEP_WITHIN);
        return;
    }
    if (!v.number) {
        finding(fc, at, true, "value " + quoted(v.text) + " of " + what + " is not a number" + number_advice_at(pc, 2));
        return;
    }
    ++fc.counts.nominals;
    // Every cell a number, and still not what the writer meant.
    std::string misread;
    bool certain = false;
    if (misread_numbers(pc, fc.survey, what, misread, certain)) {
        finding(fc, at, certain, misread);
        if (certain) return;
    }
    const std::string unit = unit_after_value(pc);
    if (!unit.empty())
        finding(fc, at, false,
                "the unit " + quoted(unit) + " after the value of " + what + " is never read: tallix takes " +
                    v.text + " as it stands");
}

void check_piece(file_check& fc, const place& at, const std::string& text, const piece_edges& e) {
    const std::size_t said = said_length(text.data(), text.size());
    note_lone_crs(fc, at, text.data(), said);
    piece_cells pc = cut_cells(text.data(), text.data() + said);
    pc.first_column = piece_first_column(at.piece);
    if (e.begins_inside) {
        fc.quiet_line = fc.quiet_errors = false;
        judge_crossing(fc, at, pc, e);
        check_nul(fc, at, text, said);
        return;
    }
    judge_shape(fc, at, pc, text, said);
    if (pc.cells.empty()) return;
    if (at.piece > 1 && pc.cells.size() > 1) fc.further.back().asset = pc.cells[0];
    if (pc.cells.size() < 2) return;

    asset_lines& a = fc.assets[folded_asset(pc.cells[0].data(), pc.cells[0].size())];
    const std::string& nominal_text = pc.cells[1];
    double nominal = 0;
    const bool number = nr3_value(nominal_text.data(), nominal_text.size(), nominal) == 1;
    fc.any_line = fc.any_line || (number && !(e.runs_on && pc.cells.size() == 2));
    const std::string what = number ? pc.cells[0] + " at " + nominal_text
                                    : "nominal " + quoted(nominal_text) + " of " + pc.cells[0];
    if (!judge_nominal(fc, at, a, pc, number, e, what)) return;
    const line_value v = value_of(pc, e);
    const reach r = judge_reach(fc, at, a, pc, nominal, v, what);
    if (r.any()) judge_value(fc, at, pc, v, e, what, r);
}

// The long-line warning: where each further piece starts and whether a
// lookup reads it as a line; runs of pieces that are no line go together.
std::string long_line_text(const file_check& fc) {
    std::string text = "line of " + std::to_string(fc.line_length) +
                       " characters is read in pieces of " + std::to_string(DATA_LINE_LIMIT);
    const char* joint = ": ";
    for (std::size_t i = 0; i < fc.further.size(); ++i) {
        const further_piece& f = fc.further[i];
        text += joint;
        joint = "; ";
        const std::string column = std::to_string(piece_first_column(f.piece));
        if (!f.asset.empty()) {
            text += "piece " + std::to_string(f.piece) + " starts at column " + column +
                    " and is read as a line for asset " + f.asset;
            continue;
        }
        std::size_t last = i;
        while (last + 1 < fc.further.size() && fc.further[last + 1].asset.empty()) ++last;
        if (last == i) {
            text += "piece " + std::to_string(f.piece) + " starts at column " + column +
                    " and is not read as a line for any asset";
            continue;
        }
        text += "pieces " + std::to_string(f.piece) + " to " +
                std::to_string(fc.further[last].piece) + " start at columns " + column + " to " +
                std::to_string(piece_first_column(fc.further[last].piece)) +
                " and are not read as lines for any asset";
        i = last;
    }
    return text;
}

void finish_line(file_check& fc) {
    // A UTF-16 line is told with its run.
    if (fc.line_length > DATA_LINE_LIMIT && fc.further_text && !fc.utf16_line)
        add_finding(fc, *fc.out, fc.line, false, long_line_text(fc));
    if (fc.crs_joining && !fc.utf16_line) add_finding(fc, *fc.out, fc.line, false, lone_cr_text(fc));
    fc.crs_waiting = fc.crs_joining = 0;
    *fc.out += fc.findings;
    fc.findings.clear();
    fc.further.clear();
    fc.further_text = false;
    fc.line_length = 0;
}

// A line of UTF-16 text read one byte a character: every other byte a
// NUL, so that it says at most the one character before its first NUL
// and is no line for any asset.
bool utf16_bytes(const std::string& text) {
    std::size_t nuls[2] = {0, 0}, slots[2] = {0, 0};
    for (std::size_t i = 0; i < text.size(); ++i) {
        ++slots[i % 2];
        if (text[i] == '\0') ++nuls[i % 2];
    }
    for (int p = 0; p < 2; ++p)
        if (nuls[p] > 0 && nuls[p] * 4 >= slots[p] * 3 && nuls[1 - p] * 4 <= slots[1 - p]) {
            const piece_cells pc = cut_cells(text.data(), text.data() + said_length(text.data(), text.size()));
            return pc.cells.size() < 2;
        }
    return false;
}

// Tells of a run of UTF-16 lines, once it has ended: the whole file, or
// the lines lost while the others are read.
void tell_utf16(file_check& fc, bool at_end) {
    if (!fc.utf16_first) return;
    if (at_end && fc.utf16_first == 1 && !fc.read_text) {
        std::string text;
        add_finding(fc, text, 1, true, utf16_text());
        fc.out->insert(fc.out_start, text);
    } else {
        const bool one = fc.utf16_first == fc.utf16_last;
        add_finding(fc, *fc.out, fc.utf16_first, true,
                    (one ? "line " + std::to_string(fc.utf16_first) + " is"
                         : "lines " + std::to_string(fc.utf16_first) + " to " + std::to_string(fc.utf16_last) +
                               " are") +
                        " UTF-16 text (\"Unicode text\"): tallix reads one byte a character and finds no line in " +
                        (one ? "it" : "them") +
                        (fc.utf16_tail ? ", nor in line " + std::to_string(fc.utf16_tail) +
                                             ", which begins with the NUL that ends the last of them"
                                       : std::string()) +
                        "; it reads the other lines as they stand; write those lines again as ANSI text "
                        "(Notepad: encoding \"ANSI\")");
    }
    fc.utf16_told = true;
    fc.utf16_first = fc.utf16_last = fc.utf16_tail = 0;
}

// A piece of a UTF-16 line that says nothing either.
bool utf16_piece(bool utf16_line, long piece, const std::string& text) {
    return utf16_line && (piece == 1 || utf16_bytes(text));
}

// Whether a piece is left unjudged as part of a run of UTF-16 lines (the
// line is UTF-16 text, or begins with the second byte of the last one's
// line end); at a piece that says something, the run ends and is told.
bool in_utf16_run(file_check& fc, const place& at, const std::string& text) {
    if (at.piece == 1) {
        fc.utf16_line = utf16_bytes(text);
        if (fc.utf16_line) {
            if (!fc.utf16_first) fc.utf16_first = at.line;
            fc.utf16_last = at.line;
        } else if (fc.utf16_last && fc.utf16_last == at.line - 1 && !text.empty() && text[0] == '\0') {
            fc.utf16_tail = at.line;
            return true;
        }
    }
    if (utf16_piece(fc.utf16_line, at.piece, text)) return true;
    if (cut_cells(text.data(), text.data() + said_length(text.data(), text.size())).cells.empty()) return false;
    fc.read_text = true;
    tell_utf16(fc, false);
    return false;
}

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
    auto reader = std::make_unique<text_reader>();
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

// Where the Ctrl-Z that ended the reading stands (line and column), and
// whether anything but blanks and line ends follows it.
struct ctrl_z_place {
    long line = 1;
    long column = 1;
    long long bytes_after = 0;
    bool text_after = false;
};

int describe_ctrl_z(std::FILE* file, unsigned long long offset, ctrl_z_place& z, int& error_number) {
    if (std::fseek(file, 0, SEEK_SET) != 0) {
        error_number = errno ? errno : EIO;
        return 0;
    }
    std::clearerr(file);
    std::vector<char> buf(64 * 1024);
    unsigned long long at = 0;
    for (;;) {
        errno = 0;
        const std::size_t got = std::fread(buf.data(), 1, buf.size(), file);
        if (got == 0) {
            if (!std::ferror(file)) return 1;
            error_number = errno ? errno : EIO;
            return 0;
        }
        for (std::size_t i = 0; i < got; ++i, ++at) {
            const char c = buf[i];
            if (at > offset) {
                ++z.bytes_after;
                if (c != TEXT_END_OF_FILE && !is_data_delimiter(c)) z.text_after = true;
            } else if (at == offset) {
                continue;
            } else if (c == '\n') {
                ++z.line;
                z.column = 1;
            } else {
                ++z.column;
            }
        }
    }
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
    auto reader = std::make_unique<text_reader>();
    text_reader_start(*reader, file);
    piece_source source;
    source.reader = reader.get();
    if (read) read = read_pieces(fc, source, error_number);
    if (read) {
        tell_utf16(fc, true);
        tell_nothing_found(fc);
    }

    // Text mode ended the file at a Ctrl-Z: say where, when text follows.
    ctrl_z_place z;
    if (read && reader->ctrl_z) {
        read = describe_ctrl_z(file, reader->ctrl_z_at, z, error_number);
        if (read && z.text_after)
            add_finding(fc, out, z.line, false,
                        "Ctrl-Z at column " + std::to_string(z.column) + " ends the file; the " +
                            std::to_string(z.bytes_after) + " bytes after it are never read");
    }
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
