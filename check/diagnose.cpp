// The checks of one data file. The file is walked the way the search walks
// it, piece by piece, and each piece is judged by the lookups that reach
// it, decided as the search decides: a lookup of an asset takes the first
// line of the asset whose nominal matches, and stops at the first line of
// the asset whose nominal is not a number. For every line the checker
// knows the exact nominals a lookup may ask for that reach it (those its
// tolerance accepts, less those an earlier line of the asset takes; a
// lookup at +infinity takes the asset's first line with a number, one at
// -infinity none), so a line no lookup reaches is told as such and never
// as an error of its own. On top of that the checker sees what the search
// cannot tell: lines cut into pieces, a CR that joins two lines, and a
// Ctrl-Z that hides the rest.
#include "check/check.h"
#include "check/shapes.h"

#include "exchange/exchange.h"
#include "lookup/search.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <iterator>
#include <cstring>
#include <map>
#include <memory>
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


// The first line of one exact nominal of an asset.
struct nominal_line {
    place at;
    long order = 0;  // pieces in file order, for the earliest of several matches
    std::string token;
};

// Nominals in the order of the numbers, one step per double: -0 just below
// +0, so that a run of nominals is a range of these.
long long ordered(double d) {
    unsigned long long bits;
    std::memcpy(&bits, &d, sizeof bits);
    return (bits >> 63) ? -static_cast<long long>(bits & 0x7FFFFFFFFFFFFFFFull) - 1 : static_cast<long long>(bits);
}

double from_ordered(long long o) {
    const unsigned long long bits =
        o >= 0 ? static_cast<unsigned long long>(o) : (static_cast<unsigned long long>(-(o + 1)) | (1ull << 63));
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

const long long LOWEST = ordered(-DBL_MAX);
const long long HIGHEST = ordered(DBL_MAX);

// The finite nominals a lookup may ask for that match a line's finite
// nominal `value`, as [low, high] in the order above: exactly those for
// which in_tolerance says yes. Both of its bounds grow with the sought
// nominal, so each end is found by halving.
bool match_range(double value, long long& low, long long& high) {
    // A relative 1e-11 is some 45 000 steps of a double; the matches lie
    // well within 4 million steps either way.
    constexpr long long REACH = 1ll << 22;
    const long long centre = ordered(value);
    const long long first = std::max(LOWEST, centre - REACH), last = std::min(HIGHEST, centre + REACH);
    long long lo = first, hi = last;  // the first sought nominal whose upper bound reaches value
    while (lo < hi) {
        const long long mid = lo + (hi - lo) / 2;
        const double n = from_ordered(mid);
        if (value <= tolerance_ceiling(n)) hi = mid;
        else lo = mid + 1;
    }
    low = lo;
    lo = first;
    hi = last;  // the last sought nominal whose lower bound stays below value
    while (lo < hi) {
        const long long mid = hi - (hi - lo) / 2;
        const double n = from_ordered(mid);
        if (!(tolerance_floor(n) > value)) lo = mid;
        else hi = mid - 1;
    }
    high = lo;
    return low <= high && in_tolerance(value, from_ordered(low), from_ordered(low)) &&
           in_tolerance(value, from_ordered(high), from_ordered(high));
}

struct asset_lines {
    std::map<double, nominal_line> by_nominal;  // lines with a number, first of each nominal
    std::map<long long, long long> taken;       // sought nominals those lines take: disjoint ranges
    bool has_number = false;                    // the +infinity lookup's line ...
    nominal_line first_number;                  // ... is the first with a number
    long blocked_at = 0;  // first line with a nominal that is not a number; 0: none
    place blocked;
    std::string blocked_token;
};

bool all_taken(const asset_lines& a, long long low, long long high) {
    auto it = a.taken.upper_bound(low);
    if (it == a.taken.begin()) return false;
    --it;
    return it->second >= high;
}

void take(asset_lines& a, long long low, long long high) {
    auto it = a.taken.upper_bound(low);
    if (it != a.taken.begin()) {
        auto before = std::prev(it);
        if (before->second >= low - 1) {
            low = before->first;
            high = std::max(high, before->second);
            it = a.taken.erase(before);
        }
    }
    while (it != a.taken.end() && it->first <= high + 1) {
        high = std::max(high, it->second);
        it = a.taken.erase(it);
    }
    a.taken.emplace(low, high);
}

// A further piece of a long line, as the long-line warning describes it.
struct further_piece {
    long piece = 0;
    std::string asset;  // empty: not read as a line for any asset
};

struct file_check {
    const char* path = nullptr;
    std::string* out = nullptr;
    check_totals counts;
    std::map<std::string, asset_lines> assets;
    long order = 0;
    // The physical line being read: its findings wait until the line is
    // complete, so that the long-line warning comes first.
    long line = 0;
    std::size_t line_length = 0;
    std::vector<further_piece> further;
    std::string findings;
    // CRs without an LF in the line: text mode keeps them in the line.
    long crs_waiting = 0;       // not yet followed by text
    long first_waiting = 0;     // column of the first of those
    long crs_joining = 0;       // followed by text: they join what looks like two lines
    long first_joining = 0;     // column of the first of those
    file_survey survey;
    bool seen_text = false;   // a line with a cell has been read
    bool quiet_line = false;  // the line is lost to its writer's asset: one finding says why
    bool muted = false;       // the whole file is unreadable to a lookup: one finding says why
};

void add_finding(file_check& fc, std::string& to, long line, bool error, const std::string& text) {
    if (fc.muted) return;
    to += fc.path;
    to += ':';
    to += std::to_string(line);
    to += error ? ": error: " : ": warning: ";
    to += text;
    to += '\n';
    ++(error ? fc.counts.errors : fc.counts.warnings);
}

void finding(file_check& fc, const place& at, bool error, std::string text) {
    if (fc.quiet_line) return;
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
    // Every nominal the tolerance accepts lies well inside twice its width.
    const double width = std::fabs(nominal) * 2 * NOMINAL_TOLERANCE;
    for (auto it = a.by_nominal.lower_bound(nominal - width);
         it != a.by_nominal.end() && it->first <= nominal + width; ++it)
        consider(*it);
    return best;
}

std::string quoted(const char* token, std::size_t length) {
    return "\"" + std::string(token, length) + "\"";
}

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
// any finite one; `infinite`, the one at +infinity.
struct reach {
    bool own = false, some = false, infinite = false;
    bool any() const { return own || some || infinite; }
};

// What the line's shape says before its cells are judged: a line lost to
// the asset its writer meant says so once, and nothing more of an asset
// nobody looks up; a NUL with text after it.
void judge_shape(file_check& fc, const place& at, const piece_cells& pc, const std::string& text, std::size_t said) {
    fc.quiet_line = false;
    shape_note lost;
    if (lost_line(pc, !fc.seen_text && !pc.cells.empty(), at.line == 1 && at.piece == 1, lost)) {
        finding(fc, at, lost.error, lost.text);
        fc.quiet_line = true;
    }
    fc.seen_text = fc.seen_text || !pc.cells.empty();
    check_nul(fc, at, text, said);
}

// Judges the nominal cell. Returns false when no lookup goes past it: the
// asset's lookups stopped at an earlier line, or stop here.
bool judge_nominal(file_check& fc, const place& at, asset_lines& a, const piece_cells& pc, bool number,
                   const std::string& what) {
    const std::string& asset_text = pc.cells[0];
    const std::string& nominal_text = pc.cells[1];
    if (a.blocked_at) {
        finding(fc, at, false,
                what + " is never reached: every lookup of " + asset_text + " stops at " +
                    place_text(a.blocked) + " (nominal " + a.blocked_token + " is not a number)");
        return false;
    }
    if (number) return true;
    const std::string token = quoted(nominal_text.data(), nominal_text.size());
    finding(fc, at, true,
            "nominal " + token + " is not a number; every lookup of " + asset_text +
                " that reaches this line stops here" + number_advice(nominal_text));
    a.blocked_at = at.line;
    a.blocked = at;
    a.blocked_token = token;
    return false;
}

// A nominal of plus or minus infinity: only the lookup at 1e999 may reach it.
void judge_infinite(file_check& fc, const place& at, const asset_lines& a, const piece_cells& pc, double value,
                    const std::string& what, reach& r) {
    const std::string& asset_text = pc.cells[0];
    r.own = r.infinite && value > 0;
    if (!r.infinite) {
        finding(fc, at, false,
                what + " can never be found: " +
                    (value > 0 ? "a lookup of " + asset_text + " at " + pc.cells[1] + " takes "
                               : "no lookup matches a nominal of minus infinity but the one at 1e999, which takes ") +
                    place_text(a.first_number.at) + " (nominal " + a.first_number.token + ") first");
    } else if (value < 0) {
        finding(fc, at, false,
                what + " is found only by a lookup of " + asset_text +
                    " at 1e999, which takes the first line of the asset with a number; no lookup at "
                    "its own nominal matches it");
    }
}

// Works out which lookups reach a line with a number for its nominal, tells
// of a line that none or not its own reaches, and records the line as the
// asset's lookups will meet it.
reach judge_reach(file_check& fc, const place& at, asset_lines& a, const piece_cells& pc, double value,
                  const std::string& what) {
    const std::string& nominal_text = pc.cells[1];
    reach r;
    r.infinite = !a.has_number;
    long long low = 0, high = -1;
    if (std::isinf(value)) {
        judge_infinite(fc, at, a, pc, value, what, r);
    } else if (match_range(value, low, high)) {
        const nominal_line* earlier = earlier_match(a, value);
        r.own = !all_taken(a, ordered(value), ordered(value));
        r.some = !all_taken(a, low, high);
        // A nominal every lookup of which an earlier line takes: that line
        // takes the lookup at this line's own nominal, too.
        if (!earlier) earlier = &a.first_number;
        const std::string taken = " a lookup of " + pc.cells[0] + " at " + nominal_text + " takes " +
                                  place_text(earlier->at) + " (nominal " + earlier->token + ") first";
        if (!r.some && !r.infinite) finding(fc, at, false, what + " can never be found:" + taken);
        else if (!r.own) finding(fc, at, false, what + " is hidden:" + taken);
        take(a, low, high);
    }
    a.by_nominal.emplace(value, nominal_line{at, fc.order, nominal_text});
    if (r.infinite) {
        a.has_number = true;
        a.first_number = nominal_line{at, fc.order, nominal_text};
    }
    return r;
}

// Judges the value of a line that some lookup reaches.
void judge_value(file_check& fc, const place& at, const piece_cells& pc, const std::string& what, const reach& r) {
    const std::string who = r.own ? "its lookup" : r.some ? "a lookup that reaches it" : "a lookup at 1e999";
    if (pc.cells.size() < 3) {
        finding(fc, at, true, what + " has no value; " + who + " stops here with \"Can't get value.\"");
        return;
    }
    const std::string& recorded = pc.cells[2];
    double recorded_value = 0;
    if (!nr3_value(recorded.data(), recorded.size(), recorded_value)) {
        finding(fc, at, true,
                "value " + quoted(recorded.data(), recorded.size()) + " of " + what + " is not a number" +
                    number_advice(recorded));
        return;
    }
    ++fc.counts.nominals;
    // Every cell a number, and still not what the writer meant.
    std::string misread;
    if (misread_numbers(pc, fc.survey, what, misread)) {
        finding(fc, at, true, misread);
        return;
    }
    const std::string unit = unit_after_value(pc);
    if (!unit.empty())
        finding(fc, at, false,
                "the unit " + quoted(unit.data(), unit.size()) + " after the value of " + what +
                    " is never read: tallix takes " + recorded + " as it stands");
}

void check_piece(file_check& fc, const place& at, const std::string& text) {
    const std::size_t said = said_length(text.data(), text.size());
    note_lone_crs(fc, at, text.data(), said);
    const piece_cells pc = cut_cells(text.data(), text.data() + said);
    judge_shape(fc, at, pc, text, said);
    if (pc.cells.empty()) return;
    if (at.piece > 1 && pc.cells.size() > 1) fc.further.back().asset = pc.cells[0];
    if (pc.cells.size() < 2) return;

    asset_lines& a = fc.assets[folded_asset(pc.cells[0].data(), pc.cells[0].size())];
    const std::string& nominal_text = pc.cells[1];
    double value = 0;
    const bool number = nr3_value(nominal_text.data(), nominal_text.size(), value) == 1;
    const std::string what = number ? pc.cells[0] + " at " + nominal_text
                                    : "nominal " + quoted(nominal_text.data(), nominal_text.size()) + " of " + pc.cells[0];
    if (!judge_nominal(fc, at, a, pc, number, what)) return;
    const reach r = judge_reach(fc, at, a, pc, value, what);
    if (r.any()) judge_value(fc, at, pc, what, r);
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
    if (fc.line_length > DATA_LINE_LIMIT)
        add_finding(fc, *fc.out, fc.line, false, long_line_text(fc));
    if (fc.crs_joining) add_finding(fc, *fc.out, fc.line, false, lone_cr_text(fc));
    fc.crs_waiting = fc.crs_joining = 0;
    *fc.out += fc.findings;
    fc.findings.clear();
    fc.further.clear();
    fc.line_length = 0;
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



// Reads the file piece by piece and judges each. Returns 1 at its end (the
// reader then tells of a Ctrl-Z), or 0 when reading failed.
int read_pieces(file_check& fc, text_reader& reader, int& error_number) {
    std::string text;
    bool had_end = true;
    place at;
    for (;;) {
        if (had_end) {
            if (at.line) finish_line(fc);
            ++at.line;
            at.piece = 0;
        }
        const char* data = nullptr;
        std::size_t length = 0;
        const text_read_result got = data_read_piece(reader, data, length, had_end);
        if (got == TEXT_END) break;
        if (got == TEXT_FAILED) {
            finish_line(fc);
            error_number = reader.error;
            return 0;
        }
        text.assign(data, length);
        if (++at.piece == 1) {
            ++fc.counts.lines;
            fc.line = at.line;
        } else if (!text.empty()) {
            // An empty last piece holds only the line end of a line that
            // filled the piece before it; it has no characters to tell of.
            fc.further.push_back({at.piece, std::string()});
        }
        fc.line_length += text.size();
        ++fc.order;
        check_piece(fc, at, text);
    }
    finish_line(fc);
    return 1;
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
    int read = survey_data_file(file, fc.survey, error_number);
    if (read && fc.survey.encoding == ENCODING_UTF16) {
        // Every line would tell of NULs: one finding says what to mend.
        add_finding(fc, out, 1, true, utf16_text());
        fc.muted = true;
    }
    auto reader = std::make_unique<text_reader>();
    text_reader_start(*reader, file);
    if (read) read = read_pieces(fc, *reader, error_number);

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
