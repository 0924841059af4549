// The data-file search, the tolerance match and the number token check.
#include "lookup/search.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

TEST(Tolerance, IsARelativeOneEMinus11BothSidesInclusive) {
    const double inf = HUGE_VAL;
    struct tol_case {
        double value, nominal;
        int in;
    };
    const tol_case cases[] = {
        {10.0000000001, 10.00000000009, 1}, {10.0000000001, 10.001, 0},
        {10, 10, 1},                        {10 + 10 * 1e-11, 10, 1},
        {10 + 10 * 2e-11, 10, 0},           {10 - 10 * 1e-11, 10, 1},
        {10 - 10 * 2e-11, 10, 0},           {-10, -10, 1},
        {-10.0000000001, -10.00000000009, 1}, {0, 0, 1},
        {-0.0, 0, 1},                       {1e-300, 0, 0},
        {5, inf, 1},                        {-5, inf, 1},
        {inf, inf, 1},                      {5, -inf, 0},
        {-inf, -inf, 0},                    {NAN, 10, 0},
    };
    for (const tol_case& c : cases)
        EXPECT_EQ(in_tolerance(c.value, c.nominal, c.nominal), c.in) << c.value << " " << c.nominal;
}

TEST(Tokens, CutAtSpacesCommasTabsAndLineEnds) {
    const char* line = " ,AB12\t10,,10.5 \r\n extra";
    const char* p = line;
    const char* end = line + std::strlen(line);
    std::vector<std::string> got;
    std::size_t n = 0;
    while (const char* t = next_data_token(p, end, n)) got.emplace_back(t, n);
    EXPECT_EQ(got, (std::vector<std::string>{"AB12", "10", "10.5", "extra"}));
}

// The cells a lookup reads: a decimal comma or thousands separator keeps a
// nominal or value whole on a line whose cells are separated by blanks or
// tabs; everywhere else a comma cuts as always.
TEST(Cells, ADecimalCommaJoinsOnlyWhereBlanksSeparateTheCells) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"A7 10 10,00013", {"A7", "10", "10,00013"}},
        {"A7\t10\t10,00013\r", {"A7", "10", "10,00013"}},
        {"AB12, 0,5, 0,50011", {"AB12", "0,5", "0,50011"}},
        {"R1 1,000 1000.4", {"R1", "1,000", "1000.4"}},
        {"R1 1 1,000,000 x", {"R1", "1", "1,000,000", "x"}},
        {"A7 -0,5 1,5V", {"A7", "-0,5", "1,5V"}},
        {"A7 10 10,5,calibrated", {"A7", "10", "10,5", "calibrated"}},
        {"A7 10 10,5V", {"A7", "10", "10,5V"}},
        {"A7 10 10,5V2", {"A7", "10", "10,5V2"}},
        // The group after the comma goes on as a number does: a fraction,
        // an exponent, further groups, in any place a blank run reaches.
        {"R5\t2000\t2,000.75", {"R5", "2000", "2,000.75"}},
        {"B3\t10\t1,00027E+01\tcal", {"B3", "10", "1,00027E+01", "cal"}},
        {"B4 10 5,5e3", {"B4", "10", "5,5e3"}},
        {"B4 10 -5,5D-3", {"B4", "10", "-5,5D-3"}},
        {"R7 1 1,000,000.2", {"R7", "1", "1,000,000.2"}},
        {"R7 \t2,000.5\t 2000.5", {"R7", "2,000.5", "2000.5"}},
        {"R7 0,5e1 5,0e0 x", {"R7", "0,5e1", "5,0e0", "x"}},
        {"A7 10 10,-5", {"A7", "10", "10", "-5"}},
        {"A7 10 10,.5", {"A7", "10", "10", ".5"}},
        {"A7 10 10,e5", {"A7", "10", "10", "e5"}},
        // Cut as documented: commas alone, a decimal point, a blank at the comma.
        {"AB12,10,10.02,calibrated 2026", {"AB12", "10", "10.02", "calibrated", "2026"}},
        {"AB12,10,10,3", {"AB12", "10", "10", "3"}},
        {"AB12 10,10.02", {"AB12", "10", "10.02"}},
        {"AB12 10,10", {"AB12", "10", "10"}},  // a nominal joins only when a value follows
        {"AB12 10,10,5", {"AB12", "10", "10", "5"}},
        {"AB12 10 10.02,2026", {"AB12", "10", "10.02", "2026"}},
        {"AB12 10 10 ,5", {"AB12", "10", "10", "5"}},
        {"AB12 10 10, 5", {"AB12", "10", "10", "5"}},
        {"AB12 10 10,,5", {"AB12", "10", "10", "5"}},
        {"AB12 10 10,x5", {"AB12", "10", "10", "x5"}},
        {"AB12,10 10,5", {"AB12", "10", "10", "5"}},
        {"AB12 10 9 8,5", {"AB12", "10", "9", "8", "5"}},
        {"1,000 10 10", {"1", "000", "10", "10"}},  // the asset is never joined
        {"AB12 +,5 1", {"AB12", "+", "5", "1"}},
    };
    for (const auto& c : cases) {
        data_cells cells = data_cells_of(c.first, c.first + std::strlen(c.first));
        std::vector<std::string> got;
        std::size_t n = 0;
        while (const char* t = next_data_cell(cells, n)) got.emplace_back(t, n);
        EXPECT_EQ(got, c.second) << c.first;
    }
}

TEST(Numbers, AnEmptyTokenIsNotANumber) {
    double value = 7;
    EXPECT_EQ(nr3_value("", 0, value), 0);
    EXPECT_EQ(value, 0);
    // The length decides, not the text behind it.
    EXPECT_EQ(nr3_value("5", 0, value), 0);
    EXPECT_EQ(nr3_value("5", 1, value), 1);
    EXPECT_EQ(value, 5);
}

TEST(Tokens, AssetIgnoresAsciiCaseOnly) {
    EXPECT_EQ(same_asset("AB12", 4, "ab12"), 1);
    EXPECT_EQ(same_asset("AB12", 4, "AB1"), 0);
    EXPECT_EQ(same_asset("AB1", 3, "AB12"), 0);
    EXPECT_EQ(same_asset("\xC4" "1", 2, "\xE4" "1"), 0);
}

struct search_case {
    const char* name;
    std::string data;
    const char* asset;
    double nominal;
    int outcome;
    double mem;
    std::vector<std::string> texts;  // the boxes shown, in order
};

// The search as tallix makes it: failures told to the operator through
// report_error, which saves the registers first.
int ask_operator(void*, const std::string& text, int retryable, const char* ini_path, register_set& rs) {
    return report_error(text, retryable, ini_path, rs);
}

int search_as_tallix(const char* data_path, std::FILE* f, const char* asset, double nominal, const char* ini_path,
                     register_set& rs, search_stop& stop) {
    search_request q;
    q.data_path = data_path;
    q.file = f;
    q.asset = asset;
    q.nominal = nominal;
    q.ini_path = ini_path;
    q.report = ask_operator;
    return search_data_file(q, rs, stop);
}

struct SearchTest : ::testing::Test {
    std::string dir = make_scratch_dir();
    std::string ini = write_host_ini(dir);

    void run(const search_case& c) {
        box_script boxes({OUTCOME_GIVE_UP});
        write_file(dir + "/dosdose.dat", standard_dose("3", "1", "x"));
        write_file(dir + "/refs.dat", c.data);
        register_set rs;
        ASSERT_EQ(get_dose(ini.c_str(), rs, 0), 1);
        std::FILE* f = std::fopen((dir + "/refs.dat").c_str(), "rb");
        search_stop stop;
        int outcome = search_as_tallix("refs.dat", f, c.asset, c.nominal, ini.c_str(), rs, stop);
        std::fclose(f);
        EXPECT_EQ(outcome, c.outcome) << c.name;
        EXPECT_EQ(rs.MEM, c.mem) << c.name;
        std::vector<std::string> texts;
        for (const shown_box& b : boxes.shown) texts.push_back(b.text);
        EXPECT_EQ(texts, c.texts) << c.name;
    }
};

TEST_F(SearchTest, FindsTheFirstMatchingLine) {
    const std::string invalid = " contains an invalid NR3 number.";
    const search_case cases[] = {
        {"case ignored", "AB12 10 10.02\n", "ab12", 10, 1, 10.02, {}},
        {"within 1e-11", "AB12,10,10.0000000001\n", "AB12", 10.00000000009, 1, 10.0000000001, {}},
        {"commas and tabs", "A7\t,10 , 10.00013\r\n", "A7", 10, 1, 10.00013, {}},
        {"first match wins", "AB12 10 1\nAB12 10 2\n", "AB12", 10, 1, 1, {}},
        {"other nominal first", "AB12 5 5.01\nAB12 10 10.02\n", "AB12", 10, 1, 10.02, {}},
        {"other assets skipped whatever they hold", "X1 ten zz\n\n  \nAB12 10 4\n", "AB12", 10, 1, 4, {}},
        {"exponent forms", "AB12 1.0D3 7\n", "AB12", 1e3, 1, 7, {}},
        {"infinite nominal takes the first line", "AB12 5 6\n", "AB12", HUGE_VAL, 1, 6, {}},
        {"line without nominal skipped", "AB12\nAB12 10 9\n", "AB12", 10, 1, 9, {}},
        {"value may be infinite", "AB12 10 1e999\n", "AB12", 10, 1, HUGE_VAL, {}},
        {"extra tokens ignored", "AB12 10 9 junk more\n", "AB12", 10, 1, 9, {}},
        {"invalid nominal stops the search", "AB12 ten 10.02\nAB12 10 10.02\n", "AB12", 10, 2, 0,
         {"\"ten\"" + invalid}},
        {"invalid nominal of another value stops it too", "AB12 5x 1\nAB12 10 2\n", "AB12", 10, 2,
         5, {"\"5x\"" + invalid}},
        {"invalid value", "AB12 10 10.02V\n", "AB12", 10, 2, 10.02, {"\"10.02V\"" + invalid}},
        {"no value", "AB12 10\n", "AB12", 10, 2, 10, {"Can't get value."}},
        {"no match keeps the last nominal", "AB12 5 5.01\n", "AB12", 10, 2, 5,
         {"No value found for AB12 at 10 in file:  \"refs.dat\""}},
        {"no line for the asset keeps MEM", "X 10 1\n", "AB12", 10, 2, 3,
         {"No value found for AB12 at 10 in file:  \"refs.dat\""}},
        {"minus infinity matches nothing", "AB12 5 6\n", "AB12", -HUGE_VAL, 2, 5,
         {"No value found for AB12 at -1.#INF in file:  \"refs.dat\""}},
        {"nothing after ctrl-z", "X 1 1\n\x1A" "AB12 10 1\n", "AB12", 10, 2, 3,
         {"No value found for AB12 at 10 in file:  \"refs.dat\""}},
        {"a nul ends the line", std::string("AB12 10\0 5\nAB12 10 6\n", 21), "AB12", 10, 2, 10,
         {"Can't get value."}},
        // Decimal commas and thousands separators on a line of blank-separated
        // cells: reported, never read as the whole number before the comma.
        {"decimal comma in the value", "A7 10 10,00013\n", "A7", 10, 2, 10,
         {"\"10,00013\"" + invalid}},
        {"decimal comma in the nominal", "AB12, 0,5, 0,50011\n", "AB12", 0, 2, 0, {"\"0,5\"" + invalid}},
        {"thousands separator in the nominal", "R1 1,000 1000.4\n", "R1", 1, 2, 1,
         {"\"1,000\"" + invalid}},
        {"a decimal-comma nominal stops every lookup of the asset", "A7 1,5 1.5\nA7 10 10.02\n", "A7", 10, 2,
         1, {"\"1,5\"" + invalid}},
        {"commas alone still cut", "AB12,10,10,3\n", "AB12", 10, 1, 10, {}},
        {"a decimal point before a comma still cuts", "AB12 10 10.02,2026\n", "AB12", 10, 1, 10.02, {}},
        {"empty file", "", "AB12", 0.5, 2, 3,
         {"No value found for AB12 at 0.5 in file:  \"refs.dat\""}},
    };
    for (const search_case& c : cases) run(c);
}

TEST_F(SearchTest, ALongLineIsSearchedInPiecesOf254) {
    // The tail of a 300-character line is a line of its own.
    std::string tail = "AB12 10 7.5";
    std::string head = "X" + std::string(253, ' ');
    std::string filler(300 - 254 - tail.size(), ' ');
    run({"piece", head + filler + tail + "\r\n", "AB12", 10, 1, 7.5, {}});
    // A value or nominal that a piece's end cuts is told, not read; the
    // piece after it, begun inside that token, is no line.
    const std::string cut = "\" is cut at column 254: data lines are read in pieces of 254 characters.";
    std::string line = "AB12 10 " + std::string(300, '9');
    run({"cut value", line + "\n", "AB12", 10, 2, 10, {"\"" + std::string(246, '9') + cut}});
    const std::string pad(254 - 12, ' ');
    run({"cut nominal", "AB12" + pad + "10.000013 7\n", "AB12", 10, 2, 3, {"\"10.00001" + cut}});
    run({"cut value, nominal of another", "AB12 5" + pad + "  10.25 x\nAB12 10 1\n", "AB12", 10, 1, 1, {}});
    run({"cut asset", "Y" + std::string(252, ' ') + "2AB12 10 3\r\nAB12 10 4\r\n", "AB12", 10, 1, 4, {}});
    run({"cut asset, CR-only", "Y" + std::string(252, '\r') + "2AB12\r10\r3\r", "AB12", 10, 2, 3,
         {"No value found for AB12 at 10 in file:  \"refs.dat\""}});
    // A token that ends at column 254 with a delimiter or the line's end
    // after it is whole.
    run({"whole value at the cut", "AB12 10" + std::string(254 - 12, ' ') + "10.25 x\n", "AB12", 10, 1, 10.25, {}});
    run({"value ends the line", "AB12 10" + std::string(254 - 12, ' ') + "10.25\n", "AB12", 10, 1, 10.25, {}});
    run({"value ends the file", "AB12 10" + std::string(254 - 12, ' ') + "10.25", "AB12", 10, 1, 10.25, {}});
}

TEST_F(SearchTest, AReadErrorIsToldLikeAFailedOpen) {
    box_script boxes({OUTCOME_GIVE_UP});
    write_file(dir + "/dosdose.dat", standard_dose("3", "1", "x"));
    register_set rs;
    ASSERT_EQ(get_dose(ini.c_str(), rs, 0), 1);
    std::FILE* f = std::fopen(dir.c_str(), "rb");
    if (!f) GTEST_SKIP() << "a folder cannot be opened as a file here";
    search_stop stop;
    EXPECT_EQ(search_as_tallix("refs", f, "AB12", 10, ini.c_str(), rs, stop), OUTCOME_GIVE_UP);
    std::fclose(f);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Can't open \"refs\".  errno = 21.");
    EXPECT_EQ(boxes.shown[0].style, 0x2035u);
}

TEST_F(SearchTest, TheReportSavesTheRegistersBeforeItAsks) {
    box_script boxes({OUTCOME_RETRY});
    write_file(dir + "/dosdose.dat", standard_dose("3", "1", "x"));
    register_set rs;
    ASSERT_EQ(get_dose(ini.c_str(), rs, 0), 1);
    rs.MEM1 = -1;
    EXPECT_EQ(report_error("Can't get value.", 1, ini.c_str(), rs), OUTCOME_RETRY);
    EXPECT_EQ(read_file(dir + "/dosdose.dat"), standard_dose("3", "-1", "x"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "TALLIX Error");
    EXPECT_EQ(boxes.shown[0].style, 0x2035u);
}

TEST_F(SearchTest, AFailedSaveGivesUpWithoutAsking) {
    box_script boxes({OUTCOME_FOUND, OUTCOME_FOUND});
    register_set rs;
    write_file(ini, "[Startup]\nprocdir=p\nuser_data_dir=" + dir + "/gone\n");
    EXPECT_EQ(report_error("Can't get value.", 1, ini.c_str(), rs), OUTCOME_GIVE_UP);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].caption, "Error");
    EXPECT_EQ(boxes.shown[1].text, "Function <put_dose> failed!");
    EXPECT_EQ(boxes.shown[1].caption, "TALLIX Error");
    EXPECT_EQ(boxes.shown[1].style, 0x2010u);
}

TEST_F(SearchTest, TellsWhereItStopped) {
    struct stop_case {
        std::string data;
        long line, piece;
        std::string text;
    };
    const std::string long_line = "X" + std::string(300, ' ') + "AB12 10 3";
    const stop_case cases[] = {
        {"X 1 1\r\n\r\nAB12 10 2\r\n", 3, 1, "AB12 10 2"},
        {long_line + "\nAB12 10 4\n", 1, 2, long_line.substr(254)},
        {"AB12 5 1\nAB12 1x 1\n", 2, 1, "AB12 1x 1"},
        {"AB12 10\n", 1, 1, "AB12 10"},
        {"AB12 5 1\n", 0, 0, ""},
    };
    for (const stop_case& c : cases) {
        box_script boxes;
        write_file(dir + "/dosdose.dat", standard_dose("3", "1", "x"));
        write_file(dir + "/refs.dat", c.data);
        register_set rs;
        ASSERT_EQ(get_dose(ini.c_str(), rs, 0), 1);
        std::FILE* f = std::fopen((dir + "/refs.dat").c_str(), "rb");
        search_stop stop;
        search_as_tallix("refs.dat", f, "AB12", 10, ini.c_str(), rs, stop);
        std::fclose(f);
        EXPECT_EQ(stop.line, c.line) << c.data;
        EXPECT_EQ(stop.piece, c.piece) << c.data;
        EXPECT_EQ(stop.text, c.text) << c.data;
    }
}

TEST(OpenFailure, NamesTheReasonByErrorNumber) {
    const std::pair<int, const char*> cases[] = {
        {2, "No such file or directory."}, {9, "Bad file number."},
        {12, "Not enough memory."},        {13, "Permission denied."},
        {24, "Too many files open."},      {21, "errno = 21."},
        {0, "errno = 0."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(open_failure_text("d.dat", c.first), std::string("Can't open \"d.dat\".  ") + c.second);
}

}  // namespace
