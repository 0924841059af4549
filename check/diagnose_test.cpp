// The checks of one data file: each kind of problem at its line, with its
// text, and nothing for what a lookup reads without trouble.
#include "check/check.h"
#include "lookup/lookup.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

struct checked {
    int read = 0;
    int error_number = 0;
    std::string out;
    check_totals totals;
};

checked check_text(const std::string& data) {
    static const std::string dir = make_scratch_dir();  // one folder for all cases
    write_file(dir + "/refs.dat", data);
    checked c;
    std::FILE* f = std::fopen((dir + "/refs.dat").c_str(), "rb");
    if (!f) return c;
    c.read = check_data_file("refs.dat", f, c.out, c.totals, c.error_number);
    std::fclose(f);
    return c;
}

struct diag_case {
    const char* name;
    std::string data;
    std::string out;
    long lines, assets, nominals, errors, warnings;
};

const std::string STOPS = " that reaches this line stops here\n";

void run_cases(const std::vector<diag_case>& cases) {
    for (const diag_case& d : cases) {
        const checked c = check_text(d.data);
        EXPECT_EQ(c.read, 1) << d.name;
        EXPECT_EQ(c.out, d.out) << d.name;
        EXPECT_EQ(c.totals.lines, d.lines) << d.name;
        EXPECT_EQ(c.totals.assets, d.assets) << d.name;
        EXPECT_EQ(c.totals.nominals, d.nominals) << d.name;
        EXPECT_EQ(c.totals.errors, d.errors) << d.name;
        EXPECT_EQ(c.totals.warnings, d.warnings) << d.name;
    }
}

TEST(CheckDataFile, CleanFilesSayNothing) {
    run_cases({
        {"the sample", "A7 10 10.00013\r\nAB12 5 5.01\r\nAB12 10 10.02\r\n", "", 3, 2, 3, 0, 0},
        {"empty", "", "", 0, 0, 0, 0, 0},
        {"blank lines and lone tokens", "\r\n   \r\nAB12\r\n,,\r\n", "", 4, 0, 0, 0, 0},
        {"no final line end", "AB12 10 1", "", 1, 1, 1, 0, 0},
        {"a lone CR is a delimiter", "AB12\r10\r5\r\r\n", "", 1, 1, 1, 0, 0},
        {"nominals outside the tolerance", "AB12 10 1\nAB12 10.001 2\nAB12 10.0000000003 3\n", "",
         3, 1, 3, 0, 0},
        {"same nominal, other asset", "AB12 10 1\nAB13 10 2\n", "", 2, 2, 2, 0, 0},
        {"exactly 254 characters", "AB12 10 1" + std::string(245, ' ') + "\nX 1 1\n", "", 2, 2, 2,
         0, 0},
        {"253 characters and CR LF", "AB12 10 1" + std::string(244, ' ') + "\r\nX 1 1\r\n", "", 2,
         2, 2, 0, 0},
        {"Ctrl-Z at the very end", "AB12 10 1\r\n\x1A", "", 1, 1, 1, 0, 0},
        {"only blanks after a Ctrl-Z", "AB12 10 1\r\n\x1A\r\n \x1A", "", 1, 1, 1, 0, 0},
        {"extra tokens ignored", "AB12 10 1 volts ten\n", "", 1, 1, 1, 0, 0},
    });
}

TEST(CheckDataFile, NumbersThatStopALookup) {
    run_cases({
        {"nominal not a number", "AB12 5 1\nAB12 ten 10.02\nAB12 10 10.02\n",
         "refs.dat:2: error: nominal \"ten\" is not a number; every lookup of AB12" + STOPS, 3, 1, 1,
         1, 0},
        {"a header line is a line for asset Asset", "Asset Nominal Value\nAB12 10 1\n",
         "refs.dat:1: error: nominal \"Nominal\" is not a number; every lookup of Asset" + STOPS, 2,
         2, 1, 1, 0},
        {"no value", "AB12 10\n",
         "refs.dat:1: error: AB12 at 10 has no value; its lookup stops here with \"Can't get "
         "value.\"\n",
         1, 1, 0, 1, 0},
        {"value not a number", "AB12, 10, 10.02V\n",
         "refs.dat:1: error: value \"10.02V\" of AB12 at 10 is not a number\n", 1, 1, 0, 1, 0},
        {"hexadecimal is no number", "AB12 0x10 1\n",
         "refs.dat:1: error: nominal \"0x10\" is not a number; every lookup of AB12" + STOPS, 1, 1,
         0, 1, 0},
        {"other assets' lines are not judged further", "X ten\nAB12 10 1\n",
         "refs.dat:1: error: nominal \"ten\" is not a number; every lookup of X" + STOPS, 2, 2, 1,
         1, 0},
    });
}

TEST(CheckDataFile, LinesThatCanNeverBeFound) {
    const std::string never = " can never be found: a lookup of ";
    const std::string hidden = " is hidden: a lookup of ";
    run_cases({
        {"duplicate, case ignored", "AB12 10 1\nab12 10 2\n",
         "refs.dat:2: warning: ab12 at 10" + never + "ab12 at 10 takes line 1 (nominal 10) first\n",
         2, 1, 1, 0, 1},
        {"within the tolerance", "AB12 10 1\nAB12 10.0000000001 2\n",
         "refs.dat:2: warning: AB12 at 10.0000000001" + hidden +
             "AB12 at 10.0000000001 takes line 1 (nominal 10) first\n",
         2, 1, 1, 0, 1},
        {"the earliest of several is named",
         "AB12 10.00000000001 1\nAB12 10 2\nAB12 9.99999999999 3\n",
         "refs.dat:2: warning: AB12 at 10" + hidden +
             "AB12 at 10 takes line 1 (nominal 10.00000000001) first\n"
             "refs.dat:3: warning: AB12 at 9.99999999999" + hidden +
             "AB12 at 9.99999999999 takes line 1 (nominal 10.00000000001) first\n",
         3, 1, 1, 0, 2},
        {"an equal line after a nearby one: never found",
         "AB12 10.0000000001 1\nAB12 10 2\nAB12 10.000 3\n",
         "refs.dat:2: warning: AB12 at 10" + hidden +
             "AB12 at 10 takes line 1 (nominal 10.0000000001) first\n"
             "refs.dat:3: warning: AB12 at 10.000" + never +
             "AB12 at 10.000 takes line 1 (nominal 10.0000000001) first\n",
         3, 1, 1, 0, 2},
        {"written otherwise", "AB12 1000 1\nAB12 1.0D3 2\n",
         "refs.dat:2: warning: AB12 at 1.0D3" + never +
             "AB12 at 1.0D3 takes line 1 (nominal 1000) first\n",
         2, 1, 1, 0, 1},
        {"zero and minus zero", "AB12 0 1\nAB12 -0 2\n",
         "refs.dat:2: warning: AB12 at -0" + never + "AB12 at -0 takes line 1 (nominal 0) first\n",
         2, 1, 1, 0, 1},
        {"infinity is taken by the first line", "AB12 5 1\nAB12 1e999 2\n",
         "refs.dat:2: warning: AB12 at 1e999" + never +
             "AB12 at 1e999 takes line 1 (nominal 5) first\n",
         2, 1, 1, 0, 1},
        {"minus infinity by none",
         "AB12 -1e999 2\n",
         "refs.dat:1: warning: AB12 at -1e999 can never be found: no lookup matches a nominal of "
         "minus infinity\n",
         1, 1, 0, 0, 1},
        {"a broken line shadows its correction", "AB12 10 10.02V\nAB12 10 10.02\n",
         "refs.dat:1: error: value \"10.02V\" of AB12 at 10 is not a number\n"
         "refs.dat:2: warning: AB12 at 10" + never + "AB12 at 10 takes line 1 (nominal 10) first\n",
         2, 1, 0, 1, 1},
    });
}

TEST(CheckDataFile, LongLinesAreReadInPieces) {
    const std::string head = "X" + std::string(253, ' ');
    run_cases({
        {"a piece read as a line", head + std::string(35, ' ') + "Z9 3 3.5\r\nZ9 4 4\r\n",
         "refs.dat:1: warning: line of 297 characters is read in pieces of 254: piece 2 starts at "
         "column 255 and is read as a line for asset Z9\n",
         2, 1, 2, 0, 1},
        {"one character over", "AB12 10 1" + std::string(245, ' ') + "5\n",
         "refs.dat:1: warning: line of 255 characters is read in pieces of 254: piece 2 starts at "
         "column 255 and is not read as a line for any asset\n",
         1, 1, 1, 0, 1},
        {"pieces that are no lines go together", "X" + std::string(800, ' ') + "\n",
         "refs.dat:1: warning: line of 801 characters is read in pieces of 254: pieces 2 to 4 "
         "start at columns 255 to 763 and are not read as lines for any asset\n",
         1, 0, 0, 0, 1},
        {"a piece's problem comes after the warning", head + "AB12 ten 1\n",
         "refs.dat:1: warning: line of 264 characters is read in pieces of 254: piece 2 starts at "
         "column 255 and is read as a line for asset AB12\n"
         "refs.dat:1: error: nominal \"ten\" is not a number; every lookup of AB12 that reaches "
         "this line stops here (in piece 2, from column 255)\n",
         1, 1, 0, 1, 1},
        {"the line number counts lines, not pieces", "A 1 1\n" + head + head + "\nAB12 10\n",
         "refs.dat:2: warning: line of 508 characters is read in pieces of 254: piece 2 starts at "
         "column 255 and is not read as a line for any asset\n"
         "refs.dat:3: error: AB12 at 10 has no value; its lookup stops here with \"Can't get "
         "value.\"\n",
         3, 2, 1, 1, 1},
    });
}

TEST(CheckDataFile, WhatIsNeverRead) {
    run_cases({
        {"Ctrl-Z inside a line", "A7 10 1\r\nAB\x1A" "12 10 2\r\n",
         "refs.dat:2: warning: Ctrl-Z at column 3 ends the file; the 9 bytes after it are never "
         "read\n",
         2, 1, 1, 0, 1},
        {"Ctrl-Z at the start of a line", "A7 10 1\r\n\x1A" "AB12 10 2\r\n",
         "refs.dat:2: warning: Ctrl-Z at column 1 ends the file; the 11 bytes after it are never "
         "read\n",
         1, 1, 1, 0, 1},
        {"lines after a Ctrl-Z are not judged", "A7 10 1\n\x1A\nAB12 ten\n",
         "refs.dat:2: warning: Ctrl-Z at column 1 ends the file; the 10 bytes after it are never "
         "read\n",
         1, 1, 1, 0, 1},
        {"a NUL ends what a line says", std::string("AB12 10\0 5\n", 11),
         "refs.dat:1: warning: a NUL character at column 8 ends the line; the text after it is "
         "never read\n"
         "refs.dat:1: error: AB12 at 10 has no value; its lookup stops here with \"Can't get "
         "value.\"\n",
         1, 1, 0, 1, 1},
        {"a NUL before line end only", std::string("AB12 10 5\0 \n", 12), "", 1, 1, 1, 0, 0},
    });
}

TEST(CheckDataFile, AReadErrorIsReturned) {
    const std::string dir = make_scratch_dir();
    std::FILE* f = std::fopen(dir.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string out;
    check_totals totals;
    int error_number = 0;
    EXPECT_EQ(check_data_file("refs", f, out, totals, error_number), 0);
    std::fclose(f);
    EXPECT_EQ(error_number, 21);
    EXPECT_EQ(out, "");
}

TEST(CheckDataFile, ManyNominalsOfOneAsset) {
    // Among thousands of nominals of one asset only the planted
    // duplicates are told, each naming the line a lookup takes.
    std::string data;
    for (int i = 1; i <= 20000; ++i) data += "AB12 " + std::to_string(i) + " 1\n";
    data += "AB12 777 2\nAB12 19999.0000000001 3\n";
    const checked c = check_text(data);
    EXPECT_EQ(c.out,
              "refs.dat:20001: warning: AB12 at 777 can never be found: a lookup of AB12 at 777 "
              "takes line 777 (nominal 777) first\n"
              "refs.dat:20002: warning: AB12 at 19999.0000000001 is hidden: a lookup of "
              "AB12 at 19999.0000000001 takes line 19999 (nominal 19999) first\n");
    EXPECT_EQ(c.totals.nominals, 20000);
}

TEST(Summary, CountsWithTheirNouns) {
    std::string out;
    check_totals t;
    t.lines = 1;
    t.assets = 2;
    t.nominals = 0;
    t.errors = 1;
    t.warnings = 3;
    append_summary(out, "refs.dat", t);
    EXPECT_EQ(out, "refs.dat: 1 line, 2 assets, 0 nominals, 1 error, 3 warnings\n");
}

}  // namespace
