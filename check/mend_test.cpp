// The mend of a data file, piece by piece: numbers as each locale writes
// them and what a cell shows of its decimal mark, the encodings and line
// ends, the lines that are dropped or refused, and tallix-check --fix on
// real files (never over its input, nothing written when refused).
#include "check/check.h"
#include "check/mend.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Text given in Windows-1252 below 0x80 and from 0xA0 on, as characters.
std::u32string u32(const std::string& text) {
    std::u32string out;
    for (char c : text) out += char32_t(static_cast<unsigned char>(c));
    return out;
}

// A number as locales write it, with each kind of separator in each place.
TEST(MendNumber, WritesTheDigitsAsWritten) {
    const struct {
        std::u32string cell;
        decimal_mark mark;
        const char* number;  // nullptr: refused
    } cases[] = {
        {U"10,00013", MARK_COMMA, "10.00013"},
        {U"1.234.567,891", MARK_COMMA, "1234567.891"},
        {U"1.000", MARK_COMMA, "1000"},
        {U"(0,50001)", MARK_COMMA, "-0.50001"},
        {U"\u22122,5", MARK_COMMA, "-2.5"},
        {U"\u20132,5", MARK_COMMA, "-2.5"},
        {U"1,5E\u221203", MARK_COMMA, "1.5E-03"},
        {U"2,50D+2", MARK_COMMA, "2.50D+2"},
        {U"1\u00A0000,5", MARK_COMMA, "1000.5"},
        {U"12\u202F345\u202F678,25", MARK_COMMA, "12345678.25"},
        {U"1\u2009000", MARK_UNKNOWN, "1000"},
        {U"1 000,5", MARK_COMMA, "1000.5"},
        {U"1'000'000.25", MARK_POINT, "1000000.25"},
        {U"1\u2019000.5", MARK_POINT, "1000.5"},
        {U"1,000.5", MARK_POINT, "1000.5"},
        {U"0,000000000001", MARK_UNKNOWN, "0.000000000001"},
        {U"+7,5", MARK_COMMA, "+7.5"},
        {U"1,000", MARK_UNKNOWN, nullptr},
        {U"12.345", MARK_UNKNOWN, nullptr},
        {U"1,5", MARK_POINT, nullptr},
        {U"1.000,5", MARK_POINT, nullptr},
        {U"1.000.5", MARK_COMMA, nullptr},
        {U"1.000 000,5", MARK_COMMA, nullptr},
        {U"12.34,5", MARK_COMMA, nullptr},
        {U"0.500,5", MARK_COMMA, nullptr},
        {U"50,00%", MARK_COMMA, nullptr},
        {U"10,5V", MARK_COMMA, nullptr},
        {U"(-5)", MARK_COMMA, nullptr},
        {U",5", MARK_COMMA, nullptr},
        {U"", MARK_COMMA, nullptr},
        {U"10,0\u00AD013", MARK_COMMA, nullptr},
    };
    for (const auto& c : cases) {
        std::string number, why;
        const int ok = mend_number(c.cell, c.mark, true, number, why);
        SCOPED_TRACE(shown_text(c.cell));
        EXPECT_EQ(ok, c.number ? 1 : 0) << number;
        if (c.number) EXPECT_EQ(number, c.number);
        else EXPECT_FALSE(why.empty());
    }
}

// Where commas part the cells, no comma is taken inside one.
TEST(MendNumber, NoCommaWhereCommasPartCells) {
    for (const char* cell : {"1,000", "10,5", "1,000.5"}) {
        std::string number, why;
        EXPECT_EQ(mend_number(u32(cell), MARK_POINT, false, number, why), 0) << cell;
    }
    std::string number, why;
    EXPECT_EQ(mend_number(U"1\u00A0000.5", MARK_POINT, false, number, why), 1);
    EXPECT_EQ(number, "1000.5");
}

// Digits after the mark decide: a group of three may be thousands, any
// other length, a leading zero or a long first group is a decimal mark.
TEST(MendNumber, DecimalEvidenceFromGroupLengths) {
    for (char mark : {',', '.'}) {
        const decimal_mark own = mark == ',' ? MARK_COMMA : MARK_POINT;
        const decimal_mark other = mark == ',' ? MARK_POINT : MARK_COMMA;
        for (int whole = 1; whole <= 5; ++whole) {
            for (int after = 1; after <= 12; ++after) {
                const std::string first = std::string(std::size_t(whole), '7');
                const std::string cell = first + mark + std::string(std::size_t(after), '3');
                const decimal_mark expected = (after != 3 || whole > 3) ? own : MARK_UNKNOWN;
                EXPECT_EQ(decimal_evidence(u32(cell)), expected) << cell;
                EXPECT_EQ(decimal_evidence(u32("0" + std::string(1, mark) + "333")), own);
                EXPECT_EQ(decimal_evidence(u32("-" + cell)), expected) << cell;
            }
        }
        const std::string twice = std::string("1") + mark + "000" + mark + "000";
        EXPECT_EQ(decimal_evidence(u32(twice)), other) << twice;
        const std::string both = std::string("1") + (mark == ',' ? '.' : ',') + "000" + mark + "000";
        EXPECT_EQ(decimal_evidence(u32(both)), own) << both;
        EXPECT_EQ(decimal_evidence(u32(std::string("1\xA0") + "000" + mark + "000")), own);
    }
    for (const char* none : {"10", "-3", "1E5", "abc", "10,5V", ""}) EXPECT_EQ(decimal_evidence(u32(none)), MARK_UNKNOWN) << none;
}

// Every byte of Windows-1252 reads back as it was; UTF-16 and UTF-8 are
// known with and without a byte order mark.
TEST(MendText, EncodingsReadAndWrittenBack) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += char(b);
    decoded_file f;
    mend_note refusal;
    ASSERT_EQ(decode_file(all, f, refusal), 1);
    EXPECT_EQ(f.encoding, MEND_ANSI);
    std::string back;
    char32_t missing = 0;
    ASSERT_EQ(to_windows_1252(f.text, back, missing), 1);
    EXPECT_EQ(back, all);

    const std::u32string text = U"Pr\u00FCfling\t1\t\u22122,5\r\n";
    std::string le, be, utf8 = "Pr\xC3\xBC" "fling\t1\t\xE2\x88\x92" "2,5\r\n";
    for (char32_t c : text) le += char(c & 0xFF), le += char(c >> 8), be += char(c >> 8), be += char(c & 0xFF);
    const struct {
        std::string bytes;
        mend_encoding encoding;
        bool mark;
    } cases[] = {{"\xFF\xFE" + le, MEND_UTF16LE, true}, {le, MEND_UTF16LE, false}, {"\xFE\xFF" + be, MEND_UTF16BE, true},
                 {be, MEND_UTF16BE, false}, {"\xEF\xBB\xBF" + utf8, MEND_UTF8, true}, {utf8, MEND_UTF8, false}};
    for (const auto& c : cases) {
        ASSERT_EQ(decode_file(c.bytes, f, refusal), 1);
        EXPECT_EQ(f.encoding, c.encoding);
        EXPECT_EQ(f.byte_order_mark, c.mark);
        EXPECT_EQ(f.text, text);
    }
    EXPECT_EQ(to_windows_1252(U"a\u2212", back, missing), 0);
    EXPECT_EQ(missing, char32_t(0x2212));
    EXPECT_EQ(decode_file("\xFF\xFE" "A\0\x00\xDC", f, refusal), 0);
    EXPECT_EQ(decode_file("\xEF\xBB\xBF" "A7\r\nB\xFC", f, refusal), 0);
    EXPECT_EQ(refusal.line, 2);
}

TEST(MendText, LinesEndAtCrLfLfAndCr) {
    const std::vector<text_line> lines = split_lines(U"a\r\nb\nc\rd\r\n\re");
    ASSERT_EQ(lines.size(), 6u);
    const char* texts[] = {"a", "b", "c", "d", "", "e"};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].text, u32(texts[i]));
        EXPECT_EQ(lines[i].number, long(i) + 1);
    }
    EXPECT_FALSE(lines[0].lf_alone);
    EXPECT_TRUE(lines[1].lf_alone);
    EXPECT_EQ(lines[2].ended_by, U'\r');
    EXPECT_EQ(lines[4].ended_by, U'\r');
    EXPECT_EQ(lines[5].ended_by, char32_t(0));
}

}  // namespace
