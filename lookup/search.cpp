// The data-file search: the first line of the asset whose nominal lies
// within a relative 1e-11 of the sought one gives the value. The piece
// scanner (piece_scan.h) hands over, in file order, every piece whose first
// token may be the asset; each is examined as a line of its own, exactly as
// a line-by-line reading would examine it.
#include "lookup/search.h"
#include "platform/platform.h"

#include <cerrno>
#include <memory>

int nr3_value(const char* token, std::size_t length, double& value) {
    return scan_number(token, length, value, NUMBER_STRTOD) == length && length > 0 ? 1 : 0;
}

int in_tolerance(double value, double low, double high) {
    // Ordered comparisons: a NaN on either side does not reject here ...
    if (tolerance_floor(low) > value) return 0;
    // ... but does not accept here.
    return value <= tolerance_ceiling(high) ? 1 : 0;
}

namespace {

// One search as asked, with the version of the file it began reading.
struct lookup_request {
    search_request asked;
    bool versioned;  // the version below could be read
    file_version before;
};

// A writer that cut or rewrote the file while it was read may have torn
// the very line that decides (a value cut to its first digit), so nothing
// is delivered or told from a file that is not the one the search began.
bool file_changed(const lookup_request& q) {
    if (!q.versioned) return false;
    file_version now;
    return !platform_file_version(q.asked.file, now) || !same_file_version(now, q.before);
}

int tell(const lookup_request& q, const std::string& text, register_set& rs) {
    if (file_changed(q)) return SEARCH_FILE_CHANGED;
    return q.asked.report(q.asked.report_context, text, 1, q.asked.ini_path, rs);
}

constexpr int GO_ON = PIECE_GO_ON;  // the piece says nothing: search on

// What the scanner hands each candidate to.
struct examination {
    const lookup_request& q;
    register_set& rs;
    search_stop& stop;
};

// A nominal or value that reaches the end of a piece whose last token goes
// on in the next piece is only the start of a number: it is told, never
// read.
bool cut_off(const candidate_piece& c, const char* token, std::size_t n) {
    return c.runs_on && token + n == c.data + c.length;
}

// Examines one piece, which the scanner has let through, as a line of its
// own. Returns GO_ON, or the outcome the search ends with.
int examine_piece(const candidate_piece& c, const lookup_request& q, register_set& rs, search_stop& stop) {
    // Only the piece the search stops at is recorded.
    auto stop_here = [&] {
        stop.line = c.line;
        stop.piece = c.piece;
        stop.text.assign(c.data, c.length);
    };
    data_cells cells = data_cells_of(c.data, c.data + said_length(c.data, c.length));
    std::size_t n = 0;
    const char* token = next_data_cell(cells, n);
    if (!token || !same_asset(token, n, q.asked.asset)) return GO_ON;
    token = next_data_cell(cells, n);
    if (!token) return GO_ON;
    const long cut_column = c.piece * long(DATA_LINE_LIMIT);
    if (cut_off(c, token, n)) {
        stop_here();
        return tell(q, cut_cell_text(token, n, cut_column), rs);
    }
    if (!nr3_value(token, n, rs.MEM)) {
        stop_here();
        return tell(q, invalid_number_text(token, n), rs);
    }
    if (!in_tolerance(rs.MEM, q.asked.nominal, q.asked.nominal)) return GO_ON;
    stop_here();
    token = next_data_cell(cells, n);
    if (!token) return tell(q, "Can't get value.", rs);
    if (cut_off(c, token, n)) return tell(q, cut_cell_text(token, n, cut_column), rs);
    if (nr3_value(token, n, rs.MEM)) return file_changed(q) ? SEARCH_FILE_CHANGED : OUTCOME_FOUND;
    return tell(q, invalid_number_text(token, n), rs);
}

int examine(const candidate_piece& c, void* context) {
    examination& e = *static_cast<examination*>(context);
    return examine_piece(c, e.q, e.rs, e.stop);
}

}  // namespace

int lookup_attempt(search_request q, register_set& rs, search_stop& stop) {
    unsigned pause_ms = 50;
    for (int reads = 1;; ++reads) {
        errno = 0;
        q.file = platform_open_disk_file(q.data_path);
        if (!q.file) {
            const int error_number = errno;
            return q.report(q.report_context, open_failure_text(q.data_path, error_number), 1, q.ini_path, rs);
        }
        const int outcome = search_data_file(q, rs, stop);
        std::fclose(q.file);
        if (outcome != SEARCH_FILE_CHANGED) return outcome;
        if (reads == DATA_FILE_READS)
            return q.report(q.report_context, open_failure_text(q.data_path, EBUSY), 1, q.ini_path, rs);
        platform_pause(pause_ms);
        pause_ms *= 2;
    }
}

int search_data_file(const search_request& asked, register_set& rs, search_stop& stop) {
    stop = search_stop();
    lookup_request q{asked, false, {}};
    q.versioned = platform_file_version(asked.file, q.before) == 1;
    // Default-initialized: its block is written by the reads, not zeroed first.
    std::unique_ptr<piece_scanner> scanner(new piece_scanner);
    piece_scan_start(*scanner, asked.file, asked.asset, asked.count_lines);
    // For each candidate piece, in file order: examine it.
    examination e{q, rs, stop};
    const int got = piece_scan_each(*scanner, examine, &e);
    if (got >= 0) return got;
    if (got == PIECE_SCAN_FAILED) return tell(q, open_failure_text(asked.data_path, scanner->reader.error), rs);
    std::string text = "No value found for ";
    text += asked.asset;
    text += " at ";
    append_number(text, asked.nominal);
    text += " in file:  \"";
    text += asked.data_path;
    text += '"';
    return tell(q, text, rs);
}
