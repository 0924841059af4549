// The cells of one piece of a data file, written as plainly as the rules
// read, for the tests and fuzz targets that hold the search against a plain
// model: what the piece says ends at a NUL; tokens are cut at runs of
// space, comma, tab, CR and LF; and on a line whose cells so far are
// separated by runs that hold a blank or a tab, a nominal or value that is
// a whole number followed by a lone comma and a token of digits, perhaps
// with letters after them, runs on over them ("10,00013", "1,000,000",
// "10,5V"); a nominal only when some token follows. Shares no code with the
// search on purpose.
#ifndef TALLIX_TESTS_REFERENCE_CELLS_H
#define TALLIX_TESTS_REFERENCE_CELLS_H

#include <string>
#include <vector>

inline std::vector<std::string> reference_cells(const std::string& piece) {
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
    auto digits_then_letters = [](const std::string& t) {
        const std::size_t letters = t.find_first_not_of("0123456789");
        return letters != 0 && (letters == std::string::npos ||
                                t.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ",
                                                    letters) == std::string::npos);
    };
    std::vector<std::string> cells;
    bool blank_runs = true;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (i > 0 && runs[i].find_first_of(" \t") == std::string::npos) blank_runs = false;
        std::string cell = tokens[i];
        if ((cells.size() == 1 || cells.size() == 2) && blank_runs && whole_number(cell)) {
            std::size_t last = i;
            std::string joined = cell;
            while (last + 1 < tokens.size() && runs[last + 1] == "," && digits_then_letters(tokens[last + 1]))
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

#endif
