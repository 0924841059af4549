// The data-file search: the first line of the asset whose nominal lies
// within a relative 1e-11 of the sought one gives the value. Lines are
// tokens of asset, nominal and value, cut at spaces, commas, tabs, CR and
// LF, and read in pieces of 254 characters; a piece for another asset is
// skipped after its first token.
//
// Most of a large file is for other assets, so the search does not walk
// its lines: it reads the file in large blocks, lets a byte filter find the
// places where the asset's characters stand, and only there works out
// whether the place begins the first token of a piece. Only such pieces are
// cut and examined, exactly as a line-by-line reading would examine them.
// Memory stays the same whatever the size of the file.
#include "lookup/lookup.h"

#include <cmath>
#include <algorithm>
#include <cstring>
#include <memory>

namespace {

bool is_delimiter(char c) { return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n'; }

char lower_ascii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// The relative tolerance of a nominal match: the double nearest 1e-11.
constexpr double TOLERANCE = 1e-11;

}  // namespace

int nr3_value(const char* token, std::size_t length, double& value) {
    return scan_number(token, length, value, NUMBER_STRTOD) == length && length > 0 ? 1 : 0;
}

int read_nr3(const char* token, std::size_t length, const char* ini_path, register_set& rs) {
    if (nr3_value(token, length, rs.MEM)) return OUTCOME_FOUND;
    return report_error(invalid_number_text(token, length), 1, ini_path, rs);
}

int in_tolerance(double value, double low, double high) {
    // Ordered comparisons: a NaN on either side does not reject here ...
    if (low - std::fabs(low) * TOLERANCE > value) return 0;
    // ... but does not accept here.
    return value <= high + std::fabs(high) * TOLERANCE ? 1 : 0;
}

const char* next_data_token(const char*& p, const char* end, std::size_t& length) {
    while (p < end && is_delimiter(*p)) ++p;
    if (p == end) return nullptr;
    const char* start = p;
    while (p < end && !is_delimiter(*p)) ++p;
    length = std::size_t(p - start);
    return start;
}

int same_asset(const char* token, std::size_t length, const char* asset) {
    for (std::size_t i = 0; i < length; ++i)
        if (asset[i] == '\0' || lower_ascii(token[i]) != lower_ascii(asset[i])) return 0;
    return asset[length] == '\0' ? 1 : 0;
}

// Most lines of a big file are for other assets; they are turned away here
// after a character or two. A line that ends right after the asset (at its
// end or at a NUL) has no nominal and is skipped either way.
int may_be_asset(const char* p, const char* end, const std::string& folded) {
    while (p < end && is_delimiter(*p)) ++p;
    const std::size_t n = folded.size();
    if (std::size_t(end - p) <= n) return 0;
    for (std::size_t i = 0; i < n; ++i)
        if (lower_ascii(p[i]) != folded[i]) return 0;
    return is_delimiter(p[n]) ? 1 : 0;
}

namespace {

// What one search looks for and how it tells a failure.
struct lookup_request {
    const char* data_path;
    const char* asset;
    std::string folded;  // the asset in lower case
    double nominal;
    const char* ini_path;
    error_reporter report;
    int count_lines;
};

// Where the search is in the reader's buffer. Offsets are into r.buf and
// move with it when the buffer is refilled.
struct scan_state {
    std::size_t known = 0;    // an offset whose column is known ...
    std::size_t column = 0;   // ... and that column: characters since its line began
    std::size_t counted = 0;  // the line ends before this offset ...
    long lines = 0;           // ... are this many (only when lines are counted)
};

constexpr int GO_ON = -1;     // the piece says nothing: search on
constexpr int NEEDS_MORE = -2;  // the place cannot be judged before more is read

// The column of offset q (not before s.known): the characters between the
// start of q's line and q. A line is the bytes after an LF; within it each
// byte is one character (only the CR of a closing CR LF is not, and q never
// lies on it). Each byte is walked over at most once per block.
std::size_t column_at(const text_reader& r, scan_state& s, std::size_t q) {
    const char* const from = r.buf + s.known;
    const char* x = r.buf + q;
    while (x > from && x[-1] != '\n') --x;
    s.column = x == from ? s.column + (q - s.known) : std::size_t(r.buf + q - x);
    s.known = q;
    return s.column;
}

// Examines one piece as a line of its own. Returns GO_ON, or the outcome
// the search ends with.
int examine_piece(const char* data, std::size_t length, const lookup_request& q, long line,
                  long piece, register_set& rs, search_stop& stop) {
    if (!may_be_asset(data, data + length, q.folded)) return GO_ON;
    // Only the piece the search stops at is recorded.
    auto stop_here = [&] {
        stop.line = line;
        stop.piece = piece;
        stop.text.assign(data, length);
    };
    // A line is text: a NUL byte ends what the line says.
    const char* p = data;
    const char* end = p + strnlen(p, length);
    std::size_t n = 0;
    const char* token = next_data_token(p, end, n);
    if (!token || !same_asset(token, n, q.asset)) return GO_ON;
    token = next_data_token(p, end, n);
    if (!token) return GO_ON;
    if (!nr3_value(token, n, rs.MEM)) {
        stop_here();
        return q.report(invalid_number_text(token, n), 1, q.ini_path, rs);
    }
    if (!in_tolerance(rs.MEM, q.nominal, q.nominal)) return GO_ON;
    stop_here();
    token = next_data_token(p, end, n);
    if (!token) return q.report("Can't get value.", 1, q.ini_path, rs);
    if (nr3_value(token, n, rs.MEM)) return OUTCOME_FOUND;
    return q.report(invalid_number_text(token, n), 1, q.ini_path, rs);
}

// Looks closer at offset at, where the byte filter saw the asset's first
// and last characters. The place matters only when the whole asset stands
// there followed by a delimiter, and it begins the first token of a piece:
// a piece begins where a line begins and every 254 characters further
// along the line, so the place's piece begins at its column rounded down
// to a multiple of 254, and everything between there and the place must be
// delimiters. Then that piece is cut and examined. Returns GO_ON with
// `next` set to where to look on (past the piece when one was cut),
// NEEDS_MORE, or the outcome the search ends with.
int look_at(const text_reader& r, scan_state& s, std::size_t at, const lookup_request& q,
            register_set& rs, search_stop& stop, std::size_t& next) {
    next = at + 1;
    const std::size_t n = q.folded.size();
    const char* const c = r.buf + at;
    for (std::size_t i = 0; i < n; ++i)
        if (lower_ascii(c[i]) != q.folded[i]) return GO_ON;
    if (at + n == r.len) return r.ended ? GO_ON : NEEDS_MORE;
    // After the asset a delimiter, and not the line's end: a nominal may follow.
    if (!is_delimiter(c[n]) || c[n] == '\n') return GO_ON;

    const std::size_t column = column_at(r, s, at);
    const std::size_t start = at - column % DATA_LINE_LIMIT;
    for (std::size_t i = start; i < at; ++i)
        if (!is_delimiter(r.buf[i])) return GO_ON;

    std::size_t length = 0, used = 0;
    bool had_end = false;
    const text_cut_result cut =
        text_cut_piece(r.buf + start, r.len - start, DATA_LINE_LIMIT, r.ended, length, used, had_end);
    if (cut == TEXT_CUT_NEEDS_MORE) return NEEDS_MORE;
    if (cut != TEXT_CUT) return GO_ON;
    // No other place in this piece can begin its first token; and where it
    // ends, the column is known, which spares the next place the walk back
    // to its line's start when lines of the asset follow each other.
    next = start + used;
    s.known = next;
    s.column = had_end ? 0 : column - column % DATA_LINE_LIMIT + used;
    long line = 0;
    if (q.count_lines)
        line = s.lines + long(std::count(r.buf + s.counted, r.buf + start, '\n')) + 1;
    const long piece = long(column / DATA_LINE_LIMIT) + 1;
    return examine_piece(r.buf + start, length, q, line, piece, rs, stop);
}

// An asset can begin the first token of a piece only when it holds no
// delimiter and leaves room in the piece for a delimiter and a nominal.
bool asset_can_match(const std::string& folded) {
    if (folded.empty() || folded.size() + 2 > DATA_LINE_LIMIT) return false;
    for (char c : folded)
        if (is_delimiter(c)) return false;
    return true;
}

}  // namespace

int search_data_file(const char* data_path, std::FILE* file, const char* asset,
                     double nominal, const char* ini_path, register_set& rs) {
    search_stop stop;
    return search_data_file_at(data_path, file, asset, nominal, ini_path, rs, stop, report_error, 0);
}

int search_data_file_at(const char* data_path, std::FILE* file, const char* asset,
                        double nominal, const char* ini_path, register_set& rs,
                        search_stop& stop, error_reporter report, int count_lines) {
    stop = search_stop();
    lookup_request q{data_path, asset, asset, nominal, ini_path, report, count_lines};
    for (char& c : q.folded) c = lower_ascii(c);
    const bool can_match = asset_can_match(q.folded);
    asset_filter filter;
    make_asset_filter(q.folded.data(), q.folded.size(), filter);

    auto reader = std::unique_ptr<text_reader>(new text_reader);
    text_reader& r = *reader;
    text_reader_start(r, file);
    scan_state s;
    std::size_t pos = 0;  // places before this offset have been looked at
    for (;;) {
        while (can_match) {
            const char* c = next_asset_candidate(filter, r.buf + pos, r.buf + r.len);
            if (!c) {
                if (r.len >= q.folded.size()) pos = std::max(pos, r.len - q.folded.size() + 1);
                break;
            }
            pos = std::size_t(c - r.buf);
            std::size_t next = pos + 1;
            const int got = look_at(r, s, pos, q, rs, stop, next);
            if (got == NEEDS_MORE) break;
            if (got != GO_ON) return got;
            pos = next;
        }
        if (!can_match) pos = r.len;
        if (r.ended) break;

        // Keep what is not yet looked at, from the start of its piece on.
        const std::size_t keep = pos - column_at(r, s, pos) % DATA_LINE_LIMIT;
        if (count_lines) s.lines += long(std::count(r.buf + s.counted, r.buf + keep, '\n'));
        s.counted = keep;
        r.pos = keep;
        if (!text_read_more(r) && r.error)
            return report(open_failure_text(data_path, r.error), 1, ini_path, rs);
        pos -= keep;
        s.known -= keep;
        s.counted -= keep;
    }
    std::string text = "No value found for ";
    text += asset;
    text += " at ";
    append_number(text, nominal);
    text += " in file:  \"";
    text += data_path;
    text += '"';
    return report(text, 1, ini_path, rs);
}
