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
#include "lookup/search.h"
#include "platform/platform.h"

#include <cmath>
#include <algorithm>
#include <cstring>
#include <memory>

namespace {

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

// Most lines of a big file are for other assets; they are turned away here
// after a character or two. A line that ends right after the asset (at its
// end or at a NUL) has no nominal and is skipped either way.
int may_be_asset(const char* p, const char* end, const std::string& folded) {
    while (p < end && is_data_delimiter(*p)) ++p;
    const std::size_t n = folded.size();
    if (std::size_t(end - p) <= n) return 0;
    for (std::size_t i = 0; i < n; ++i)
        if (fold_asset_char(p[i]) != folded[i]) return 0;
    return is_data_delimiter(p[n]) ? 1 : 0;
}

namespace {

// What one search looks for, how it tells a failure, and the version of
// the file it began reading.
struct lookup_request {
    const char* data_path;
    const char* asset;
    std::string folded;  // the asset in lower case
    double nominal;
    const char* ini_path;
    error_reporter report;
    int count_lines;
    std::FILE* file;
    bool versioned;  // the version below could be read
    file_version before;
};

// A writer that cut or rewrote the file while it was read may have torn
// the very line that decides (a value cut to its first digit), so nothing
// is delivered or told from a file that is not the one the search began.
bool file_changed(const lookup_request& q) {
    if (!q.versioned) return false;
    file_version now;
    return !platform_file_version(q.file, now) || !same_file_version(now, q.before);
}

int tell(const lookup_request& q, const std::string& text, register_set& rs) {
    if (file_changed(q)) return OUTCOME_FILE_CHANGED;
    return q.report(text, 1, q.ini_path, rs);
}

// Where the search is in the reader's buffer. Offsets are into r.buf and
// move with it when the buffer is refilled.
struct scan_state {
    std::size_t known = 0;    // an offset whose column is known ...
    std::size_t column = 0;   // ... and that column: characters since its line began
    std::size_t counted = 0;  // the line ends before this offset ...
    long lines = 0;           // ... are this many (only when lines are counted)
};

// The line (from 1) of the piece at offset `start`, when lines are counted:
// the line ends are counted up to it once, so that a run of examined pieces
// costs no more than one count over the block.
long line_of(const text_reader& r, scan_state& s, std::size_t start, int count_lines) {
    if (!count_lines) return 0;
    s.lines += long(std::count(r.buf + s.counted, r.buf + start, '\n'));
    s.counted = start;
    return s.lines + 1;
}

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

// Examines one piece, which may_be_asset has let through, as a line of its
// own. Returns GO_ON, or the outcome the search ends with.
int examine_piece(const char* data, std::size_t length, const lookup_request& q, long line,
                  long piece, register_set& rs, search_stop& stop) {
    // Only the piece the search stops at is recorded.
    auto stop_here = [&] {
        stop.line = line;
        stop.piece = piece;
        stop.text.assign(data, length);
    };
    // A line is text: a NUL byte ends what the line says.
    data_cells cells = data_cells_of(data, data + strnlen(data, length));
    std::size_t n = 0;
    const char* token = next_data_cell(cells, n);
    if (!token || !same_asset(token, n, q.asset)) return GO_ON;
    token = next_data_cell(cells, n);
    if (!token) return GO_ON;
    if (!nr3_value(token, n, rs.MEM)) {
        stop_here();
        return tell(q, invalid_number_text(token, n), rs);
    }
    if (!in_tolerance(rs.MEM, q.nominal, q.nominal)) return GO_ON;
    stop_here();
    token = next_data_cell(cells, n);
    if (!token) return tell(q, "Can't get value.", rs);
    if (nr3_value(token, n, rs.MEM)) return file_changed(q) ? OUTCOME_FILE_CHANGED : OUTCOME_FOUND;
    return tell(q, invalid_number_text(token, n), rs);
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
        if (fold_asset_char(c[i]) != q.folded[i]) return GO_ON;
    if (at + n == r.len) return r.ended ? GO_ON : NEEDS_MORE;
    // After the asset a delimiter, and not the line's end: a nominal may follow.
    if (!is_data_delimiter(c[n]) || c[n] == '\n') return GO_ON;

    const std::size_t column = column_at(r, s, at);
    // Most places lie in a line's first piece: no division for them.
    const std::size_t into = column < DATA_LINE_LIMIT ? column : column % DATA_LINE_LIMIT;
    const std::size_t start = at - into;
    for (std::size_t i = start; i < at; ++i)
        if (!is_data_delimiter(r.buf[i])) return GO_ON;

    std::size_t length = 0, used = 0;
    bool had_end = false;
    const text_cut_result cut =
        data_cut_piece(r.buf + start, r.len - start, r.ended, length, used, had_end);
    if (cut == TEXT_CUT_NEEDS_MORE) return NEEDS_MORE;
    if (cut != TEXT_CUT) return GO_ON;
    // No other place in this piece can begin its first token; and where it
    // ends, the column is known, which spares the next place the walk back
    // to its line's start when lines of the asset follow each other.
    next = start + used;
    s.known = next;
    s.column = had_end ? 0 : column - into + used;
    if (!may_be_asset(r.buf + start, r.buf + start + length, q.folded)) return GO_ON;
    const long line = line_of(r, s, start, q.count_lines);
    const long piece = column < DATA_LINE_LIMIT ? 1 : long(column / DATA_LINE_LIMIT) + 1;
    return examine_piece(r.buf + start, length, q, line, piece, rs, stop);
}

// Walks up to `count` pieces one by one from `pos`, which begins a piece
// (s.known == pos), examining each as a line-by-line reading does, and
// moves `pos` and `count` on. Returns GO_ON (also at the end of the file,
// with `count` 0), NEEDS_MORE, or the outcome the search ends with.
int walk_pieces(const text_reader& r, scan_state& s, std::size_t& pos, int& count,
                const lookup_request& q, register_set& rs, search_stop& stop) {
    const char* const buf = r.buf;
    const std::size_t len = r.len;
    const bool at_end = r.ended;
    std::size_t column = s.column;  // of pos: a multiple of the piece length
    int result = GO_ON;
    while (count > 0) {
        std::size_t length = 0, used = 0;
        bool had_end = false;
        const text_cut_result cut =
            data_cut_piece(buf + pos, len - pos, at_end, length, used, had_end);
        if (cut != TEXT_CUT) {
            if (cut == TEXT_CUT_NEEDS_MORE) result = NEEDS_MORE;
            else count = 0;
            break;
        }
        if (may_be_asset(buf + pos, buf + pos + length, q.folded)) {
            const long line = line_of(r, s, pos, q.count_lines);
            const long piece = long(column / DATA_LINE_LIMIT) + 1;
            const int got = examine_piece(buf + pos, length, q, line, piece, rs, stop);
            if (got != GO_ON) return got;
        }
        pos += used;
        column = had_end ? 0 : column + used;
        --count;
    }
    s.known = pos;
    s.column = column;
    return result;
}

// Where the filter passes nearly every line (a file of A10, A11, ... lines
// when A1 is sought, or of the asset itself at other nominals), asking it
// costs more than reading the lines one by one. After DENSE_RUN places in a
// row each within DENSE_GAP characters of the one before, the search walks
// the next WALK_PIECES pieces one by one, then asks the filter again.
constexpr int DENSE_RUN = 4;
constexpr std::size_t DENSE_GAP = 64;
constexpr int WALK_PIECES = 256;

// An asset can begin the first token of a piece only when it holds no
// delimiter and leaves room in the piece for a delimiter and a nominal.
bool asset_can_match(const std::string& folded) {
    if (folded.empty() || folded.size() + 2 > DATA_LINE_LIMIT) return false;
    for (char c : folded)
        if (is_data_delimiter(c)) return false;
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
    lookup_request q{data_path, asset, folded_asset(asset, std::strlen(asset)), nominal, ini_path, report,
                     count_lines, file, false, {}};
    q.versioned = platform_file_version(file, q.before) == 1;
    const bool can_match = asset_can_match(q.folded);
    asset_filter filter;
    make_asset_filter(q.folded.data(), q.folded.size(), filter);

    auto reader = std::unique_ptr<text_reader>(new text_reader);
    text_reader& r = *reader;
    text_reader_start(r, file);
    scan_state s;
    std::size_t pos = 0;  // places before this offset have been looked at
    int walk = 0;         // pieces still to walk one by one; pos then begins a piece
    int dense = 0;        // places in a row close to the one before
    for (;;) {
        while (can_match) {
            if (walk > 0) {
                const int got = walk_pieces(r, s, pos, walk, q, rs, stop);
                if (got == NEEDS_MORE) break;
                if (got != GO_ON) return got;
                continue;
            }
            const char* c = next_asset_candidate(filter, r.buf + pos, r.buf + r.len);
            if (!c) {
                if (r.len >= q.folded.size()) pos = std::max(pos, r.len - q.folded.size() + 1);
                break;
            }
            const std::size_t at = std::size_t(c - r.buf);
            dense = at - pos < DENSE_GAP ? dense + 1 : 0;
            std::size_t next = at + 1;
            const int got = look_at(r, s, at, q, rs, stop, next);
            if (got == NEEDS_MORE) {
                pos = at;
                break;
            }
            if (got != GO_ON) return got;
            pos = next;
            if (dense < DENSE_RUN) continue;
            dense = 0;
            walk = WALK_PIECES;
            // The walk begins at a piece start: where an examined piece
            // ended, or else at the start of the place's own piece, which
            // no piece examined so far has reached.
            if (s.known <= at) {
                const std::size_t column = column_at(r, s, at);
                pos = at - column % DATA_LINE_LIMIT;
                s.known = pos;
                s.column = column - column % DATA_LINE_LIMIT;
            }
        }
        if (!can_match) pos = r.len;
        if (r.ended) break;

        // Keep what is not yet looked at, from the start of its piece on.
        const std::size_t keep = pos - column_at(r, s, pos) % DATA_LINE_LIMIT;
        line_of(r, s, keep, count_lines);
        s.counted = keep;
        r.pos = keep;
        if (!text_read_more(r) && r.error) return tell(q, open_failure_text(data_path, r.error), rs);
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
    return tell(q, text, rs);
}
