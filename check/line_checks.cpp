// The checks of one line of a data file, judged by the lookups that reach
// it, decided as the search decides: a lookup of an asset takes the first
// line of the asset whose nominal matches, and stops at the first line of
// the asset whose nominal is not a number or is cut by the piece's end.
// For every line the checker knows the exact nominals a lookup may ask for
// that reach it (those its tolerance accepts, less those an earlier line of
// the asset takes; a lookup at +infinity takes the asset's first line with
// a number, one at -infinity none; check/reach.h), so a line no lookup
// reaches is told as such and never as an error of its own. A line lost to
// its writer's asset, a nominal or value that is no number, and numbers
// misread are judged through shapes.h.
#include "check/file_check.h"

#include "lookup/search.h"

#include <cmath>
#include <cstdio>

namespace {

// "line 3", or "line 3, piece 2" in a line longer than a piece.
std::string place_text(const place& at) {
    std::string text = "line " + std::to_string(at.line);
    if (at.piece > 1) text += ", piece " + std::to_string(at.piece);
    return text;
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

// Which lookups reach a line: `own`, the one at its own nominal; `some`,
// any finite one; `infinite`, the one at +infinity. `taker` is the earlier
// line that the lookup at its own nominal takes, when one does.
struct reach {
    bool own = false, some = false, infinite = false;
    const nominal_line* taker = nullptr;
    long long low = 0, high = -1;  // the finite sought nominals that match it
};

// Whether any lookup reaches the line.
bool reached(const reach& r) { return r.own || r.some || r.infinite; }

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
    if (reached(r)) {
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
    std::string text = what + (reached(r) ? " is hidden:" : " can never be found:") + " a lookup of " + pc.cells[0] +
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


}  // namespace

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
    if (reached(r)) judge_value(fc, at, pc, v, e, what, r);
}
