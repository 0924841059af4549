// The data-file search: the first line of the asset whose nominal lies
// within a relative 1e-11 of the sought one gives the value. Lines are
// tokens of asset, nominal and value, cut at spaces, commas, tabs, CR and
// LF; a line for another asset is skipped after its first token. The file
// is read in large blocks and a line is looked at where it lies in the
// block, never copied, so a search costs little more than finding the line
// ends, and memory stays the same whatever the size of the file.
#include "lookup/lookup.h"

#include <cmath>
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

int search_data_file(const char* data_path, std::FILE* file, const char* asset,
                     double nominal, const char* ini_path, register_set& rs) {
    search_stop stop;
    return search_data_file_at(data_path, file, asset, nominal, ini_path, rs, stop, report_error);
}

int search_data_file_at(const char* data_path, std::FILE* file, const char* asset,
                        double nominal, const char* ini_path, register_set& rs,
                        search_stop& stop, error_reporter report) {
    auto reader = std::make_unique<text_reader>();
    text_reader_start(*reader, file);
    std::string folded(asset);
    for (char& c : folded) c = lower_ascii(c);
    const char* data = nullptr;
    std::size_t length = 0;
    bool had_end = true;
    long line_number = 0, piece = 0;
    stop = search_stop();
    for (;;) {
        if (had_end) {
            ++line_number;
            piece = 0;
        }
        text_read_result got = text_read_piece(*reader, DATA_LINE_LIMIT, data, length, had_end);
        if (got == TEXT_END) break;
        if (got == TEXT_FAILED)
            return report(open_failure_text(data_path, reader->error), 1, ini_path, rs);
        ++piece;
        if (!may_be_asset(data, data + length, folded)) continue;

        // Only the piece the search stops at is recorded.
        auto stop_here = [&] {
            stop.line = line_number;
            stop.piece = piece;
            stop.text.assign(data, length);
        };
        // A line is text: a NUL byte ends what the line says.
        const char* p = data;
        const char* end = p + strnlen(p, length);
        std::size_t n = 0;
        const char* token = next_data_token(p, end, n);
        if (!token || !same_asset(token, n, asset)) continue;
        token = next_data_token(p, end, n);
        if (!token) continue;
        if (!nr3_value(token, n, rs.MEM)) {
            stop_here();
            return report(invalid_number_text(token, n), 1, ini_path, rs);
        }
        if (!in_tolerance(rs.MEM, nominal, nominal)) continue;
        stop_here();
        token = next_data_token(p, end, n);
        if (!token) return report("Can't get value.", 1, ini_path, rs);
        if (nr3_value(token, n, rs.MEM)) return OUTCOME_FOUND;
        return report(invalid_number_text(token, n), 1, ini_path, rs);
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
