// The checks of one data file: each kind of problem at its line, with its
// text, and nothing for what a lookup reads without trouble.
#include "check/check.h"
#include "lookup/search.h"
#include "reference_search.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>

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
        {"a lone CR before the line end joins nothing", "AB12 10 5\r\r\n \r\n", "", 2, 1, 1, 0, 0},
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
         "refs.dat:2: error: nominal \"ten\" is not a number; every lookup of AB12" + STOPS +
             "refs.dat:3: warning: AB12 at 10 is never reached: every lookup of AB12 stops at line 2 "
             "(nominal \"ten\" is not a number)\n",
         3, 1, 1, 1, 1},
        {"a nominal that is no number on the first line", "Asset 10V 1\nAB12 10 1\n",
         "refs.dat:1: error: nominal \"10V\" is not a number; every lookup of Asset" + STOPS.substr(0, STOPS.size() - 1) +
             "; a unit glued to the number? write the number alone: 10\n", 2,
         2, 1, 1, 0},
        {"no value", "AB12 10\n",
         "refs.dat:1: error: AB12 at 10 has no value; its lookup stops here with \"Can't get "
         "value.\"\n",
         1, 1, 0, 1, 0},
        {"value not a number", "AB12, 10, 10.02V\n",
         "refs.dat:1: error: value \"10.02V\" of AB12 at 10 is not a number; a unit glued to the number? "
         "write the number alone: 10.02\n", 1, 1, 0, 1, 0},
        {"hexadecimal is no number", "AB12 0x10 1\n",
         "refs.dat:1: error: nominal \"0x10\" is not a number; every lookup of AB12" + STOPS, 1, 1,
         0, 1, 0},
        {"other assets' lines are not judged further", "AB12 10 1\nX ten\n",
         "refs.dat:2: error: nominal \"ten\" is not a number; every lookup of X" + STOPS, 2, 2, 1,
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
         2, 1, 2, 0, 1},
        {"the earliest of several is named",
         "AB12 10.00000000001 1\nAB12 10 2\nAB12 9.99999999999 3\n",
         "refs.dat:2: warning: AB12 at 10" + hidden +
             "AB12 at 10 takes line 1 (nominal 10.00000000001) first\n"
             "refs.dat:3: warning: AB12 at 9.99999999999" + hidden +
             "AB12 at 9.99999999999 takes line 1 (nominal 10.00000000001) first\n",
         3, 1, 3, 0, 2},
        {"an equal line after a nearby one: never found",
         "AB12 10.0000000001 1\nAB12 10 2\nAB12 10.000 3\n",
         "refs.dat:2: warning: AB12 at 10" + hidden +
             "AB12 at 10 takes line 1 (nominal 10.0000000001) first\n"
             "refs.dat:3: warning: AB12 at 10.000" + never +
             "AB12 at 10.000 takes line 1 (nominal 10.0000000001) first\n",
         3, 1, 2, 0, 2},
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
        {"minus infinity first: by the lookup at infinity only", "AB12 -1e999 2\n",
         "refs.dat:1: warning: AB12 at -1e999 is found only by a lookup of AB12 at 1e999, which takes "
         "the first line of the asset with a number; no lookup at its own nominal matches it\n",
         1, 1, 1, 0, 1},
        {"minus infinity after another line", "AB12 5 1\nAB12 -1e999 2\n",
         "refs.dat:2: warning: AB12 at -1e999 can never be found: no lookup matches a nominal of minus "
         "infinity but the one at 1e999, which takes line 1 (nominal 5) first\n",
         2, 1, 1, 0, 1},
        {"its lookup at infinity", "AB12 -1e999\n",
         "refs.dat:1: warning: AB12 at -1e999 is found only by a lookup of AB12 at 1e999, which takes "
         "the first line of the asset with a number; no lookup at its own nominal matches it\n"
         "refs.dat:1: error: AB12 at -1e999 has no value; a lookup at 1e999 stops here with \"Can't get "
         "value.\"\n",
         1, 1, 0, 1, 1},
        {"infinity first is its own lookup", "AB12 1e999 2\nAB12 5 1\n", "", 2, 1, 2, 0, 0},
        // No lookup reaches a line shadowed by an earlier one: what it lacks
        // makes no lookup fail.
        {"a shadowed line without a value", "A7 10 10.5\nA7 10\na7 10.0 10V\n",
         "refs.dat:2: warning: A7 at 10" + never + "A7 at 10 takes line 1 (nominal 10) first\n"
             "refs.dat:3: warning: a7 at 10.0" + never + "a7 at 10.0 takes line 1 (nominal 10) first\n",
         3, 1, 1, 0, 2},
        {"a hidden line without a value fails the lookups that reach it", "A7 10 10.5\nA7 10.0000000001\n",
         "refs.dat:2: warning: A7 at 10.0000000001" + hidden + "A7 at 10.0000000001 takes line 1 (nominal 10) first\n"
             "refs.dat:2: error: A7 at 10.0000000001 has no value; a lookup that reaches it stops here with "
             "\"Can't get value.\"\n",
         2, 1, 1, 1, 1},
        // After an invalid nominal every lookup of the asset stops there.
        {"lines after an invalid nominal are never reached", "A7 ten 1\nA7 10 10.5\nA7 10 11\nA7 eleven\nB2 1 1\n",
         "refs.dat:1: error: nominal \"ten\" is not a number; every lookup of A7" + STOPS +
             "refs.dat:2: warning: A7 at 10 is never reached: every lookup of A7 stops at line 1 (nominal "
             "\"ten\" is not a number)\n"
             "refs.dat:3: warning: A7 at 10 is never reached: every lookup of A7 stops at line 1 (nominal "
             "\"ten\" is not a number)\n"
             "refs.dat:4: warning: nominal \"eleven\" of A7 is never reached: every lookup of A7 stops at "
             "line 1 (nominal \"ten\" is not a number)\n",
         5, 2, 1, 1, 3},
        // Lines 1 and 2 together take every lookup that would match line 3.
        {"covered by two earlier lines", "A1 100 1.5\nA1 99.999999999 2.5\nA1 99.9999999997 3.5\n",
         "refs.dat:2: warning: A1 at 99.999999999" + hidden + "A1 at 99.999999999 takes line 1 (nominal 100) first\n"
             "refs.dat:3: warning: A1 at 99.9999999997" + never +
             "A1 at 99.9999999997 takes line 1 (nominal 100) first\n",
         3, 1, 2, 0, 2},
        {"a broken line shadows its correction", "AB12 10 10.02V\nAB12 10 10.02\n",
         "refs.dat:1: error: value \"10.02V\" of AB12 at 10 is not a number; a unit glued to the number? "
         "write the number alone: 10.02\n"
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

// What spreadsheet programs and editors leave in a data file, told in the
// writer's terms: what a lookup reads and what to write instead.
TEST(CheckDataFile, WhatEditorsLeaveInDataFiles) {
    const std::string stops = " that reaches this line stops here; ";
    const std::string lost = " finds this line; ";
    const std::string utf16 =
        "refs.dat:1: error: the file is UTF-16 text (\"Unicode text\"): tallix reads one byte a character and "
        "finds no line in it; save it as \"Text (Tab delimited)\" (Excel), with the character set \"Western "
        "Europe (Windows-1252)\" (LibreOffice), or with the encoding \"ANSI\" (Notepad)\n";
    auto u16 = [](const std::string& text, bool bom) {
        std::string out = bom ? "\xFF\xFE" : "";
        for (char c : text) out += std::string(1, c) + '\0';
        return out;
    };
    const std::string same = " lines with a nominal look the same: saved with decimal commas and commas between cells? ";
    run_cases({
        {"decimal commas between blank-separated cells", "A7 10 10,00013\r\nA7\t1\t1,000021\r\n",
         "refs.dat:1: error: value \"10,00013\" of A7 at 10 is not a number; it looks like a decimal comma: "
         "write 10.00013\n"
         "refs.dat:2: error: value \"1,000021\" of A7 at 1 is not a number; it looks like a decimal comma: "
         "write 1.000021\n",
         2, 1, 0, 2, 0},
        {"a decimal comma in the nominal", "AB12, 0,5, 0,50011\r\n",
         "refs.dat:1: error: nominal \"0,5\" is not a number; every lookup of AB12" + stops +
             "it looks like a decimal comma: write 0.5\n",
         1, 1, 0, 1, 0},
        {"a thousands separator", "R1 1,000 1000.4\r\nR1 2 1,000,000V\r\n",
         "refs.dat:1: error: nominal \"1,000\" is not a number; every lookup of R1" + stops +
             "it looks like a thousands separator or a decimal comma: write 1000 or 1.000\n"
             "refs.dat:2: warning: R1 at 2 is never reached: every lookup of R1 stops at line 1 (nominal "
             "\"1,000\" is not a number)\n",
         2, 1, 0, 1, 1},
        {"thousands points and a decimal comma", "R2 1.000,5 1000.5\r\nR3 10 1.234,5\r\n",
         "refs.dat:1: error: R2 at 1.000 is read with nominal 1.000 and value 5; \"1.000,5\" looks like a "
         "number with a thousands point and a decimal comma: write 1000.5\n"
         "refs.dat:2: error: R3 at 10 is read with value 1.234; \"1.234,5\" looks like a number with a "
         "thousands point and a decimal comma: write 1234.5\n",
         2, 2, 2, 2, 0},
        {"commas between cells and decimal commas", "A7,10,10,00013\r\nA7,1,1,000021\r\nAB12,0,5,0,50011\r\n",
         "refs.dat:1: error: A7 at 10 is read with value 10 and 1 more number after it, which is ignored; 3 "
         "of the 3" + same + "If the value is 10,00013, write A7 10 10.00013\n"
         "refs.dat:2: error: A7 at 1 is read with value 1 and 1 more number after it, which is ignored; 3 of "
         "the 3" + same + "If the value is 1,000021, write A7 1 1.000021\n"
         "refs.dat:3: error: AB12 at 0 is read with value 5 and 2 more numbers after it, which are ignored; 3 "
         "of the 3" + same + "If the nominal is 0,5 and the value 0,50011, write AB12 0.5 0.50011\n",
         3, 2, 3, 3, 0},
        {"commas between cells and an extra column", "AB12,10,10.02,3\r\nAB12,11,11,3\r\nA7,1,1.5\r\n",
         "", 3, 2, 3, 0, 0},
        {"semicolons between cells", "AB12;10,5;10,52\r\nAB12;11;11.5\r\n",
         "refs.dat:1: error: cells separated by semicolons: tallix cuts cells only at blanks, tabs and commas, "
         "so this line is read as an asset \"AB12;10\" and no lookup of AB12 finds it; save the file as "
         "\"Text (Tab delimited)\", with decimal points\n"
         "refs.dat:2: error: cells separated by semicolons: tallix cuts cells only at blanks, tabs and commas, "
         "so this line is read as an asset \"AB12;11;11.5\" and no lookup of AB12 finds it; save the file as "
         "\"Text (Tab delimited)\", with decimal points\n",
         2, 1, 0, 2, 0},
        {"cells in quotes", "\"AB12\",\"10\",\"10.02\"\r\nAB12,\"11\",\"11.5\"\r\n",
         "refs.dat:1: error: cells in quotes: tallix keeps the quotes as part of the asset, so no lookup of "
         "AB12" + lost + "save the file without quotes around cells\n"
         "refs.dat:2: error: nominal \"\"11\"\" is not a number; every lookup of AB12" + stops +
             "remove the quotes around the cell\n",
         2, 2, 0, 2, 0},
        {"header row, comment and units", "Asset\tNominal\tValue\r\nA7\t10\t10.00013\r\n# calibrated "
         "2026-01-05\r\nA7 11 11.2 V\r\nA7 12 V 12.2\r\n",
         "refs.dat:1: warning: a header row? tallix has no header rows and reads this line as data, for an "
         "asset \"Asset\"; delete the row\n"
         "refs.dat:3: warning: a comment? tallix has no comments and reads this line as data, for an asset "
         "\"#\"; delete the line\n"
         "refs.dat:4: warning: the unit \"V\" after the value of A7 at 11 is never read: tallix takes 11.2 as "
         "it stands\n"
         "refs.dat:5: error: value \"V\" of A7 at 12 is not a number; a unit between the cells? tallix reads "
         "it in the place of the number: remove it\n",
         5, 3, 2, 1, 3},
        {"a header row of one cell", "Asset;Nominal;Value\r\nA7 10 1\r\n",
         "refs.dat:1: warning: a header row? tallix has no header rows and reads this line as data, for an "
         "asset \"Asset;Nominal;Value\"; delete the row\n",
         2, 1, 1, 0, 1},
        {"non-breaking spaces", "AB12\xA0" "10 10.02\r\nAB12\xC2\xA0" "11 11.02\r\nAB12 10\xA0 10.02\r\n",
         "refs.dat:1: warning: a non-breaking space (byte A0) after \"AB12\" is no blank to tallix: the asset "
         "is read together with what follows it, so no lookup of AB12" + lost + "type a plain blank or tab\n"
         "refs.dat:2: warning: a non-breaking space (byte A0) after \"AB12\" is no blank to tallix: the asset "
         "is read together with what follows it, so no lookup of AB12" + lost + "type a plain blank or tab\n"
         "refs.dat:3: error: nominal \"10\xA0\" is not a number; every lookup of AB12" + stops +
             "it holds a non-breaking space (byte A0), which is no blank to tallix: type a plain blank\n",
         3, 3, 0, 1, 2},
        {"a UTF-8 byte order mark glued to the first asset", "\xEF\xBB\xBF" "A7 10 10.00013\r\nAB12 5 5.01\r\n",
         "refs.dat:1: error: the file begins with a UTF-8 byte order mark, which tallix reads as part of the "
         "first asset, so no lookup of A7" + lost + "save the file as ANSI text (Notepad: encoding \"ANSI\"), "
         "or begin it with an empty line\n",
         2, 2, 2, 1, 0},
        {"a UTF-8 byte order mark on a line of its own", "\xEF\xBB\xBF\r\nA7 10 10.00013\r\n", "", 2, 1, 1, 0, 0},
        {"UTF-16 with a byte order mark", u16("A7\t10\t10.00013\r\nAB12\t5\t5.01\r\n", true), utf16, 3, 0, 0, 1,
         0},
        {"UTF-16 without one", u16("A7\t10\t10.00013\r\n", false), utf16, 2, 0, 0, 1, 0},
        // Written as documented: read without a word.
        {"commas, extra cells and words", "AB12,10,10.02,calibrated 2026\r\nA7 10 10.00013 calibrated\r\n"
         "A7 11 11.5,2026\r\nAB12 1,10\r\n", "", 4, 2, 4, 0, 0},
    });
}

// Text mode keeps a CR without an LF in the line: what follows it is no new
// line, and a file saved with CR line ends is one long line.
TEST(CheckDataFile, LoneCrsThatJoinLines) {
    run_cases({
        {"a lone CR inside a line", "AB12\r10 5\r\nB2 1 1\r\n",
         "refs.dat:1: warning: a CR without an LF at column 5 does not end the line; the text after it is "
         "read as part of line 1\n",
         2, 2, 2, 0, 1},
        {"CR line ends: one finding", "A7 1 1.5\rB2 2 2.5\rC3 3 3.5\r",
         "refs.dat:1: warning: 2 CRs without an LF, from column 9 on, do not end lines (are the line ends CR "
         "alone?); the text after them is read as part of line 1; save the file with Windows line ends (CR LF)\n",
         1, 1, 1, 0, 1},
        {"only the first of CR-separated lines is found", "A7 1 1.5\rA7 2 2.5\r\n",
         "refs.dat:1: warning: a CR without an LF at column 9 does not end the line; the text after it is "
         "read as part of line 1\n",
         1, 1, 1, 0, 1},
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
    EXPECT_EQ(c.totals.nominals, 20001);  // the hidden one is found just above 19999
}

int no_report(const std::string&, int, const char*, register_set&) { return OUTCOME_GIVE_UP; }

// Random small files, and every finding about which lookups reach a line
// held against the search itself: a line said to be never found or never
// reached is where no lookup stops; a line with nothing said is where the
// lookup at its own nominal stops; a hidden one is where that lookup does
// not stop; and one found only at infinity is where the lookup at 1e999
// stops.
TEST(CheckDataFile, FindingsAgreeWithTheSearch) {
    const char* const assets[] = {"A7", "a7", "B2"};
    const char* const nominals[] = {"10", "10.0000000001", "9.99999999995", "10.00000000012", "100",
                                    "99.999999999", "99.9999999997", "0", "-0", "1e999", "-1e999", "5",
                                    "1.0D1", "10,5", "1,000", "ten"};
    const char* const values[] = {"1.5", "1.5", "1.5", "2.5", "", "2V", "10,00013", "1.000,5", "1.5 V", "1,5"};
    const char* const separators[] = {" ", " ", "\t", ", ", ","};
    std::mt19937 random(20261209);
    const std::string dir = make_scratch_dir();
    const std::string path = dir + "/random.dat";
    for (int file = 0; file < 300; ++file) {
        std::vector<std::pair<std::string, std::string>> lines;  // asset, nominal
        std::string data;
        const int count = 1 + int(random() % 8);
        // Now and then a file whose cells are separated by commas alone.
        const bool commas = random() % 4 == 0;
        for (int i = 0; i < count; ++i) {
            const std::string asset = assets[random() % 3];
            // An invalid nominal now and then, not on every file.
            std::string nominal = nominals[random() % 15];
            if (random() % 20 == 0) nominal = "ten";
            // A comma-separated file saved with decimal commas, mostly.
            const std::string value = commas && random() % 3 ? "1,5" : values[random() % 10];
            if (commas && random() % 2) nominal = "5";
            const std::string sep = commas ? "," : separators[random() % 4];
            const std::string text = asset + sep + nominal + (value.empty() ? "" : sep + value);
            // What a lookup reads as the line's asset and nominal.
            const std::vector<std::string> cells = reference_cells(text);
            lines.emplace_back(cells[0], cells[1]);
            data += text + (random() % 2 ? "\r\n" : "\n");
        }
        const checked c = check_text(data);
        std::map<long, std::string> said;  // line -> what the checker says of who reaches it
        std::map<long, std::string> misread;  // line -> the reading the checker says a lookup takes
        for (std::size_t at = 0; at < c.out.size();) {
            const std::size_t end = c.out.find('\n', at);
            const std::string finding = c.out.substr(at, end - at);
            at = end + 1;
            const long line = std::atol(finding.c_str() + finding.find(':') + 1);
            for (const char* kind : {"can never be found", "is never reached", "is hidden", "is found only by"})
                if (finding.find(kind) != std::string::npos) said[line] = kind;
            // "X at N is read with value V": a value taken though misread.
            const std::size_t read_with = finding.find(" is read with ");
            if (read_with != std::string::npos) misread[line] = finding.substr(read_with);
        }

        write_file(path, data);
        std::FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        double mem = 0;
        auto stop_of = [&](const std::string& asset, double nominal) {
            std::fseek(f, 0, SEEK_SET);
            register_set rs;
            search_stop stop;
            search_data_file_at({"random.dat", f, asset.c_str(), nominal, nullptr, no_report}, rs, stop);
            mem = rs.MEM;
            return stop.line;
        };
        // Where lookups stop, over nominals at and around every line's.
        std::set<long> stops;
        for (const auto& l : lines) {
            double v = 0;
            std::vector<double> probes = {HUGE_VAL, -HUGE_VAL, 12345};
            if (nr3_value(l.second.c_str(), l.second.size(), v) && std::isfinite(v)) {
                double up = v, down = v;
                for (int k = 0; k < 3; ++k) probes.push_back(up = std::nextafter(up, HUGE_VAL));
                for (int k = 0; k < 3; ++k) probes.push_back(down = std::nextafter(down, -HUGE_VAL));
                for (double r : {0.5e-11, 0.99e-11, 1.01e-11, 2e-11}) {
                    probes.push_back(v * (1 + r));
                    probes.push_back(v * (1 - r));
                }
                probes.push_back(v);
            }
            for (double n : probes) stops.insert(stop_of(l.first, n));
        }
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const long line = long(i) + 1;
            const std::string& kind = said.count(line) ? said[line] : std::string();
            const std::string context = data + "\n" + c.out;
            if (kind == "can never be found" || kind == "is never reached") {
                EXPECT_EQ(stops.count(line), 0u) << "line " << line << " of\n" << context;
                continue;
            }
            double v = 0;
            if (!nr3_value(lines[i].second.c_str(), lines[i].second.size(), v)) {
                EXPECT_EQ(stops.count(line), 1u) << "line " << line << " of\n" << context;
                continue;
            }
            if (kind == "is found only by") {
                EXPECT_EQ(stop_of(lines[i].first, HUGE_VAL), line) << context;
            } else if (kind == "is hidden") {
                EXPECT_NE(stop_of(lines[i].first, v), line) << "line " << line << " of\n" << context;
            } else {
                EXPECT_EQ(stop_of(lines[i].first, v), line) << "line " << line << " of\n" << context;
            }
            if (misread.count(line) && kind.empty()) {
                // The value the finding names is the one the lookup delivers.
                const std::string& m = misread[line];
                const std::size_t at_value = m.find("value ") + 6;
                const std::string named = m.substr(at_value, m.find_first_of(" ;", at_value) - at_value);
                EXPECT_EQ(stop_of(lines[i].first, v), line) << context;
                EXPECT_EQ(format_number(mem), format_number(std::atof(named.c_str()))) << context;
            }
        }
        std::fclose(f);
    }
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
