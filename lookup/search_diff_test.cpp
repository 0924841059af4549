// The block-reading search against a plain one written straight from the
// rules of the data file: the whole file turned into text-mode characters,
// cut into pieces of 254, each piece cut into tokens. Many random data
// files, and each must give the same outcome, MEM, messages and stop.
#include "lookup/lookup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct result {
    int outcome = 0;
    double mem = 0;
    std::vector<std::string> texts;
    long line = 0, piece = 0;
    std::string stop_text;
};

bool operator==(const result& a, const result& b) {
    return a.outcome == b.outcome && a.texts == b.texts && a.line == b.line &&
           a.piece == b.piece && a.stop_text == b.stop_text &&
           std::memcmp(&a.mem, &b.mem, sizeof a.mem) == 0;
}

std::ostream& operator<<(std::ostream& os, const result& r) {
    os << "outcome " << r.outcome << " MEM " << r.mem << " stop " << r.line << '/' << r.piece
       << " [" << r.stop_text << "]";
    for (const std::string& t : r.texts) os << " box[" << t << ']';
    return os;
}

std::vector<std::string>* g_texts = nullptr;

int record(const std::string& text, int, const char*, register_set&) {
    g_texts->push_back(text);
    return OUTCOME_GIVE_UP;
}

result block_search(const std::string& content, const char* asset, double nominal) {
    std::FILE* f = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), f);
    std::rewind(f);
    result r;
    g_texts = &r.texts;
    register_set rs;
    rs.MEM = 3;
    search_stop stop;
    r.outcome = search_data_file_at("refs.dat", f, asset, nominal, "vornax.ini", rs, stop, record);
    std::fclose(f);
    g_texts = nullptr;
    r.mem = rs.MEM;
    r.line = stop.line;
    r.piece = stop.piece;
    r.stop_text = stop.text;
    return r;
}

bool same_text_ignoring_case(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string invalid(const std::string& token) {
    return "\"" + token + "\" contains an invalid NR3 number.";
}

// The search as plainly as it can be written.
result plain_search(const std::string& content, const std::string& asset, double nominal) {
    // Text mode: Ctrl-Z ends the file, CR LF is one line end.
    std::string chars;
    for (std::size_t i = 0; i < content.size() && content[i] != '\x1A'; ++i) {
        if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') continue;
        chars += content[i];
    }
    result r;
    r.mem = 3;
    auto stop = [&](long line, long piece, const std::string& text, int outcome, std::string box) {
        r.line = line;
        r.piece = piece;
        r.stop_text = text;
        r.outcome = outcome;
        if (!box.empty()) r.texts.push_back(box);
        return r;
    };
    long line = 1, piece = 0;
    std::size_t i = 0;
    while (i < chars.size()) {
        // At most 254 characters, the line end counting as one.
        std::size_t take = 0;
        bool ended = false;
        while (i + take < chars.size() && take < DATA_LINE_LIMIT) {
            if (chars[i + take++] == '\n') {
                ended = true;
                break;
            }
        }
        const std::string got = chars.substr(i, take - (ended ? 1 : 0));
        i += take;
        ++piece;
        const std::string said = got.substr(0, got.find('\0'));
        std::vector<std::string> tokens;
        std::size_t at = 0;
        while ((at = said.find_first_not_of(" ,\t\r\n", at)) != std::string::npos) {
            std::size_t stop_at = said.find_first_of(" ,\t\r\n", at);
            if (stop_at == std::string::npos) stop_at = said.size();
            tokens.push_back(said.substr(at, stop_at - at));
            at = stop_at;
        }
        if (tokens.size() >= 2 && same_text_ignoring_case(tokens[0], asset)) {
            if (!nr3_value(tokens[1].data(), tokens[1].size(), r.mem))
                return stop(line, piece, got, OUTCOME_GIVE_UP, invalid(tokens[1]));
            if (in_tolerance(r.mem, nominal, nominal)) {
                if (tokens.size() < 3) return stop(line, piece, got, OUTCOME_GIVE_UP, "Can't get value.");
                if (nr3_value(tokens[2].data(), tokens[2].size(), r.mem))
                    return stop(line, piece, got, OUTCOME_FOUND, "");
                return stop(line, piece, got, OUTCOME_GIVE_UP, invalid(tokens[2]));
            }
        }
        if (ended) {
            ++line;
            piece = 0;
        }
    }
    return stop(0, 0, "", OUTCOME_GIVE_UP,
                "No value found for " + asset + " at " + format_number(nominal) +
                    " in file:  \"refs.dat\"");
}

// Random data files of the lab's kind, with every awkward thing in them.
struct data_maker {
    std::mt19937 rng;
    std::size_t pick(std::size_t n) { return rng() % n; }
    bool chance(int percent) { return int(rng() % 100) < percent; }

    std::string asset_token() {
        static const char* const assets[] = {"AB12", "ab12", "Ab12", "AB1", "AB123", "AB12x",
                                             "A7", "XB12", "\xC1" "B12", "C301"};
        return assets[pick(sizeof assets / sizeof *assets)];
    }
    std::string number_token() {
        static const char* const numbers[] = {"10", "10.0000000001", "1e1", "1.0D1", "5", "0.5",
                                              "1000", "1e3", "10V", "ten", "1e", ".", "-10",
                                              "10.02", "1e999", "+10", "9.99999999999"};
        return numbers[pick(sizeof numbers / sizeof *numbers)];
    }
    std::string separator() {
        static const char* const seps[] = {" ", ",", ", ", "\t", " ,\t", "\r"};
        return seps[pick(6)];
    }
    std::string line_end() {
        static const char* const ends[] = {"\n", "\r\n", "\r\n", "\n", "\r", "\r\r\n", ""};
        return ends[pick(7)];
    }
    std::string line() {
        std::string s;
        if (chance(10)) s += separator();
        s += asset_token();
        if (chance(3)) s += '\0';
        int tokens = int(pick(4));
        for (int t = 0; t < tokens; ++t) {
            s += separator();
            s += number_token();
        }
        if (chance(3)) s.insert(pick(s.size() + 1), 1, '\0');
        if (chance(2)) s.insert(pick(s.size() + 1), 1, '\x1A');
        if (chance(8)) {
            // Around the piece length: the line or its end falls at the cut.
            const std::size_t length = DATA_LINE_LIMIT - 4 + pick(9);
            const std::string pad(length > s.size() ? length - s.size() : 0, chance(50) ? ' ' : 'x');
            s = chance(50) ? pad + s : s + pad;
        }
        return s + line_end();
    }
    std::string file() {
        std::string s;
        const std::size_t target = chance(80) ? pick(600) : sizeof(text_reader::buf) + pick(3000);
        while (s.size() < target) {
            // Filler lines move the interesting ones across the block edge.
            if (chance(2)) s += "F" + std::string(pick(sizeof(text_reader::buf)), ' ') + "\n";
            s += line();
        }
        return s;
    }
};

TEST(SearchDifferential, RandomDataFilesGiveThePlainSearchResults) {
    data_maker make{std::mt19937(4242)};
    const double nominals[] = {10, 0.5, 1000, HUGE_VAL};
    for (int round = 0; round < 600; ++round) {
        const std::string content = make.file();
        const char* asset = round % 3 ? "AB12" : "ab12";
        const double nominal = nominals[make.pick(4)];
        EXPECT_EQ(block_search(content, asset, nominal), plain_search(content, asset, nominal))
            << "round " << round << " nominal " << nominal;
    }
}

TEST(SearchDifferential, TheSoughtLineAroundTheBlockEdge) {
    // Move one matching line across the edge of the reader's block a
    // character at a time, with CR LF and lone CR at the edge.
    const std::size_t block = sizeof(text_reader::buf);
    for (const char* end : {"\n", "\r\n", "\r"}) {
        for (std::size_t shift = 0; shift < 24; ++shift) {
            std::string content = "X" + std::string(block - 12 - shift, ' ') + end;
            content += std::string("ab12 5 1") + end + "AB12,10,10.02" + end + "AB12 10 7\n";
            EXPECT_EQ(block_search(content, "AB12", 10), plain_search(content, "AB12", 10))
                << "shift " << shift;
        }
    }
}

TEST(SearchDifferential, FirstTokenCheckOnlyTurnsAwayOtherAssets) {
    const std::pair<std::string, int> cases[] = {
        {"ab12 10 1", 1},      {"AB12,10", 1},         {" ,\tAb12\t", 1},
        {"ab12\r", 1},         {"ab12", 0},            {"ab12x 10", 0},
        {"ab1 10", 0},         {"xab12 10", 0},        {"", 0},
        {"   ", 0},            {std::string("ab12\0 10", 8), 0},
        {std::string("\0ab12 10", 8), 0},             {"\xC1" "b12 10", 0},
    };
    for (const auto& c : cases) {
        const char* p = c.first.data();
        EXPECT_EQ(may_be_asset(p, p + c.first.size(), "ab12"), c.second) << c.first;
    }
    // The piece's end is the end: what lies behind it in the block is not looked at.
    const char block[] = "ab12 10 1";
    EXPECT_EQ(may_be_asset(block, block + 4, "ab12"), 0);
    EXPECT_EQ(may_be_asset(block, block + 5, "ab12"), 1);
}

}  // namespace
