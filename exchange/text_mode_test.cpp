// Text mode: CR LF, lone CR, Ctrl-Z, pieces of a line limit, whole lines,
// block edges.
#include "exchange/text_mode.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

struct piece {
    std::string text;
    bool had_end;
    bool operator==(const piece& o) const { return text == o.text && had_end == o.had_end; }
};

std::ostream& operator<<(std::ostream& os, const piece& p) {
    return os << '[' << p.text << (p.had_end ? "|end]" : "]");
}

// The pieces of `content` with `limit`; with `limit` 0 its whole lines
// (text_read_line, which tells no line end: a line is taken to have one).
std::vector<piece> read_all(const std::string& content, std::size_t limit) {
    std::FILE* f = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), f);
    std::rewind(f);
    auto r = std::make_unique<text_reader>();
    text_reader_start(*r, f);
    std::vector<piece> out;
    if (limit == 0) {
        std::string line;
        while (text_read_line(*r, line) == TEXT_LINE) out.push_back({line, true});
    } else {
        const char* data = nullptr;
        std::size_t length = 0;
        bool had_end = false;
        while (text_read_piece(*r, limit, data, length, had_end) == TEXT_LINE)
            out.push_back({std::string(data, length), had_end});
    }
    std::fclose(f);
    return out;
}

struct text_case {
    const char* name;
    std::string content;
    std::size_t limit;
    std::vector<piece> lines;
};

TEST(TextMode, ReadsLinesAsWindowsTextModeDoes) {
    const text_case cases[] = {
        {"crlf and lf", "a\r\nb\n", 0, {{"a", true}, {"b", true}}},
        {"lone cr stays", "a\rb\r\n", 0, {{"a\rb", true}}},
        {"cr at the very end", "a\r", 254, {{"a\r", false}}},
        {"cr at the very end, whole lines", "a\r", 0, {{"a\r", true}}},
        {"cr cr lf", "a\r\r\n", 0, {{"a\r", true}}},
        {"no final line end", "abc", 254, {{"abc", false}}},
        {"ctrl-z ends the file", std::string("ab\x1A" "cd\n", 6), 254, {{"ab", false}}},
        {"ctrl-z ends a whole line", std::string("ab\x1A" "cd\n", 6), 0, {{"ab", true}}},
        {"ctrl-z alone", "\x1A\n", 0, {}},
        {"empty file", "", 0, {}},
        {"empty lines", "\n\r\n", 0, {{"", true}, {"", true}}},
        {"nul kept", std::string("a\0b\n", 4), 0, {{std::string("a\0b", 3), true}}},
        {"pieces of the limit", "abcdefgh\n", 4, {{"abcd", false}, {"efgh", false}, {"", true}}},
        {"line end counts", "abc\nd", 4, {{"abc", true}, {"d", false}}},
        {"crlf counts as one", "abc\r\n", 4, {{"abc", true}}},
        {"cr at the limit", "abc\rx\n", 4, {{"abc\r", false}, {"x", true}}},
    };
    for (const text_case& c : cases) EXPECT_EQ(read_all(c.content, c.limit), c.lines) << c.name;
}

TEST(TextMode, CrLfAcrossABlockEdgeIsOneLineEnd) {
    const std::size_t block = sizeof(text_reader::buf);
    std::string a(block - 1, 'x');
    EXPECT_EQ(read_all(a + "\r\ny", 0), (std::vector<piece>{{a, true}, {"y", true}}));
    EXPECT_EQ(read_all(a + "\ry", 0), (std::vector<piece>{{a + "\ry", true}}));
    std::string b(3 * block + 17, 'z');
    EXPECT_EQ(read_all(b + "\n", 0), (std::vector<piece>{{b, true}}));
}

TEST(TextMode, ALongLineComesInPiecesOf254) {
    std::string line(300, 'q');
    auto got = read_all(line + "\r\n", 254);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].text.size(), 254u);
    EXPECT_EQ(got[1].text.size(), 46u);
    EXPECT_TRUE(got[1].had_end);
}

TEST(TextMode, AReadErrorIsNotEndOfFile) {
    std::string dir = make_scratch_dir();
    std::FILE* f = std::fopen(dir.c_str(), "rb");
    // POSIX opens a directory and fails to read it; Windows does not open it.
    if (!f) GTEST_SKIP() << "a folder cannot be opened as a file here";
    auto r = std::make_unique<text_reader>();
    text_reader_start(*r, f);
    std::string line;
    EXPECT_EQ(text_read_line(*r, line), TEXT_FAILED);
    EXPECT_EQ(r->error, EISDIR);
    std::fclose(f);
}

TEST(TextMode, TellsWhereACtrlZEndedTheFile) {
    const std::size_t block = sizeof(text_reader::buf);
    for (std::size_t at : {std::size_t(0), std::size_t(5), block - 1, block, 3 * block + 7}) {
        const std::string content = std::string(at, 'x') + "\x1A" + "after\x1A";
        std::FILE* f = std::tmpfile();
        std::fwrite(content.data(), 1, content.size(), f);
        std::rewind(f);
        auto r = std::make_unique<text_reader>();
        text_reader_start(*r, f);
        const char* data = nullptr;
        std::size_t length = 0, total = 0;
        bool had_end = false;
        while (text_read_piece(*r, 254, data, length, had_end) == TEXT_LINE) total += length;
        std::fclose(f);
        EXPECT_EQ(total, at);
        EXPECT_TRUE(r->ctrl_z) << at;
        EXPECT_EQ(r->ctrl_z_at, at);
    }
}

TEST(TextMode, WritesCrLf) {
    std::string out;
    text_append_line(out, "volts");
    text_append_line(out, "");
    EXPECT_EQ(out, "volts\r\n\r\n");
}

}  // namespace
