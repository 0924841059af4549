// The block-reading search against a plain one written straight from the
// rules of the data file: the whole file turned into text-mode characters,
// cut into pieces of 254, each piece cut into tokens. Many random data
// files, and each must give the same outcome, MEM, messages and stop.
#include "lookup/search.h"
#include "reference_search.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>

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

// Records what the search tells in the texts its context points to.
int record(void* context, const std::string& text, int, const char*, register_set&) {
    static_cast<std::vector<std::string>*>(context)->push_back(text);
    return OUTCOME_GIVE_UP;
}

result search_in(std::FILE* f, const char* asset, double nominal, int count_lines) {
    result r;
    register_set rs;
    rs.MEM = 3;
    search_stop stop;
    search_request q;
    q.data_path = "refs.dat";
    q.file = f;
    q.asset = asset;
    q.nominal = nominal;
    q.ini_path = "vornax.ini";
    q.report = record;
    q.report_context = &r.texts;
    q.count_lines = count_lines;
    r.outcome = search_data_file(q, rs, stop);
    std::fclose(f);
    r.mem = rs.MEM;
    r.line = stop.line;
    r.piece = stop.piece;
    r.stop_text = stop.text;
    return r;
}

result block_search(const std::string& content, const char* asset, double nominal,
                    int count_lines = 1) {
    std::FILE* f = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), f);
    std::rewind(f);
    return search_in(f, asset, nominal, count_lines);
}

// The reference search reads numbers with the search's own reader: this
// test is about pieces, cells and stops.
bool whole_number(const std::string& token, double& value) {
    return nr3_value(token.data(), token.size(), value) == 1;
}

std::string no_value(const std::string& asset, double nominal) {
    return "No value found for " + asset + " at " + format_number(nominal) + " in file:  \"refs.dat\"";
}

result from_reference(const reference_result& ref) {
    result r;
    r.outcome = ref.found ? OUTCOME_FOUND : OUTCOME_GIVE_UP;
    r.mem = ref.mem;
    if (!ref.report.empty()) r.texts.push_back(ref.report);
    r.line = ref.line;
    r.piece = ref.piece;
    r.stop_text = ref.stop_text;
    return r;
}

// The search as plainly as it can be written.
result plain_search(const std::string& content, const std::string& asset, double nominal) {
    return from_reference(reference_search(content, asset, nominal, 3, whole_number, no_value(asset, nominal)));
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
                                              "10.02", "1e999", "+10", "9.99999999999", "00013", "5V",
                                              "000.75", "5e3", "00027E+01", "250031", "E-3"};
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
        if (chance(6)) {
            // The cut falls inside the asset, the nominal or the value.
            const std::size_t before = DATA_LINE_LIMIT - pick(std::min<std::size_t>(s.size(), 12) + 1);
            s = std::string(before, chance(70) ? ' ' : '7') + s;
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

// The search gives the plain search's results, with the line counted or not.
void expect_plain_results(const std::string& content, const char* asset, double nominal,
                          const std::string& label) {
    result want = plain_search(content, asset, nominal);
    EXPECT_EQ(block_search(content, asset, nominal), want) << label << " asset " << asset;
    want.line = 0;
    EXPECT_EQ(block_search(content, asset, nominal, 0), want) << label << " asset " << asset
                                                               << ", lines not counted";
}

TEST(SearchDifferential, RandomDataFilesGiveThePlainSearchResults) {
    data_maker make{std::mt19937(4242)};
    const double nominals[] = {10, 0.5, 1000, HUGE_VAL};
    const char* const assets[] = {"AB12", "ab12", "aB12", "A", "b12"};
    for (int round = 0; round < 600; ++round) {
        const std::string content = make.file();
        const char* asset = assets[round % 5];
        const double nominal = nominals[make.pick(4)];
        expect_plain_results(content, asset, nominal, "round " + std::to_string(round));
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

// Layouts where a search that does not walk every line could go wrong.
std::vector<std::pair<std::string, std::string>> awkward_layouts() {
    const std::size_t limit = DATA_LINE_LIMIT;
    std::vector<std::pair<std::string, std::string>> v;
    auto add = [&](const std::string& name, const std::string& content) { v.push_back({name, content}); };
    // The asset at and around the piece starts of a long line (254, 508, ...).
    for (std::size_t k = 1; k <= 3; ++k)
        for (int d = -2; d <= 2; ++d)
            for (char pad : {'x', ' ', ','})
                add("piece start " + std::to_string(k) + "/" + std::to_string(d) + pad,
                    "Y" + std::string(limit * k + d - 1, pad) + "ab12, 10, 7 AB12 10 9\nAB12 10 8\n");
    // Lines of 252 to 256 characters before the sought line, and the sought
    // line itself that long, with every kind of line end.
    for (std::size_t length = limit - 2; length <= limit + 2; ++length)
        for (const char* end : {"\n", "\r\n", "\r", "\r\r\n"}) {
            const std::string tag = std::to_string(length) + (end[1] ? "crlf" : end[0] == '\r' ? "cr" : "lf");
            add("line of " + tag, "q" + std::string(length - 1, 'q') + end + "AB12 10 5" + end);
            add("sought line of " + tag, "AB12 10 5" + std::string(length - 9, ' ') + end + "AB12 10 6\n");
            add("value cut at " + tag, "AB12 10" + std::string(length - 7, ' ') + "7" + end + "AB12 10 6\n");
        }
    // A token cut by the piece's end: the asset, the nominal or the value
    // falls across column 254 (and 508), or the line ends right after it.
    for (std::size_t k = 1; k <= 2; ++k)
        for (std::size_t into = 0; into <= 6; ++into)
            for (const char* end : {"\n", "\r", ""}) {
                const std::string at = std::to_string(k) + "/" + std::to_string(into) + (end[0] ? "" : "eof");
                const std::string lead(limit * k - into, ' ');
                add("asset cut " + at, "Y" + lead.substr(1) + "XAB12 10 3" + end + "AB12 10 4\n");
                add("nominal cut " + at, "AB12" + std::string(limit * k - into - 4, ' ') + "10.0 5" + end + "AB12 10 4\n");
                add("value cut " + at, "AB12 10" + std::string(limit * k - into - 7, ' ') + "10.25 x" + end);
                add("comma value cut " + at, "AB12 10" + std::string(limit * k - into - 7, ' ') + "1,000.5" + end);
                add("CR-only export " + at, "Y" + std::string(limit * k - into - 1, '\r') + "2AB12\r10\r9" + end);
            }
    // The asset inside other tokens, in other tokens' places, in other cases.
    add("inside tokens", "XAB12 10 1\nAB123 10 2\nAB1 10 3\nab12x 10 4\nQ AB12 10 5\n10 AB12 6\n");
    add("cases", "xx\naB12 5 1\nAb12 10 2\n");
    add("after delimiters", " ,\t\rAB12,,10\t\t7\n");
    add("lone CR before", "X\rAB12 10 7\n\rAB12 10 8\n");
    // NUL bytes: before, inside and after the asset.
    add("NUL before", std::string("\0AB12 10 1\n \0AB12 10 2\nAB12 10 3\n", 34));
    add("NUL inside", std::string("AB\0" "12 10 1\nAB12\0 10 2\nAB12 1\0" "0 3\nAB12 10 4\n", 44));
    // Ctrl-Z ends the file before, inside and after the match.
    add("Ctrl-Z before", "AB12 5 1\n\x1A" "AB12 10 7\n");
    add("Ctrl-Z inside", "AB\x1A" "12 10 7\n");
    add("Ctrl-Z in the line", "AB12 10\x1A 7\n");
    add("Ctrl-Z after", "AB12 10 7\x1A" "8\n");
    // The file's last bytes, without a line end.
    add("ends with the value", "X\nAB12 10 7");
    add("ends with the nominal", "X\nAB12 10");
    add("ends with the asset", "X\nAB12");
    add("ends after the asset", "X\nAB12 ");
    add("ends in the asset", "X\nAB1");
    add("ends with a CR", "X\nAB12 10 7\r");
    return v;
}

TEST(SearchDifferential, AwkwardLayoutsGiveThePlainSearchResults) {
    const std::size_t block = sizeof(text_reader::buf);
    const char* const assets[] = {"AB12", "ab12", "A", "B12", "AB1"};
    for (const auto& layout : awkward_layouts())
        // As the file's start with every asset and nominal, and across the
        // first edge of the reader's block with the sought one.
        for (std::size_t shift : {std::size_t(0), std::size_t(3), std::size_t(11)}) {
            const std::string head = shift ? "F" + std::string(block - shift - 2, ' ') + "\n" : "";
            for (const char* asset : assets)
                for (double nominal : {10.0, 5.0})
                    if (shift == 0 || (asset == assets[0] && nominal == 10.0))
                        expect_plain_results(head + layout.second, asset, nominal,
                                             layout.first + " shift " + std::to_string(shift));
        }
}

TEST(SearchDifferential, TheAssetAcrossEveryBlockEdge) {
    // The asset's characters, its delimiter and its line end fall on either
    // side of the block edge, in a short line and at a piece start of a line
    // longer than the block.
    const std::size_t block = sizeof(text_reader::buf);
    const std::size_t long_head = DATA_LINE_LIMIT * (block / DATA_LINE_LIMIT);
    for (const char* end : {"\n", "\r\n", "\r"})
        for (std::size_t j = 0; j < 16; ++j) {
            const std::string tail = std::string("ab12 10 7") + end + "AB12 10 8" + end;
            expect_plain_results("F" + std::string(block - j - 2, ' ') + end + tail, "AB12", 10,
                                 "short line, edge " + std::to_string(j));
            expect_plain_results("F" + std::string(long_head - j - 1, 'x') + std::string(j, ' ') + tail,
                                 "AB12", 10, "long line, edge " + std::to_string(j));
        }
}

TEST(SearchDifferential, EveryLineBeginsWithTheAssetsCharacters) {
    // Seeking A1 among A1, A10 and A1234 lines, and A1 on every line at other
    // nominals: the filter passes every line, and all must be judged right.
    std::string content;
    for (int i = 0; i < 20000; ++i) {
        static const char* const lines[] = {"A10 10 1\n", "a1234, 10, 2\r\n", "A1 5 3\n", "A1\t7\t4\n"};
        content += lines[i % 4];
    }
    for (const char* last : {"A1 10 9\n", "a1, 10\n", ""})
        expect_plain_results(content + last, "A1", 10, std::string("last ") + last);
    // The asset as a later token of every line, and long lines between, so
    // that the lines are walked one by one from places that are not the
    // first token.
    std::mt19937 rng(5);
    std::string later;
    for (int i = 0; i < 6000; ++i) {
        static const char* const lines[] = {"a 5 2\r\n", "X A 10 1\n", "XA A 10 1\n", "A, 7, 1\n"};
        later += lines[rng() % 4];
        if (rng() % 500 == 0) later += std::string(600, 'y') + " A 10 3\n";
    }
    expect_plain_results(later + "A 10 9\n", "A", 10, "later tokens");
    // Walking lines of the asset across the reader's block edge, a Ctrl-Z
    // at every distance after it ends the file there, however far the walk
    // had looked ahead before the block moved on.
    std::string walked;
    while (walked.size() < TEXT_BLOCK - 9000) walked += "A1 5 1\n";
    for (std::size_t past = 0; past < 18000; past += 997) {
        std::string content = walked;
        while (content.size() < TEXT_BLOCK - 9000 + past) content += "a1, 5, 2\n";
        expect_plain_results(content + "A1 10 7\x1A" "A1 10 9\n", "A1", 10, "Ctrl-Z " + std::to_string(past));
    }
}

// The search by every piece the reader gives, each examined plainly. A
// piece that may be the asset's and ends in a token needs the character
// after it, which tells whether the token is cut; only that one character
// is read ahead.
result piece_by_piece(std::FILE* f, const std::string& asset, double nominal) {
    auto reader = std::make_unique<text_reader>();
    text_reader_start(*reader, f);
    reference_result ref;
    ref.mem = 3;
    reference_piece p;
    p.line = 1;
    const char* data = nullptr;
    std::size_t length = 0;
    bool had_end = false;
    char last = '\n';  // the last character of the piece before
    const std::string folded = folded_asset(asset.data(), asset.size());
    text_read_result got;
    while ((got = data_read_piece(*reader, data, length, had_end)) == TEXT_LINE) {
        p.text.assign(data, length);
        ++p.piece;
        p.begins_inside = !p.text.empty() && reference_token_char(last) && reference_token_char(p.text[0]);
        p.runs_on = false;
        if (!had_end && length == DATA_LINE_LIMIT && !p.begins_inside &&
            may_be_asset(p.text.data(), p.text.data() + length, folded) &&
            p.text.find('\0') == std::string::npos && reference_token_char(p.text.back())) {
            if (reader->pos == reader->len && !text_read_more(*reader) && reader->error) {
                got = TEXT_FAILED;
                break;
            }
            p.runs_on = reader->pos < reader->len && reference_token_char(reader->buf[reader->pos]);
        }
        if (reference_examine(p, asset, nominal, whole_number, ref)) break;
        last = had_end ? '\n' : (p.text.empty() ? last : p.text.back());
        if (had_end) {
            ++p.line;
            p.piece = 0;
        }
    }
    std::fclose(f);
    if (got == TEXT_FAILED) ref.report = open_failure_text("refs.dat", reader->error);
    if (got == TEXT_END) ref.report = no_value(asset, nominal);
    return from_reference(ref);
}

TEST(SearchDifferential, AReadErrorStopsWhereThePieceReaderStops) {
    if (!can_fail_reads()) GTEST_SKIP() << "no file here can be made to fail a read";
    // Every piece complete before the failed read is still examined; the
    // failure is told when the search needs what could not be read.
    data_maker make{std::mt19937(99)};
    for (int round = 0; round < 300; ++round) {
        const std::string content = make.file();
        const std::size_t fail_at = make.pick(content.size() + 1);
        failing_source a{content, fail_at}, b{content, fail_at};
        const result want = piece_by_piece(open_failing_source(b), "AB12", 10);
        EXPECT_EQ(search_in(open_failing_source(a), "AB12", 10, 1), want)
            << "round " << round << " fail at " << fail_at << " of " << content.size();
    }
}

TEST(SearchKernel, FindsEveryPlaceTheFirstAndLastCharactersStand) {
    std::mt19937 rng(17);
    // The asset's characters first; a Ctrl-Z among the others, which
    // passes too.
    const char alphabet[] = "aAbB1Z9zx \n\r\0,\xC1\xE1@`[{\x1A";
    for (int round = 0; round < 6000; ++round) {
        // Half the texts have the asset's characters only here and there,
        // so that the vector loops run to their ends.
        std::string text(rng() % 700, ' ');
        const std::size_t kinds = rng() % 2 ? 8 : sizeof alphabet - 1;
        for (char& c : text) c = alphabet[8 + rng() % (sizeof alphabet - 9)];
        for (std::size_t i = 0; i < text.size(); i += 1 + rng() % (kinds == 8 ? 97 : 2))
            text[i] = alphabet[rng() % kinds];
        std::string asset(1 + rng() % 20, ' ');
        for (char& c : asset) c = alphabet[rng() % 8];
        asset_filter f;
        make_asset_filter(asset.data(), asset.size(), f);
        auto fits = [&](char have, char want) {
            const char h = (have >= 'A' && have <= 'Z') ? char(have + 32) : have;
            const char w = (want >= 'A' && want <= 'Z') ? char(want + 32) : want;
            return h == w;
        };
        const std::size_t from = text.empty() ? 0 : rng() % (text.size() + 1);
        std::size_t want = from;
        while (want + asset.size() <= text.size() && text[want] != '\x1A' &&
               !(fits(text[want], asset[0]) && fits(text[want + asset.size() - 1], asset.back())))
            ++want;
        // In a buffer of exactly the text's size, so that a sanitizer sees
        // any read past its end.
        const std::unique_ptr<char[]> exact(new char[text.size()]);
        std::memcpy(exact.get(), text.data(), text.size());
        // Every vector width this processor has, and none.
        for (int step = asset_filter_widest_step(); step >= 1; step = step > 1 ? step / 2 : 0) {
            if (step == 8 || step == 4 || step == 2) continue;
            const char* got = next_asset_candidate_in_steps(f, exact.get() + from, exact.get() + text.size(), step);
            if (want + asset.size() > text.size()) EXPECT_EQ(got, nullptr) << "round " << round << " step " << step;
            else EXPECT_EQ(got, exact.get() + want) << "round " << round << " step " << step;
        }
    }
}

}  // namespace
