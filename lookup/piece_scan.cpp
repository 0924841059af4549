// The piece scanner: finds, block by block, the pieces of a data file whose
// first token may be the asset, exactly those a line-by-line reading would
// have to look at, and nothing else.
#include "lookup/piece_scan.h"

#include "lookup/data_file.h"

#include <algorithm>
#include <cstring>

namespace {

// What the steps below answer, besides the visitor's own answers (0 or
// more), which end the scan.
constexpr int GO_ON = PIECE_GO_ON;  // scan on
constexpr int NEEDS_MORE = -4;      // the place cannot be judged before more is read (no PIECE_ value)

// Whom to hand the candidates to.
struct visitor {
    piece_visitor visit;
    void* context;
};

// Where the filter passes nearly every line (a file of A10, A11, ... lines
// when A1 is sought, or of the asset itself at other nominals), asking it
// costs more than reading the lines one by one. After DENSE_RUN places in a
// row each within DENSE_GAP characters of the one before, the scanner walks
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

// The line (from 1) of the piece at offset `start`, when lines are counted:
// the line ends are counted up to it once, so that a run of candidates
// costs no more than one count over the block.
long line_of(piece_scanner& s, std::size_t start) {
    if (!s.count_lines) return 0;
    const char* const window = text_window(s.reader);
    s.at.lines += long(std::count(window + s.at.counted, window + start, '\n'));
    s.at.counted = start;
    return s.at.lines + 1;
}

// The column of offset q (not before s.at.known): the characters between
// the start of q's line and q. A line is the bytes after an LF; within it
// each byte is one character (only the CR of a closing CR LF is not, and q
// never lies on it). Each byte is walked over at most once per block.
std::size_t column_at(piece_scanner& s, std::size_t q) {
    const char* const window = text_window(s.reader);
    const char* const from = window + s.at.known;
    const char* x = window + q;
    while (x > from && x[-1] != '\n') --x;
    s.at.column = x == from ? s.at.column + (q - s.at.known) : std::size_t(window + q - x);
    s.at.known = q;
    return s.at.column;
}

// Where the scanner looks for a Ctrl-Z ahead of the filter: a stretch at a
// time, so that walking many short pieces looks at each byte once.
constexpr std::size_t CTRL_Z_STRETCH = 4096;

// The byte filter finds a Ctrl-Z where it looks for the asset; where the
// scanner looks further ahead than the filter has been (the rest of a
// candidate's piece, a piece it walks), it makes sure first that no Ctrl-Z
// lies in the piece from `from` and the character after it. A Ctrl-Z ends
// the window there, and the file.
void end_at_ctrl_z(piece_scanner& s, std::size_t from) {
    const std::size_t size = text_window_size(s.reader);
    const std::size_t need = std::min(size, from + DATA_LINE_LIMIT + 1);
    if (need <= s.no_ctrl_z) return;
    const std::size_t look_from = std::max(from, s.no_ctrl_z);
    const std::size_t look_to = std::min(size, std::max(need, look_from + CTRL_Z_STRETCH));
    const char* const window = text_window(s.reader);
    if (const void* z = std::memchr(window + look_from, TEXT_END_OF_FILE, look_to - look_from)) {
        text_window_end_at(s.reader, std::size_t(static_cast<const char*>(z) - window));
        s.no_ctrl_z = text_window_size(s.reader);
        return;
    }
    s.no_ctrl_z = look_to;
}

// The character before offset `start` of the window.
char char_before(const piece_scanner& s, std::size_t start) {
    return start > 0 ? text_window(s.reader)[start - 1] : s.before;
}

// Decides whether the piece at offset `start`, cut as data_cut_piece cut
// it, goes to the visitor, and fills `c` when it does. Returns 1 for a
// candidate, 0 for a piece to pass over, or NEEDS_MORE when the piece is a
// candidate that ends in a token and the character after it, which tells
// whether that token is cut, is not read yet.
int candidate_at(piece_scanner& s, std::size_t start, std::size_t length, bool had_end, long piece,
                 candidate_piece& c) {
    const char* const window = text_window(s.reader);
    const char* const data = window + start;
    if (!may_be_asset(data, data + length, s.folded)) return 0;
    // A piece that begins inside a token cut by the piece before it.
    if (token_crosses(char_before(s, start), data[0])) return 0;
    c.runs_on = false;
    if (!had_end && length == DATA_LINE_LIMIT && said_length(data, length) == length &&
        is_token_char(data[length - 1])) {
        const std::size_t after = start + length;
        if (after == text_window_size(s.reader)) {
            if (!text_window_is_last(s.reader)) return NEEDS_MORE;
        } else {
            c.runs_on = is_token_char(window[after]);
        }
    }
    c.data = data;
    c.length = length;
    c.piece = piece;
    return 1;
}

// Hands a candidate to the visitor, with its line. Returns the visitor's
// answer.
int hand_over(piece_scanner& s, candidate_piece& c, std::size_t start, const visitor& v) {
    c.line = line_of(s, start);
    return v.visit(c, v.context);
}

// Looks closer at offset at, where the byte filter saw the asset's first
// and last characters. The place matters only when the whole asset stands
// there followed by a delimiter, and it begins the first token of a piece:
// the place's piece begins at its column rounded down to a multiple of the
// piece length, and everything between there and the place must be
// delimiters. Then that piece is cut and handed over. Returns GO_ON,
// NEEDS_MORE or the visitor's answer; `next` is where to look on (past the
// piece when one was cut).
int look_at(piece_scanner& s, std::size_t at, const visitor& v, std::size_t& next) {
    next = at + 1;
    end_at_ctrl_z(s, at);
    const char* const window = text_window(s.reader);
    const std::size_t size = text_window_size(s.reader);
    const std::size_t n = s.folded.size();
    for (std::size_t i = 0; i < n; ++i)
        if (fold_asset_char(window[at + i]) != s.folded[i]) return GO_ON;
    if (at + n == size) return text_window_is_last(s.reader) ? GO_ON : NEEDS_MORE;
    // After the asset a delimiter, and not the line's end: a nominal may follow.
    if (!is_data_delimiter(window[at + n]) || window[at + n] == '\n') return GO_ON;

    const std::size_t column = column_at(s, at);
    // Most places lie in a line's first piece: no division for them.
    const std::size_t into = column < DATA_LINE_LIMIT ? column : column - piece_start_column(column);
    const std::size_t start = at - into;
    for (std::size_t i = start; i < at; ++i)
        if (!is_data_delimiter(window[i])) return GO_ON;

    std::size_t length = 0, used = 0;
    bool had_end = false;
    const text_cut_result cut =
        data_cut_piece(window + start, size - start, text_window_is_last(s.reader), length, used, had_end);
    if (cut == TEXT_CUT_NEEDS_MORE) return NEEDS_MORE;
    if (cut != TEXT_CUT) return GO_ON;
    candidate_piece c;
    const int candidate =
        candidate_at(s, start, length, had_end, column < DATA_LINE_LIMIT ? 1 : piece_of_column(column), c);
    if (candidate == NEEDS_MORE) return NEEDS_MORE;
    // No other place in this piece can begin its first token; and where it
    // ends, the column is known, which spares the next place the walk back
    // to its line's start when lines of the asset follow each other.
    next = start + used;
    s.at.known = next;
    s.at.column = had_end ? 0 : column - into + used;
    return candidate ? hand_over(s, c, start, v) : GO_ON;
}

// Walks the pieces from s.pos, which begins a piece (s.at.known == s.pos),
// as a line-by-line reading does, handing over each that may be the
// asset's, until the walk ends. Returns GO_ON (the walk ended, also at the
// end of the file), NEEDS_MORE, or the visitor's answer.
int walk(piece_scanner& s, const visitor& v) {
    const char* const window = text_window(s.reader);
    // The walk's place in locals, written back when it stops.
    std::size_t pos = s.pos, column = s.at.column;
    int count = s.walk, result = GO_ON;
    while (count > 0) {
        end_at_ctrl_z(s, pos);
        const std::size_t size = text_window_size(s.reader);
        const bool last = text_window_is_last(s.reader);
        std::size_t length = 0, used = 0;
        bool had_end = false;
        const text_cut_result cut = data_cut_piece(window + pos, size - pos, last, length, used, had_end);
        if (cut != TEXT_CUT) {
            if (cut == TEXT_CUT_NEEDS_MORE) result = NEEDS_MORE;
            else count = 0;
            break;
        }
        candidate_piece c;
        const int candidate = candidate_at(s, pos, length, had_end, piece_of_column(column), c);
        if (candidate == NEEDS_MORE) {
            result = NEEDS_MORE;
            break;
        }
        const std::size_t start = pos;
        pos += used;
        column = had_end ? 0 : column + used;
        --count;
        if (!candidate) continue;
        result = hand_over(s, c, start, v);
        if (result != GO_ON) break;
    }
    s.pos = pos;
    s.at.known = pos;
    s.at.column = column;
    s.walk = count;
    return result;
}

// After a dense run of places the scanner walks pieces one by one. The walk
// begins at a piece start: where a cut piece ended, or else at the start of
// the place's own piece, which no piece cut so far has reached.
void start_walk(piece_scanner& s, std::size_t at) {
    s.dense = 0;
    s.walk = WALK_PIECES;
    if (s.at.known > at) return;
    const std::size_t column = column_at(s, at);
    s.pos = at - (column - piece_start_column(column));
    s.at.known = s.pos;
    s.at.column = piece_start_column(column);
}

// Looks through the window for candidates. Returns the visitor's answer
// that ends the scan, or NEEDS_MORE when the window holds no more that can
// be judged.
int scan_window(piece_scanner& s, const visitor& v) {
    while (s.can_match) {
        if (s.walk > 0) {
            const int got = walk(s, v);
            if (got != GO_ON) return got;
            continue;
        }
        const char* const window = text_window(s.reader);
        const std::size_t size = text_window_size(s.reader);
        const char* q = next_asset_candidate(s.filter, window + s.pos, window + size);
        if (!q) {
            if (size >= s.folded.size()) s.pos = std::max(s.pos, size - s.folded.size() + 1);
            return NEEDS_MORE;
        }
        const std::size_t at = std::size_t(q - window);
        if (*q == TEXT_END_OF_FILE) {
            text_window_end_at(s.reader, at);
            continue;
        }
        s.dense = at - s.pos < DENSE_GAP ? s.dense + 1 : 0;
        std::size_t next = at + 1;
        const int got = look_at(s, at, v, next);
        if (got == NEEDS_MORE) {
            s.pos = at;
            return NEEDS_MORE;
        }
        if (got != GO_ON) return got;
        s.pos = next;
        if (s.dense >= DENSE_RUN) start_walk(s, at);
    }
    s.pos = text_window_size(s.reader);
    return NEEDS_MORE;
}

}  // namespace

void piece_scan_start(piece_scanner& s, std::FILE* file, const char* asset, int count_lines) {
    text_reader_start(s.reader, file);
    s.reader.user_finds_ctrl_z = true;
    s.folded = folded_asset(asset, std::strlen(asset));
    make_asset_filter(s.folded.data(), s.folded.size(), s.filter);
    s.can_match = asset_can_match(s.folded);
    s.count_lines = count_lines;
    s.at = scan_place();
    s.pos = 0;
    s.walk = 0;
    s.dense = 0;
    s.before = '\n';
    s.no_ctrl_z = 0;
}

int piece_scan_each(piece_scanner& s, piece_visitor visit, void* context) {
    const visitor v{visit, context};
    for (;;) {
        const int got = scan_window(s, v);
        if (got != NEEDS_MORE) return got;
        if (text_window_is_last(s.reader)) return PIECE_SCAN_END;
        // Keep what is not yet looked at, from the start of its piece on.
        const std::size_t column = column_at(s, s.pos);
        const std::size_t keep = s.pos - (column - piece_start_column(column));
        line_of(s, keep);
        s.at.counted = keep;
        if (keep > 0) s.before = text_window(s.reader)[keep - 1];
        if (!text_slide_window(s.reader, keep) && s.reader.error) return PIECE_SCAN_FAILED;
        s.pos -= keep;
        s.at.known -= keep;
        s.at.counted -= keep;
        s.no_ctrl_z = s.no_ctrl_z > keep ? s.no_ctrl_z - keep : 0;
    }
}
