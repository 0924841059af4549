// The data-file search written as plainly as the rules read, for the tests
// and fuzz targets that hold the real search against it: the whole file
// turned into text-mode characters (a Ctrl-Z ends it, CR LF is one line
// end), cut into pieces of 254 characters, each piece cut into cells and
// examined as a line of its own; a piece that begins inside a token cut by
// the piece before it is no line, and a nominal or value cut by the piece's
// end is told, not read. It shares no code with the search on
// purpose; only the number reader is handed in, so that a fuzz target can
// hold the number reader against a model of its own too.
//
// A program that does not want the reference's branches to count as its
// own coverage (a fuzz target) defines REFERENCE_ONLY before including this.
#ifndef TALLIX_TESTS_REFERENCE_SEARCH_H
#define TALLIX_TESTS_REFERENCE_SEARCH_H

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#ifndef REFERENCE_ONLY
#define REFERENCE_ONLY
#endif

// The cells of one piece: what the piece says ends at a NUL; tokens are cut
// at runs of space, comma, tab, CR and LF; and on a line whose cells so far
// are separated by runs that hold a blank or a tab, a nominal or value that
// is a whole number followed by a lone comma and a token that begins with a
// digit runs on over them ("10,00013", "1,000,000.2", "5,5e3", "10,5V"); a
// nominal only when some token follows.
REFERENCE_ONLY inline std::vector<std::string> reference_cells(const std::string& piece) {
    const std::string said = piece.substr(0, piece.find('\0'));
    const char* const delimiters = " ,\t\r\n";
    std::vector<std::string> tokens, runs;  // runs[i]: the delimiters before tokens[i]
    std::size_t at = 0;
    for (;;) {
        const std::size_t start = said.find_first_not_of(delimiters, at);
        if (start == std::string::npos) break;
        std::size_t stop = said.find_first_of(delimiters, start);
        if (stop == std::string::npos) stop = said.size();
        runs.push_back(said.substr(at, start - at));
        tokens.push_back(said.substr(start, stop - start));
        at = stop;
    }
    auto whole_number = [](const std::string& t) {
        const std::size_t digits = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
        return t.size() > digits && t.find_first_not_of("0123456789", digits) == std::string::npos;
    };
    auto begins_with_digit = [](const std::string& t) { return !t.empty() && t[0] >= '0' && t[0] <= '9'; };
    std::vector<std::string> cells;
    bool blank_runs = true;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (i > 0 && runs[i].find_first_of(" \t") == std::string::npos) blank_runs = false;
        std::string cell = tokens[i];
        if ((cells.size() == 1 || cells.size() == 2) && blank_runs && whole_number(cell)) {
            std::size_t last = i;
            std::string joined = cell;
            while (last + 1 < tokens.size() && runs[last + 1] == "," && begins_with_digit(tokens[last + 1]))
                joined += "," + tokens[++last];
            const bool value_follows = last + 1 < tokens.size();
            if (last > i && (cells.size() == 2 || value_follows)) {
                cell = joined;
                i = last;
            }
        }
        cells.push_back(cell);
    }
    return cells;
}

// One piece of the file, with its line and its place in the line (from 1).
struct reference_piece {
    std::string text;  // without the line end
    long line = 0, piece = 0;
    bool begins_inside = false;  // it begins inside a token that began in the piece before it
    bool runs_on = false;        // its last token goes on in the piece after it
};

// Tokens are made of every character but the delimiters and NUL.
REFERENCE_ONLY inline bool reference_token_char(char c) {
    return c != '\0' && std::string(" ,\t\r\n").find(c) == std::string::npos;
}

REFERENCE_ONLY inline std::vector<reference_piece> reference_pieces(const std::string& bytes) {
    std::string chars;
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\x1A'; ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        chars += bytes[i];
    }
    std::vector<reference_piece> pieces;
    long line = 1, piece = 0;
    for (std::size_t i = 0; i < chars.size();) {
        // At most 254 characters, the line end counting as one.
        const std::size_t lf = chars.find('\n', i);
        const std::size_t to_end = (lf == std::string::npos ? chars.size() : lf + 1) - i;
        std::string text = chars.substr(i, to_end < 254 ? to_end : 254);
        i += text.size();
        const bool ended = text.back() == '\n';
        if (ended) text.pop_back();
        const std::size_t from = i - text.size() - (ended ? 1 : 0);
        reference_piece p{text, line, ++piece};
        // Neighbours in the same line: a piece of 254 characters without a
        // line end is followed by the rest of its line.
        p.begins_inside = from > 0 && reference_token_char(chars[from - 1]) && reference_token_char(chars[from]);
        p.runs_on = !ended && text.size() == 254 && text.find('\0') == std::string::npos &&
                    reference_token_char(text.back()) && i < chars.size() && reference_token_char(chars[i]);
        pieces.push_back(p);
        if (ended) {
            ++line;
            piece = 0;
        }
    }
    return pieces;
}

// Where the search ends, and what it tells.
struct reference_result {
    bool found = false;
    double mem = 0;      // MEM afterwards
    std::string report;  // the message shown; empty when found
    long line = 0, piece = 0;
    std::string stop_text;  // the piece it stopped at
};

// Converts a whole token: true when it is a number to its end; `value` is
// the number at its start (0 when none).
using reference_number = bool (*)(const std::string& token, double& value);

// Examines one piece as a line of its own; returns true when the search
// stops there, with `r` filled in.
REFERENCE_ONLY inline bool reference_examine(const reference_piece& p, const std::string& asset, double nominal,
                                             reference_number whole_number, reference_result& r) {
    if (p.begins_inside) return false;
    auto same_asset = [&](const std::string& a) {
        if (a.size() != asset.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            char x = a[i], y = asset[i];
            if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
            if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
            if (x != y) return false;
        }
        return true;
    };
    // The asset is the first token as it stands (it never joins): a piece
    // for another asset is turned away before its cells are cut.
    const std::string said = p.text.substr(0, p.text.find('\0'));
    const std::size_t first = said.find_first_not_of(" ,\t\r\n");
    if (first == std::string::npos ||
        !same_asset(said.substr(first, said.find_first_of(" ,\t\r\n", first) - first)))
        return false;
    const std::vector<std::string> t = reference_cells(p.text);
    if (t.size() < 2) return false;
    auto stop = [&](const std::string& report) {
        r.found = report.empty();
        r.report = report;
        r.line = p.line;
        r.piece = p.piece;
        r.stop_text = p.text;
        return true;
    };
    auto invalid = [](const std::string& token) { return "\"" + token + "\" contains an invalid NR3 number."; };
    // The last cell of a piece that runs on is cut at the piece's end.
    auto cut = [&](const std::string& token) {
        return "\"" + token + "\" is cut at column " + std::to_string(p.piece * 254) +
               ": data lines are read in pieces of 254 characters.";
    };
    if (p.runs_on && t.size() == 2) return stop(cut(t[1]));
    if (!whole_number(t[1], r.mem)) return stop(invalid(t[1]));
    // Within a relative 1e-11 of the nominal, both ends inclusive; a NaN
    // on either side rejects only at the upper end.
    const double k = 1e-11;
    if (nominal - std::fabs(nominal) * k > r.mem) return false;
    if (!(r.mem <= nominal + std::fabs(nominal) * k)) return false;
    if (t.size() < 3) return stop("Can't get value.");
    if (p.runs_on && t.size() == 3) return stop(cut(t[2]));
    if (!whole_number(t[2], r.mem)) return stop(invalid(t[2]));
    return stop("");
}

// The whole search over the file's bytes; `mem_before` is MEM as read from
// dosdose.dat. `no_value` is the report at the end of the file.
REFERENCE_ONLY inline reference_result reference_search(const std::string& bytes, const std::string& asset,
                                                        double nominal, double mem_before,
                                                        reference_number whole_number,
                                                        const std::string& no_value) {
    reference_result r;
    r.mem = mem_before;
    for (const reference_piece& p : reference_pieces(bytes))
        if (reference_examine(p, asset, nominal, whole_number, r)) return r;
    r.report = no_value;
    return r;
}

#endif
