// The checks of one data file. The file is walked the way the search walks
// it, piece by piece, and each piece is judged as the search would judge
// it for a lookup of its own asset: a nominal that is not a number stops
// every lookup of that asset, a matching line without a good value fails
// its lookup, and a line whose nominal an earlier line of the asset already
// matches is never reached. On top of that the checker sees what the search
// cannot tell: lines cut into pieces, and a Ctrl-Z that hides the rest.
#include "check/check.h"

#include "exchange/exchange.h"
#include "lookup/lookup.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr char CTRL_Z = 0x1A;

bool is_delimiter(char c) { return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n'; }

// The key under which lines of one asset meet: ASCII letters folded, as
// same_asset compares them, nothing else.
std::string asset_key(const char* token, std::size_t length) {
    std::string key(token, length);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return key;
}

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

long piece_column(long piece) { return 1 + (piece - 1) * long(DATA_LINE_LIMIT); }

// The first line of one exact nominal of an asset.
struct nominal_line {
    place at;
    long order = 0;  // pieces in file order, for the earliest of several matches
    std::string token;
};

struct asset_lines {
    std::map<double, nominal_line> by_nominal;
    long blocked_at = 0;  // first line with a nominal that is not a number; 0: none
};

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
};

void add_finding(file_check& fc, std::string& to, long line, bool error, const std::string& text) {
    to += fc.path;
    to += ':';
    to += std::to_string(line);
    to += error ? ": error: " : ": warning: ";
    to += text;
    to += '\n';
    ++(error ? fc.counts.errors : fc.counts.warnings);
}

void finding(file_check& fc, const place& at, bool error, std::string text) {
    if (at.piece > 1)
        text += " (in piece " + std::to_string(at.piece) + ", from column " +
                std::to_string(piece_column(at.piece)) + ")";
    add_finding(fc, fc.findings, at.line, error, text);
}

// The earliest line of the asset that a lookup at `nominal` takes before
// any later line, or nullptr when there is none.
const nominal_line* earlier_match(const asset_lines& a, double nominal) {
    const nominal_line* best = nullptr;
    auto consider = [&](const std::pair<const double, nominal_line>& e) {
        if (!in_tolerance(e.first, nominal, nominal)) return;
        if (!best || e.second.order < best->order) best = &e.second;
    };
    if (std::isinf(nominal)) {
        for (const auto& e : a.by_nominal) consider(e);
        return best;
    }
    // Every nominal the tolerance accepts lies well inside twice its width.
    const double width = std::fabs(nominal) * 2e-11;
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
        if (text[i] == '\0' || is_delimiter(text[i])) continue;
        finding(fc, at, false,
                "a NUL character at column " +
                    std::to_string(piece_column(at.piece) + long(said)) +
                    " ends the line; the text after it is never read");
        return;
    }
}

void check_piece(file_check& fc, const place& at, const std::string& text) {
    const char* p = text.data();
    const std::size_t said = strnlen(p, text.size());
    const char* end = p + said;
    check_nul(fc, at, text, said);

    std::size_t n = 0;
    const char* asset = next_data_token(p, end, n);
    if (!asset) return;
    const std::string asset_text(asset, n);
    const char* nominal = next_data_token(p, end, n);
    if (at.piece > 1 && nominal) fc.further.back().asset = asset_text;
    if (!nominal) return;

    asset_lines& a = fc.assets[asset_key(asset_text.data(), asset_text.size())];
    const std::string nominal_text(nominal, n);
    double value = 0;
    if (!nr3_value(nominal, n, value)) {
        finding(fc, at, true,
                "nominal " + quoted(nominal, n) + " is not a number; every lookup of " +
                    asset_text + " that reaches this line stops here");
        if (!a.blocked_at) a.blocked_at = at.line;
        return;
    }

    const nominal_line* earlier = earlier_match(a, value);
    const bool reachable = in_tolerance(value, value, value) == 1;
    if (earlier) {
        // The same value (or infinity, which only its own lookup asks for)
        // is never found at all; a nearby value is still found by lookups
        // just off the earlier nominal, but never by one at its own.
        const bool never = a.by_nominal.count(value) != 0 || std::isinf(value);
        finding(fc, at, false,
                asset_text + " at " + nominal_text +
                    (never ? " can never be found: a lookup of " : " is hidden: a lookup of ") +
                    asset_text + " at " + nominal_text + " takes " + place_text(earlier->at) +
                    " (nominal " + earlier->token + ") first");
    } else if (!reachable) {
        finding(fc, at, false,
                asset_text + " at " + nominal_text +
                    " can never be found: no lookup matches a nominal of minus infinity");
    }
    a.by_nominal.emplace(value, nominal_line{at, fc.order, nominal_text});

    const char* recorded = next_data_token(p, end, n);
    if (!recorded) {
        finding(fc, at, true,
                asset_text + " at " + nominal_text + " has no value; its lookup stops here with "
                "\"Can't get value.\"");
        return;
    }
    double recorded_value = 0;
    if (!nr3_value(recorded, n, recorded_value)) {
        finding(fc, at, true,
                "value " + quoted(recorded, n) + " of " + asset_text + " at " + nominal_text +
                    " is not a number");
        return;
    }
    if (!earlier && reachable && !a.blocked_at) ++fc.counts.nominals;
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
        const std::string column = std::to_string(piece_column(f.piece));
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
                std::to_string(piece_column(fc.further[last].piece)) +
                " and are not read as lines for any asset";
        i = last;
    }
    return text;
}

void finish_line(file_check& fc) {
    if (fc.line_length > DATA_LINE_LIMIT)
        add_finding(fc, *fc.out, fc.line, false, long_line_text(fc));
    *fc.out += fc.findings;
    fc.findings.clear();
    fc.further.clear();
    fc.line_length = 0;
}

// Where the first Ctrl-Z of the file is, and whether anything but blanks
// and line ends follows it.
struct ctrl_z_place {
    bool found = false;
    long line = 1;
    long column = 1;
    long long bytes_after = 0;
    bool text_after = false;
};

int find_ctrl_z(std::FILE* file, ctrl_z_place& z, int& error_number) {
    std::vector<char> buf(64 * 1024);
    for (;;) {
        errno = 0;
        const std::size_t got = std::fread(buf.data(), 1, buf.size(), file);
        if (got == 0) {
            if (!std::ferror(file)) return 1;
            error_number = errno ? errno : EIO;
            return 0;
        }
        for (std::size_t i = 0; i < got; ++i) {
            const char c = buf[i];
            if (z.found) {
                ++z.bytes_after;
                if (c != CTRL_Z && !is_delimiter(c)) z.text_after = true;
            } else if (c == CTRL_Z) {
                z.found = true;
            } else if (c == '\n') {
                ++z.line;
                z.column = 1;
            } else {
                ++z.column;
            }
        }
    }
}

}  // namespace

int check_data_file(const char* path, std::FILE* file, std::string& out, check_totals& totals,
                    int& error_number) {
    file_check fc;
    fc.path = path;
    fc.out = &out;
    auto done = [&](int result) {
        totals.lines += fc.counts.lines;
        totals.assets += long(fc.assets.size());
        totals.nominals += fc.counts.nominals;
        totals.errors += fc.counts.errors;
        totals.warnings += fc.counts.warnings;
        return result;
    };

    ctrl_z_place z;
    if (!find_ctrl_z(file, z, error_number)) return done(0);
    if (std::fseek(file, 0, SEEK_SET) != 0) {
        error_number = errno ? errno : EIO;
        return done(0);
    }
    std::clearerr(file);

    auto reader = std::make_unique<text_reader>();
    text_reader_start(*reader, file);
    std::string text;
    text.reserve(DATA_LINE_LIMIT);
    bool had_end = true;
    place at;
    for (;;) {
        if (had_end) {
            if (at.line) finish_line(fc);
            ++at.line;
            at.piece = 0;
        }
        const text_read_result got = text_read_line(*reader, DATA_LINE_LIMIT, text, had_end);
        if (got == TEXT_END) break;
        if (got == TEXT_FAILED) {
            finish_line(fc);
            error_number = reader->error;
            return done(0);
        }
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

    if (z.found && z.text_after)
        add_finding(fc, out, z.line, false,
                    "Ctrl-Z at column " + std::to_string(z.column) + " ends the file; the " +
                        std::to_string(z.bytes_after) + " bytes after it are never read");
    return done(1);
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
