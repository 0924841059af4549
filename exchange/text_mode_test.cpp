// Text mode: the piece reader and the whole-line reader against a plain
// model that walks the characters one by one (the same pieces, line ends and
// failures, at block edges, Ctrl-Z and read errors), with the pieces written
// out where a reading is worth seeing; where a Ctrl-Z ended the file; how a
// line is written.
#include "exchange/text_mode.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>


namespace {

constexpr std::size_t BLOCK = sizeof(text_reader::buf);

struct piece {
    std::string text;
    bool had_end;
    bool operator==(const piece& o) const { return text == o.text && had_end == o.had_end; }
};

std::ostream& operator<<(std::ostream& os, const piece& p) {
    return os << '[' << p.text.size() << ':' << p.text.substr(0, 40) << (p.had_end ? "|end]" : "]");
}

// What a reader gave: its pieces and how it finished.
struct reading {
    std::vector<piece> pieces;
    text_read_result last;
    int error;
    bool operator==(const reading& o) const {
        return pieces == o.pieces && last == o.last && error == o.error;
    }
};

std::ostream& operator<<(std::ostream& os, const reading& r) {
    os << r.pieces.size() << " pieces, last " << r.last << " errno " << r.error << ':';
    for (const piece& p : r.pieces) os << ' ' << p;
    return os;
}

// Text mode character by character: a Ctrl-Z ends the file, CR LF is one
// line end, a lone CR stays, a piece is at most `limit` characters with the
// line end counting as one. A read error at `fail_at` comes after every
// piece that the characters before it decide.
reading read_with_lines(const std::string& all, std::size_t limit, std::size_t fail_at) {
    const std::size_t z = all.find('\x1A');
    const bool fails = fail_at != std::size_t(-1) && (z == std::string::npos || fail_at <= z);
    const std::string content = z == std::string::npos || fails ? all : all.substr(0, z);
    reading out;
    std::size_t pos = 0;
    for (;;) {
        std::string text;
        bool had_end = false;
        std::size_t p = pos;
        while (text.size() < limit && p < content.size()) {
            const char c = content[p];
            if (c == '\n') {
                ++p;
                had_end = true;
                break;
            }
            if (c == '\r' && p + 1 < content.size() && content[p + 1] == '\n' && text.size() + 1 <= limit) {
                p += 2;
                had_end = true;
                break;
            }
            text += c;
            ++p;
        }
        if (text.empty() && !had_end) break;
        if (fails) {
            // Decided by the characters before the error: a line end, or a
            // full piece whose last character is no CR an LF might join,
            // with nothing more needed to see it.
            const bool decided = p < fail_at || (p == fail_at && (had_end || (text.size() == limit && text.back() != '\r')));
            if (!decided) break;
        }
        out.pieces.push_back({text, had_end});
        pos = p;
    }
    out.last = fails ? TEXT_FAILED : TEXT_END;
    out.error = fails ? EIO : 0;
    return out;
}

reading read_with_pieces(const std::string& content, std::size_t limit, std::size_t fail_at) {
    failing_source s{content, fail_at};
    std::FILE* f = open_failing_source(s);
    auto r = std::make_unique<text_reader>();
    text_reader_start(*r, f);
    reading out;
    const char* data = nullptr;
    std::size_t length = 0;
    bool had_end = false;
    while ((out.last = text_read_piece(*r, limit, data, length, had_end)) == TEXT_LINE)
        out.pieces.push_back({std::string(data, length), had_end});
    out.error = r->error;
    std::fclose(f);
    return out;
}

constexpr std::size_t NEVER = std::size_t(-1);

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


// Every row against the model; where the pieces are written out (`expect`),
// against them too. A limit of 0 reads whole lines (text_read_line), which
// tell no line end: each is taken to have one.
TEST(TextMode, ReadsAsWindowsTextModeDoes) {
    const std::string x(BLOCK - 1, 'x');
    struct piece_case {
        const char* name;
        std::string content;
        std::size_t limit;
        bool written;  // the pieces are written out in `expect`; else the model alone decides
        std::vector<piece> expect;
    };
    const bool model = false;
    const piece_case cases[] = {
        {"crlf and lf", "a\r\nb\n", 254, true, {{"a", true}, {"b", true}}},
        {"lone cr stays", "a\rb\r\n", 254, true, {{"a\rb", true}}},
        {"cr at the very end", "a\r", 254, true, {{"a\r", false}}},
        {"cr cr lf", "a\r\r\n", 254, true, {{"a\r", true}}},
        {"no final line end", "abc", 254, true, {{"abc", false}}},
        {"ctrl-z ends the file", std::string("ab\x1A" "cd\n", 6), 254, true, {{"ab", false}}},
        {"cr before ctrl-z", "ab\r\x1A\n", 254, model, {}},
        {"empty lines", "\n\r\n\n", 254, true, {{"", true}, {"", true}, {"", true}}},
        {"nul kept", std::string("a\0b\n", 4), 254, true, {{std::string("a\0b", 3), true}}},
        {"pieces of the limit", "abcdefgh\n", 4, true, {{"abcd", false}, {"efgh", false}, {"", true}}},
        {"line end counts as one", "abc\nabcd\nabcde\n", 4, model, {}},
        {"crlf counts as one", "abc\r\n", 4, true, {{"abc", true}}},
        {"crlf at the limit", "abc\r\nabcd\r\n", 4, model, {}},
        {"cr at the limit", "abc\rx\n", 4, true, {{"abc\r", false}, {"x", true}}},
        {"limit one", "a\r\n\nbc\r\r\n", 1, model, {}},
        {"crlf across the block edge", x + "\r\ny", 254, model, {}},
        {"lone cr at the block edge", x + "\ry", 254, model, {}},
        {"piece across the block edge", std::string(BLOCK - 100, 'a') + "\n" + std::string(300, 'b') + "\n", 254,
         model, {}},
        {"lines of every length near the limit", std::string(253, 'p') + "\n" + std::string(254, 'q') + "\n" +
             std::string(255, 'r') + "\r\n" + std::string(253, 's') + "\r\n" + std::string(254, 't') + "\r\n",
         254, model, {}},
        {"ctrl-z in a later block", std::string(3 * BLOCK, 'z') + "\n" + "tail\x1A" "more", 254, model, {}},
        {"a line longer than the block", std::string(3 * BLOCK + 17, 'w') + "\n", 254, model, {}},
        {"empty file", "", 254, true, {}},
        // Whole lines.
        {"whole lines: crlf and lf", "a\r\nb\n", 0, true, {{"a", true}, {"b", true}}},
        {"whole lines: cr at the very end", "a\r", 0, true, {{"a\r", true}}},
        {"whole lines: ctrl-z ends a line", std::string("ab\x1A" "cd\n", 6), 0, true, {{"ab", true}}},
        {"whole lines: ctrl-z alone", "\x1A\n", 0, true, {}},
        {"whole lines: empty file", "", 0, true, {}},
        {"whole lines: crlf across the block edge", x + "\r\ny", 0, true, {{x, true}, {"y", true}}},
        {"whole lines: lone cr at the block edge", x + "\ry", 0, true, {{x + "\ry", true}}},
        {"whole lines: longer than the block", std::string(3 * BLOCK + 17, 'w') + "\n", 0, true,
         {{std::string(3 * BLOCK + 17, 'w'), true}}},
    };
    for (const piece_case& c : cases) {
        if (c.limit == 0) {
            EXPECT_EQ(read_all(c.content, 0), c.expect) << c.name;
            continue;
        }
        const reading got = read_with_pieces(c.content, c.limit, NEVER);
        EXPECT_EQ(got, read_with_lines(c.content, c.limit, NEVER)) << c.name;
        if (c.written) {
            EXPECT_EQ(got.pieces, c.expect) << c.name;
        }
    }
}

TEST(TextMode, AReadErrorEndsAsInTheModel) {
    if (!can_fail_reads()) GTEST_SKIP() << "no file here can be made to fail a read";
    // The error comes after the first block, anywhere in a line, at a CR or
    // right after a complete piece.
    std::string content(BLOCK - 5, 'a');
    content += "\r\nbb\r\n" + std::string(600, 'c') + "\r\n";
    for (std::size_t fail_at : {std::size_t(0), BLOCK - 3, BLOCK - 2, BLOCK - 1, BLOCK, BLOCK + 4}) {
        reading pieces = read_with_pieces(content, 254, fail_at);
        EXPECT_EQ(pieces.last, TEXT_FAILED) << fail_at;
        EXPECT_EQ(pieces.error, EIO) << fail_at;
        EXPECT_EQ(pieces, read_with_lines(content, 254, fail_at)) << fail_at;
    }
    // The error comes right after a piece of the full limit: one ending in
    // a CR needs the next character and fails, any other is still given.
    for (char last : {'\r', 'd'}) {
        const std::string full = "L\n" + std::string(253, 'c') + last + "xyz\n";
        reading pieces = read_with_pieces(full, 254, 2 + 254);
        EXPECT_EQ(pieces.pieces.size(), last == '\r' ? 1u : 2u);
        EXPECT_EQ(pieces, read_with_lines(full, 254, 2 + 254)) << int(last);
    }
}

TEST(TextMode, RandomFilesGiveTheSamePieces) {
    const char alphabet[] = {'a', 'b', ' ', ',', '\t', '\r', '\n', '\x1A', '\0'};
    std::mt19937 rng(20261208);
    for (int round = 0; round < 300; ++round) {
        std::string content;
        const std::size_t target = rng() % 4 ? rng() % 2000 : BLOCK + rng() % 2000;
        while (content.size() < target) {
            // Runs of one character make long lines, CR runs and empty lines.
            const char c = alphabet[rng() % (rng() % 4 ? 7 : 9)];
            content.append(rng() % 8 ? 1 : rng() % 300, c);
        }
        const std::size_t limits[] = {1, 2, 3, 4, 254, 255};
        const std::size_t limit = limits[rng() % 6];
        std::size_t fail_at = rng() % 5 ? NEVER : rng() % (content.size() + 1);
        if (!can_fail_reads()) fail_at = NEVER;
        EXPECT_EQ(read_with_pieces(content, limit, fail_at), read_with_lines(content, limit, fail_at))
            << "round " << round << " limit " << limit;
    }
}

// Whole lines are the model's pieces of a line joined, whatever their length.
TEST(TextMode, WholeLinesAreThePiecesJoined) {
    const std::string x(BLOCK - 1, 'x');
    for (const std::string& content : {std::string("a\r\nb\n\r\nc"), x + "\r\ny\r", std::string(3 * BLOCK + 17, 'w') + "\n" + "v",
                                       std::string("ab\r\x1A" "cd\n"), std::string(BLOCK / 2, 'h') + "\r\n"}) {
        std::vector<std::string> lines;
        std::string line;
        for (const piece& p : read_with_lines(content, std::size_t(-1) / 2, NEVER).pieces) {
            line += p.text;
            if (p.had_end) lines.push_back(line), line.clear();
        }
        if (!line.empty()) lines.push_back(line);
        failing_source s{content, NEVER};
        std::FILE* f = open_failing_source(s);
        auto r = std::make_unique<text_reader>();
        text_reader_start(*r, f);
        std::vector<std::string> got;
        while (text_read_line(*r, line) == TEXT_LINE) got.push_back(line);
        std::fclose(f);
        EXPECT_EQ(got, lines) << content.size();
    }
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
