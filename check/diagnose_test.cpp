// The checks of one data file: each kind of problem at its line, with its
// text, and nothing for what a lookup reads without trouble.
#include "check/check.h"
#include "lookup/search.h"
#include "reference_search.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
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
// A file in which no lookup finds anything: told first, at its line 1.
const std::string NOTHING =
    "refs.dat:1: error: no line of the file has an asset and a nominal that is a number, so no lookup can find "
    "anything in it; write one line per asset and nominal: the asset, the nominal and the value, separated by "
    "blanks, tabs or commas (A7 10 10.00013)\n";
const std::string KEEP_WITHIN = "keep each line within 254 characters (its cells first), or break it into lines";

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
        {"blank lines and lone tokens", "A7 1 1\r\n   \r\nAB12\r\n,,\r\n", "", 4, 1, 1, 0, 0},
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
        {"hexadecimal is no number", "AB12 0x10 1\nA7 1 1\n",
         "refs.dat:1: error: nominal \"0x10\" is not a number; every lookup of AB12" + STOPS, 2, 2,
         1, 1, 0},
        {"other assets' lines are not judged further", "AB12 10 1\nX ten\n",
         "refs.dat:2: error: nominal \"ten\" is not a number; every lookup of X" + STOPS, 2, 2, 1,
         1, 0},
    });
}

TEST(CheckDataFile, LinesThatCanNeverBeFound) {
    const std::string never = " can never be found: a lookup of ";
    const std::string hidden = " is hidden: a lookup of ";
    run_cases({
        {"duplicate, case ignored", "AB12 10 1\nab12 10 1\n",
         "refs.dat:2: warning: ab12 at 10" + never + "ab12 at 10 takes line 1 (nominal 10) first\n",
         2, 1, 1, 0, 1},
        {"within the tolerance", "AB12 10 1\nAB12 10.0000000001 1\n",
         "refs.dat:2: warning: AB12 at 10.0000000001" + hidden +
             "AB12 at 10.0000000001 takes line 1 (nominal 10) first\n",
         2, 1, 2, 0, 1},
        {"the earliest of several is named",
         "AB12 10.00000000001 1\nAB12 10 1\nAB12 9.99999999999 1\n",
         "refs.dat:2: warning: AB12 at 10" + hidden +
             "AB12 at 10 takes line 1 (nominal 10.00000000001) first\n"
             "refs.dat:3: warning: AB12 at 9.99999999999" + hidden +
             "AB12 at 9.99999999999 takes line 1 (nominal 10.00000000001) first\n",
         3, 1, 3, 0, 2},
        {"an equal line after a nearby one: never found",
         "AB12 10.0000000001 1\nAB12 10 1\nAB12 10.000 1\n",
         "refs.dat:2: warning: AB12 at 10" + hidden +
             "AB12 at 10 takes line 1 (nominal 10.0000000001) first\n"
             "refs.dat:3: warning: AB12 at 10.000" + never +
             "AB12 at 10.000 takes line 1 (nominal 10.0000000001) first\n",
         3, 1, 2, 0, 2},
        {"written otherwise", "AB12 1000 1\nAB12 1.0D3 1.0\n",
         "refs.dat:2: warning: AB12 at 1.0D3" + never +
             "AB12 at 1.0D3 takes line 1 (nominal 1000) first\n",
         2, 1, 1, 0, 1},
        {"zero and minus zero", "AB12 0 1\nAB12 -0 1E0\n",
         "refs.dat:2: warning: AB12 at -0" + never + "AB12 at -0 takes line 1 (nominal 0) first\n",
         2, 1, 1, 0, 1},
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
        {"covered by two earlier lines", "A1 100 1.5\nA1 99.999999999 1.5\nA1 99.9999999997 1.50\n",
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

// Two lines of one asset whose nominals one lookup matches, with other
// values: every lookup at the later one's nominal delivers the earlier
// one's value. Equal values, however written, stay a warning.
TEST(CheckDataFile, OtherValuesAtOneNominal) {
    struct shape {
        const char* name;
        std::string first, later;  // nominal and value of each
        const char* later_nominal;
        bool hidden;  // lookups just off the later nominal still reach it
    };
    const shape shapes[] = {
        {"a newer calibration appended", "10 10.00013", "10 10.00019", "10", false},
        {"the same nominal written otherwise", "1000 2.5", "1.0D3 2.6", "1.0D3", false},
        {"a nominal within the tolerance", "10 1", "10.0000000001 2", "10.0000000001", true},
        {"minus zero", "0 1", "-0 -1", "-0", false},
    };
    const char* const separators[] = {" ", "\t", ", ", ","};
    std::vector<diag_case> cases;
    int k = 0;
    for (const shape& sh : shapes) {
        const std::string sep = separators[k++ % 4];
        auto line = [&](const std::string& asset, const std::string& cells) {
            std::string out = asset;
            for (std::size_t from = 0; from <= cells.size();) {
                const std::size_t blank = std::min(cells.find(' ', from), cells.size());
                out += sep + cells.substr(from, blank - from);
                from = blank + 1;
            }
            return out + "\r\n";
        };
        const std::string first_value = sh.first.substr(sh.first.find(' ') + 1);
        const std::string first_nominal = sh.first.substr(0, sh.first.find(' '));
        const std::string later_value = sh.later.substr(sh.later.find(' ') + 1);
        const std::string taken = "refs.dat:3: " + std::string("error") + ": b9 at " +
                                  sh.later_nominal + (sh.hidden ? " is hidden" : " can never be found") +
                                  ": a lookup of b9 at " + sh.later_nominal + " takes line 1 (nominal " +
                                  first_nominal + ") first";
        const long nominals = sh.hidden ? 3 : 2;
        cases.push_back({sh.name, line("B9", sh.first) + line("A7", "5 1") + line("b9", sh.later),
                         taken + ", which records the value " + first_value + ", not " + later_value +
                             ": every lookup of b9 at " + sh.later_nominal + " delivers " + first_value +
                             "; delete the line that is out of date, or give each value its own nominal\n",
                         3, 2, nominals, 1, 0});
        // The same value written otherwise is no conflict.
        const std::string same = sh.later.substr(0, sh.later.find(' ')) + " " + first_value + "E0";
        cases.push_back({sh.name, line("B9", sh.first) + line("A7", "5 1") + line("b9", same),
                         "refs.dat:3: warning" + taken.substr(taken.find(": b9")) + "\n", 3, 2, nominals, 0, 1});
    }
    run_cases(cases);
    run_cases({
        // A first line that stops its lookups hands over no value to differ.
        {"after a line without a value", "A7 10\nA7 10 5\n",
         "refs.dat:1: error: A7 at 10 has no value; its lookup stops here with \"Can't get value.\"\n"
         "refs.dat:2: warning: A7 at 10 can never be found: a lookup of A7 at 10 takes line 1 (nominal 10) first\n",
         2, 1, 0, 1, 1},
        {"two infinities", "A7 1e999 1\nA7 1E999 2\n",
         "refs.dat:2: error: A7 at 1E999 can never be found: a lookup of A7 at 1E999 takes line 1 (nominal 1e999) "
         "first, which records the value 1, not 2: every lookup of A7 at 1E999 delivers 1; delete the line that is "
         "out of date, or give each value its own nominal\n",
         2, 1, 1, 1, 0},
        // The lookup at infinity takes the first line whatever its nominal:
        // not one nominal.
        {"infinity after a finite nominal", "A7 5 1\nA7 1e999 2\n",
         "refs.dat:2: warning: A7 at 1e999 is hidden: a lookup of A7 at 1e999 takes line 1 (nominal 5) first\n",
         2, 1, 2, 0, 1},
    });
}

// The finite nominal nearest zero whose lookup still matches `infinity`:
// near the largest numbers the tolerance of a sought nominal overflows.
// Found by stepping, one double at a time, from the largest.
double last_reaching(double infinity) {
    double n = infinity > 0 ? DBL_MAX : -DBL_MAX;
    while (in_tolerance(infinity, std::nextafter(n, 0.0), std::nextafter(n, 0.0))) n = std::nextafter(n, 0.0);
    return n;
}

std::string exact(double d) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", d);
    return text;
}

TEST(CheckDataFile, NominalsAtTheEndsOfTheNumbers) {
    const std::string low = exact(-DBL_MAX), low_reach = exact(last_reaching(-HUGE_VAL));
    const std::string reaches = " from " + low + " to " + low_reach + ", whose tolerance reaches down to minus infinity";
    const std::string own = "; no lookup at its own nominal matches it\n";
    const std::string at_infinity = "a lookup of A7 at 1e999, which takes the first line of the asset with a number";
    ASSERT_NE(low, low_reach);
    run_cases({
        {"minus infinity first", "A7 -1e999 2\n",
         "refs.dat:1: warning: A7 at -1e999 is found only by lookups of A7" + reaches + ", and by " + at_infinity + own,
         1, 1, 1, 0, 1},
        {"minus infinity after another line", "A7 5 1\r\nA7\t-1e999\t2\r\n",
         "refs.dat:2: warning: A7 at -1e999 is found only by lookups of A7" + reaches + own, 2, 1, 2, 0, 1},
        {"minus infinity without a value", "A7,5,1\nA7,-1e999\n",
         "refs.dat:2: warning: A7 at -1e999 is found only by lookups of A7" + reaches + own +
             "refs.dat:2: error: A7 at -1e999 has no value; a lookup that reaches it stops here with \"Can't get "
             "value.\"\n",
         2, 1, 1, 1, 1},
        {"minus infinity after the lowest number", "A7 -1.7976931348623157e308 1\nA7 -1e999 1\n",
         "refs.dat:2: warning: A7 at -1e999 can never be found: no lookup at its own nominal matches it, and the "
         "lookups that do (at 1e999 and" + reaches.substr(0, reaches.find(',')) +
             ") each take an earlier line first, as line 1 (nominal -1.7976931348623157e308)\n",
         2, 1, 1, 0, 1},
        {"minus infinity twice", "A7 5 1\nA7 -1e999 2\nA7 -1e999 3\n",
         "refs.dat:2: warning: A7 at -1e999 is found only by lookups of A7" + reaches + own +
             "refs.dat:3: warning: A7 at -1e999 can never be found: no lookup at its own nominal matches it, and "
             "the lookups that do (at 1e999 and" + reaches.substr(0, reaches.find(',')) +
             ") each take an earlier line first, as line 2 (nominal -1e999)\n",
         3, 1, 2, 0, 2},
        // The largest numbers' lookups match +infinity too.
        {"infinity without a value after another line", "A7 5 1\nA7 1e999\n",
         "refs.dat:2: warning: A7 at 1e999 is hidden: a lookup of A7 at 1e999 takes line 1 (nominal 5) first\n"
         "refs.dat:2: error: A7 at 1e999 has no value; a lookup that reaches it stops here with \"Can't get "
         "value.\"\n",
         2, 1, 1, 1, 1},
        {"infinity after the largest number", "A7 1.7976931348623157e308 1\nA7 1e999 2\n",
         "refs.dat:2: warning: A7 at 1e999 can never be found: a lookup of A7 at 1e999 takes line 1 (nominal "
         "1.7976931348623157e308) first\n",
         2, 1, 1, 0, 1},
        // The lookup at the largest number matches infinity first.
        {"the largest number after infinity", "A7 1e999 1\nA7 1.7976931348623157e308 2\nA7 1e308 3\n",
         "refs.dat:2: error: A7 at 1.7976931348623157e308 is hidden: a lookup of A7 at 1.7976931348623157e308 takes "
         "line 1 (nominal 1e999) first, which records the value 1, not 2: every lookup of A7 at "
         "1.7976931348623157e308 delivers 1; delete the line that is out of date, or give each value its own "
         "nominal\n",
         3, 1, 3, 1, 0},
        {"infinity first is its own lookup", "AB12 1e999 2\nAB12 5 1\n", "", 2, 1, 2, 0, 0},
    });
}

// A file in which no lookup can find anything: told once, first.
TEST(CheckDataFile, NothingCanBeFound) {
    run_cases({
        {"empty", "",
         "refs.dat: error: the file holds no line, so no lookup can find anything in it; write one line per asset "
         "and nominal: the asset, the nominal and the value (A7 10 10.00013)\n",
         0, 0, 0, 1, 0},
        {"blank lines and lone tokens", "\r\n   \r\nAB12\r\n,,\r\n", NOTHING, 4, 0, 0, 1, 0},
        {"a table pasted from a PDF", "Calibration certificate\r\nAsset\tNominal\tValue\r\nA7\r\n10\r\n10.00013\r\n",
         NOTHING +
             "refs.dat:1: warning: a header row? tallix has no header rows and reads this line as data, for an asset "
             "\"Calibration\"; delete the row\n"
             "refs.dat:2: error: nominal \"Nominal\" is not a number; every lookup of Asset" + STOPS,
         5, 2, 0, 2, 1},
        {"blank-padded long line", "X" + std::string(800, ' ') + "\n", NOTHING, 1, 0, 0, 1, 0},
        {"only nominals that are no numbers", "A7 ten 1\nB2\t0x10\t2\n",
         NOTHING + "refs.dat:1: error: nominal \"ten\" is not a number; every lookup of A7" + STOPS +
             "refs.dat:2: error: nominal \"0x10\" is not a number; every lookup of B2" + STOPS,
         2, 2, 0, 3, 0},
        {"before a Ctrl-Z only", "\x1A" "A7 10 1\r\n",
         "refs.dat: error: the file holds no line, so no lookup can find anything in it; write one line per asset "
         "and nominal: the asset, the nominal and the value (A7 10 10.00013)\n"
         "refs.dat:1: warning: Ctrl-Z at column 1 ends the file; the 9 bytes after it are never read\n",
         0, 0, 0, 1, 1},
        // One line a lookup can find is enough.
        {"one line among text", "Calibration certificate\r\nA7 10 10.00013\r\n",
         "refs.dat:1: warning: a header row? tallix has no header rows and reads this line as data, for an asset "
         "\"Calibration\"; delete the row\n",
         2, 2, 1, 0, 1},
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
        {"a piece's problem comes after the warning", head + "AB12 ten 1\n",
         NOTHING + "refs.dat:1: warning: line of 264 characters is read in pieces of 254: piece 2 starts at "
         "column 255 and is read as a line for asset AB12\n"
         "refs.dat:1: error: nominal \"ten\" is not a number; every lookup of AB12 that reaches "
         "this line stops here (in piece 2, from column 255)\n",
         1, 1, 0, 2, 1},
        {"the line number counts lines, not pieces", "A 1 1\n" + head + head + "\nAB12 10\n",
         "refs.dat:2: warning: line of 508 characters is read in pieces of 254: piece 2 starts at "
         "column 255 and is not read as a line for any asset\n"
         "refs.dat:3: error: AB12 at 10 has no value; its lookup stops here with \"Can't get "
         "value.\"\n",
         3, 2, 1, 1, 1},
    });
}

// A token that a piece's end cuts: the rest begins no line, and a nominal
// or value cut there stops the lookups that meet it. Every cut position
// inside the token, after blanks, tabs or commas.
TEST(CheckDataFile, TokensCutAtAPieceEnd) {
    const char* const separators[] = {" ", "\t", ","};
    std::vector<diag_case> cases;
    for (int k = 0; k < 3; ++k) {
        const std::string sep = separators[k];
        const std::string valid = "B2" + sep + "1" + sep + "1\r\n";
        for (std::size_t kept = 1; kept < 4; ++kept) {
            // A CR-only export is one long line: its lines are pieces, and the
            // asset 2507 falls across column 254.
            std::string line = "A7 1 1.5\r";
            line += std::string(254 - kept - line.size(), ' ') + "2507" + sep + "10" + sep + "5\r";
            const std::string rest = std::string("2507").substr(kept);
            cases.push_back({"an asset cut", valid + line + "\n",
                             "refs.dat:2: warning: line of " + std::to_string(line.size() - 1) +
                                 " characters is read in pieces of 254: piece 2 starts at column 255 and is not "
                                 "read as a line for any asset\n"
                                 "refs.dat:2: warning: a CR without an LF at column 9 does not end the line; the "
                                 "text after it is read as part of line 2\n"
                                 "refs.dat:2: error: \"" + rest +
                                 "\" is the rest of \"2507\", cut at column 254 by the end of the piece before: tallix "
                                 "reads this piece as no line, so no lookup of " + rest + " finds it; " + KEEP_WITHIN +
                                 " (in piece 2, from column 255)\n",
                             2, 2, 2, 1, 2});
        }
        for (std::size_t kept = 1; kept < 8; ++kept) {
            const std::string nominal = "10.00013";
            const std::string head = std::string(254 - kept - 3, sep == "\t" ? '\t' : ' ') + "A7" + sep;
            const std::string cut = "nominal \"" + nominal.substr(0, kept) + "\" is \"10.00013\" cut at column 254";
            cases.push_back({"a nominal cut", valid + head + nominal + sep + "5\r\nA7 10 5\r\n",
                             "refs.dat:2: warning: line of " + std::to_string(head.size() + nominal.size() + 2) +
                                 " characters is read in pieces of 254: piece 2 starts at column 255 and is not read "
                                 "as a line for any asset\nrefs.dat:2: error: " + cut +
                                 ", where the piece ends; every lookup of A7 that reaches this line stops here; " +
                                 KEEP_WITHIN + "\nrefs.dat:3: warning: A7 at 10 is never reached: every lookup of A7 "
                                 "stops at line 2 (" + cut.substr(0, cut.find(" is ")) + " is cut at column 254)\n",
                             3, 2, 1, 1, 2});
            const std::string value_head = head + "10" + sep;
            const std::string value_line = value_head.substr(2 + sep.size()) + nominal + sep + "x";
            cases.push_back({"a value cut", valid + value_line + "\r\n",
                             "refs.dat:2: warning: line of " + std::to_string(value_line.size()) +
                                 " characters is read in pieces of 254: piece 2 starts at column 255 and is not read "
                                 "as a line for any asset\nrefs.dat:2: error: value \"" + nominal.substr(0, kept) +
                                 "\" of A7 at 10 is \"10.00013\" cut at column 254, where the piece ends; its lookup "
                                 "stops here; " + KEEP_WITHIN + "\n",
                             2, 2, 1, 1, 1});
        }
    }
    run_cases(cases);
    const std::string pad = std::string(240, ' ');
    run_cases({
        // Only the first three cells are read: a fourth cut is nothing.
        {"a fourth cell cut", "A7 10 10.5 " + std::string(254 - 11 - 3, ' ') + "calibrated\r\n",
         "refs.dat:1: warning: line of 261 characters is read in pieces of 254: piece 2 starts at column 255 and is "
         "not read as a line for any asset\n",
         1, 1, 1, 0, 1},
        // The rest of a piece that is all one token runs on into the third.
        {"a token over three pieces", "A7 1 1\r\n" + std::string(250, ' ') + "B2 1" + std::string(254, '0') + "1 5\r\n",
         "refs.dat:2: warning: line of 511 characters is read in pieces of 254: pieces 2 to 3 start at columns 255 "
         "to 509 and are not read as lines for any asset\nrefs.dat:2: error: nominal \"1\" is \"1" +
             std::string(254, '0') + "1\" cut at column 254, where the piece ends; every lookup of B2 that reaches "
             "this line stops here; " + KEEP_WITHIN + "\n",
         2, 2, 1, 1, 1},
        // A NUL ends what the piece says: nothing of it is cut.
        {"a NUL before the piece end", "A7 1 1\r\n" + pad + std::string("B2 10\0 5", 8) + std::string(6, 'x') +
                                         "yyyy\r\n",
         "refs.dat:2: warning: line of 258 characters is read in pieces of 254: piece 2 starts at column 255 and is "
         "not read as a line for any asset\n"
         "refs.dat:2: warning: a NUL character at column 246 ends the line; the text after it is never read\n"
         "refs.dat:2: error: B2 at 10 has no value; its lookup stops here with \"Can't get value.\"\n",
         2, 2, 1, 1, 2},
        // Written as documented: read without a word.
        {"a line of exactly 254 characters ending with its value", pad + "A7 10 10.00013\r\nB2\t1\t1\n" + pad +
                                                                        "C3,1,5.0000001\n",
         "", 3, 3, 3, 0, 0},
        {"the cut in the blanks after the value", "A7 10 10.00013" + std::string(300, ' ') + "\r\n" +
                                                      "B2\t1\t1" + std::string(300, '\t') + "\n",
         "", 2, 2, 2, 0, 0},
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
         NOTHING + "refs.dat:1: error: nominal \"0,5\" is not a number; every lookup of AB12" + stops +
             "it looks like a decimal comma: write 0.5\n",
         1, 1, 0, 2, 0},
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
         NOTHING + "refs.dat:1: error: cells separated by semicolons: tallix cuts cells only at blanks, tabs and commas, "
         "so this line is read as an asset \"AB12;10\" and no lookup of AB12 finds it; save the file as "
         "\"Text (Tab delimited)\", with decimal points\n"
         "refs.dat:2: error: cells separated by semicolons: tallix cuts cells only at blanks, tabs and commas, "
         "so this line is read as an asset \"AB12;11;11.5\" and no lookup of AB12 finds it; save the file as "
         "\"Text (Tab delimited)\", with decimal points\n",
         2, 1, 0, 3, 0},
        {"cells in quotes", "\"AB12\",\"10\",\"10.02\"\r\nAB12,\"11\",\"11.5\"\r\n",
         NOTHING + "refs.dat:1: error: cells in quotes: tallix keeps the quotes as part of the asset, so no lookup of "
         "AB12" + lost + "save the file without quotes around cells\n"
         "refs.dat:2: error: nominal \"\"11\"\" is not a number; every lookup of AB12" + stops +
             "remove the quotes around the cell\n",
         2, 2, 0, 3, 0},
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
        {"tab-aligned columns, blanks before commas, a fourth column, a D exponent",
         "A7\t\t10\t\t10.00013\r\nAB12 ,10 ,10.02\r\nR1 10 10 100\r\nR2 10 2.5D2\r\n", "", 4, 4, 4, 0, 0},
    });
}

// A file that begins in UTF-16 and goes on in ANSI (lines a script
// appended): the UTF-16 lines are lost, the others read and judged.
TEST(CheckDataFile, UTF16LinesAmongOthers) {
    auto u16 = [](const std::string& text, bool bom, bool big_endian) {
        std::string out = bom ? (big_endian ? "\xFE\xFF" : "\xFF\xFE") : "";
        for (char c : text) out += big_endian ? std::string(1, '\0') + c : std::string(1, c) + '\0';
        return out;
    };
    auto lost = [](const std::string& lines, const std::string& tail) {
        return "refs.dat:" + lines.substr(0, lines.find(' ')) + ": error: " +
               (lines.find(' ') == std::string::npos ? "line " + lines + " is" : "lines " + lines + " are") +
               " UTF-16 text (\"Unicode text\"): tallix reads one byte a character and finds no line in " +
               (lines.find(' ') == std::string::npos ? "it" : "them") +
               (tail.empty() ? "" : ", nor in line " + tail + ", which begins with the NUL that ends the last of them") +
               "; it reads the other lines as they stand; write those lines again as ANSI text (Notepad: encoding "
               "\"ANSI\")\n";
    };
    const std::string rows = "A7\t10\t10.00013\r\nAB12\t5\t5.01\r\n";
    const std::string appended = "B9 10 10.5\r\nB9 ten 1\r\n";
    const std::string ten = "refs.dat:4: error: nominal \"ten\" is not a number; every lookup of B9" + STOPS;
    run_cases({
        // The NUL after the last UTF-16 line end begins the first line appended.
        {"little-endian, then ANSI", u16(rows, true, false) + appended, lost("1 to 2", "3") + ten, 4, 1, 0, 2, 0},
        {"big-endian, then ANSI", u16(rows, true, true) + "B9 5 5.5\r\n" + appended,
         lost("1 to 2", "") + "refs.dat:5: error: nominal \"ten\" is not a number; every lookup of B9" + STOPS,
         5, 1, 2, 2, 0},
        {"ANSI, then UTF-16", "A7 10 1\r\n" + u16("B9\t5\t1\r\n", false, false), lost("2 to 3", ""), 3, 1, 1, 1, 0},
        {"one UTF-16 line between others", "A7 10 1\r\n" + u16("B9 5 1", false, true) + "\r\nB9 5 1\r\n",
         lost("2", ""), 3, 2, 2, 1, 0},
    });
}

// A header row or a comment that a lookup of an asset written elsewhere in
// the file stops at: that lookup fails there, so its errors are told.
TEST(CheckDataFile, HeaderRowsThatStopALookup) {
    const char* const separators[] = {" ", "\t", ","};
    std::vector<diag_case> cases;
    for (const char* sep : separators) {
        const std::string s = sep;
        cases.push_back({"a header row of an asset with lines", "Q" + s + "ten" + s + "inf\r\nQ" + s + "5" + s + "1\r\n",
                         "refs.dat:1: warning: a header row? tallix has no header rows and reads this line as data, "
                         "for an asset \"Q\"; delete the row\n"
                         "refs.dat:1: error: nominal \"ten\" is not a number; every lookup of Q" + STOPS +
                             "refs.dat:2: warning: Q at 5 is never reached: every lookup of Q stops at line 1 (nominal "
                             "\"ten\" is not a number)\n",
                         2, 1, 0, 1, 2});
        // Comments of an asset no data line is for say nothing more.
        cases.push_back({"comments only", "A7" + s + "10" + s + "1\r\n#" + s + "5\r\n#" + s + "calibrated" + s + "x\r\n",
                         "refs.dat:2: warning: a comment? tallix has no comments and reads this line as data, for an "
                         "asset \"#\"; delete the line\n"
                         "refs.dat:3: warning: a comment? tallix has no comments and reads this line as data, for an "
                         "asset \"#\"; delete the line\n",
                         3, 2, 1, 0, 2});
    }
    run_cases(cases);
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
              "refs.dat:20001: error: AB12 at 777 can never be found: a lookup of AB12 at 777 "
              "takes line 777 (nominal 777) first, which records the value 1, not 2: every lookup of AB12 at 777 "
              "delivers 1; delete the line that is out of date, or give each value its own nominal\n"
              "refs.dat:20002: error: AB12 at 19999.0000000001 is hidden: a lookup of "
              "AB12 at 19999.0000000001 takes line 19999 (nominal 19999) first, which records the value 1, not 3: "
              "every lookup of AB12 at 19999.0000000001 delivers 1; delete the line that is out of date, or give "
              "each value its own nominal\n");
    EXPECT_EQ(c.totals.nominals, 20001);  // the hidden one is found just above 19999
}

// What the search told, recorded in the string its context points to
// instead of shown.
int record_report(void* context, const std::string& text, int, const char*, register_set&) {
    *static_cast<std::string*>(context) = text;
    return OUTCOME_GIVE_UP;
}

// A place in the file as the search and the checker name it.
using piece_key = std::pair<long, long>;  // line, piece

struct search_seen {
    piece_key at{0, 0};
    bool found = false;
    std::string report;
    double mem = 0;
};

// One random file: records of asset, nominal and value, in lines ended by
// CR LF or LF, or all in one line of lone CRs; now and then a header row
// first, lines in UTF-16 first, and a cell moved across a piece's end by
// blanks before its record.
struct random_file {
    std::mt19937& random;
    std::string data;
    std::size_t column = 0;  // characters since the last line end
};

void add_record(random_file& f, const std::string& asset, const std::string& nominal, const std::string& value,
                const std::string& sep, bool cr_only) {
    std::string text = asset + sep + nominal + (value.empty() ? "" : sep + value);
    if (f.random() % 4 == 0) {
        // Blanks before the record so that the cut falls inside one cell.
        const std::size_t starts[] = {0, asset.size() + sep.size(), asset.size() + 2 * sep.size() + nominal.size()};
        const std::size_t lengths[] = {asset.size(), nominal.size(), value.size()};
        const int cell = int(f.random() % 3);
        if (lengths[cell] >= 2) {
            const std::size_t into = starts[cell] + 1 + f.random() % (lengths[cell] - 1);
            const std::size_t end = f.column + into;
            const std::size_t boundary = (end + DATA_LINE_LIMIT - 1) / DATA_LINE_LIMIT * DATA_LINE_LIMIT;
            text = std::string(boundary - end, f.random() % 2 ? ' ' : '\t') + text;
        }
    }
    const std::string end = cr_only ? "\r" : (f.random() % 2 ? "\r\n" : "\n");
    f.data += text + end;
    f.column = cr_only ? f.column + text.size() + 1 : 0;
}

std::string random_data(std::mt19937& random) {
    const char* const assets[] = {"A7", "a7", "B2", "Q", "2507"};
    const char* const nominals[] = {"10", "10.0000000001", "9.99999999995", "10.00000000012", "100", "99.999999999",
                                    "99.9999999997", "0", "-0", "1e999", "-1e999", "5", "1.0D1", "10,5", "1,000",
                                    "1.7976931348623157e308", "-1.7976931348623157e308", "1e308",
                                    "1.7976931348623155e308", "-1.7976931348623155e308", "-1E999"};
    const char* const values[] = {"1.5", "1.5", "1.5", "2.5", "", "2V", "10,00013", "1.000,5", "1.5 V", "1,5",
                                  "10.00013", "10.00019", "2,000.75", "5,5e3", "1,00027E+01", "2.5D2", "1.5E0"};
    const char* const separators[] = {" ", " ", "\t", ", ", ","};
    random_file f{random, std::string(), 0};
    // Now and then a file whose cells are separated by commas alone, one
    // saved with CR line ends, one that begins in UTF-16.
    const bool commas = random() % 4 == 0;
    const bool cr_only = random() % 6 == 0;
    if (random() % 12 == 0) {
        f.data = "\xFF\xFE";
        for (char c : std::string("A7\t10\t1\r\nB2\t5\t2\r\n")) f.data += std::string(1, c) + '\0';
    }
    if (random() % 6 == 0) {
        const std::string sep = separators[random() % 4];
        add_record(f, "Q", random() % 2 ? "ten" : "Nominal", random() % 2 ? "inf" : "Value", sep, cr_only);
    }
    const int count = 1 + int(random() % 8);
    for (int i = 0; i < count; ++i) {
        const std::string asset = assets[random() % 5];
        // An invalid nominal now and then, not on every file.
        std::string nominal = nominals[random() % 21];
        if (random() % 20 == 0) nominal = "ten";
        // A comma-separated file saved with decimal commas, mostly.
        const std::string value = commas && random() % 3 ? "1,5" : values[random() % 17];
        if (commas && random() % 2) nominal = "5";
        add_record(f, asset, nominal, value, commas ? "," : separators[random() % 4], cr_only);
    }
    if (cr_only) f.data += "\n";
    return f.data;
}

// The checker's findings, each with the place it names.
struct told {
    piece_key at{0, 0};
    bool error = false;
    std::string text;
};

std::vector<told> findings_of(const std::string& out) {
    std::vector<told> all;
    for (std::size_t at = 0; at < out.size();) {
        const std::size_t end = out.find('\n', at);
        told t;
        t.text = out.substr(at, end - at);
        at = end + 1;
        const std::size_t colon = t.text.find(':');
        t.at.first = std::atol(t.text.c_str() + colon + 1);
        const std::size_t piece = t.text.find(" (in piece ");
        t.at.second = piece == std::string::npos ? 1 : std::atol(t.text.c_str() + piece + 11);
        t.error = t.text.find(": error: ") != std::string::npos;
        all.push_back(t);
    }
    return all;
}

bool says(const std::vector<told>& all, const piece_key& at, const char* what, const told** which = nullptr) {
    for (const told& t : all)
        if (t.at == at && t.text.find(what) != std::string::npos) {
            if (which) *which = &t;
            return true;
        }
    return false;
}

double number_after(const std::string& text, const char* mark) {
    return std::strtod(text.c_str() + text.find(mark) + std::strlen(mark), nullptr);
}

// The nominals every file's lookups are tried at: infinities, the largest
// numbers, and where their tolerance stops reaching an infinite nominal.
std::vector<double> probes_everywhere() {
    const double plus = last_reaching(HUGE_VAL), minus = last_reaching(-HUGE_VAL);
    return {HUGE_VAL, -HUGE_VAL, 12345, DBL_MAX, -DBL_MAX, std::nextafter(DBL_MAX, 0.0),
            std::nextafter(-DBL_MAX, 0.0), 1e308, -1e308, plus, std::nextafter(plus, 0.0), minus,
            std::nextafter(minus, 0.0)};
}

// Nominals at and around a line's own.
std::vector<double> probes_near(double v) {
    std::vector<double> probes = {v};
    double up = v, down = v;
    for (int k = 0; k < 3; ++k) probes.push_back(up = std::nextafter(up, HUGE_VAL));
    for (int k = 0; k < 3; ++k) probes.push_back(down = std::nextafter(down, -HUGE_VAL));
    for (double r : {0.5e-11, 0.99e-11, 1.01e-11, 2e-11}) {
        probes.push_back(v * (1 + r));
        probes.push_back(v * (1 - r));
    }
    return probes;
}

// A line of the file as the search meets it: a piece with an asset and a
// nominal.
struct met_line {
    piece_key at;
    std::vector<std::string> cells;
    bool begins_inside = false, runs_on = false;
    bool rest_of_cell = false;  // it begins inside the nominal or value of the piece before
    bool number = false;        // the nominal is a number, not cut
    double nominal = 0;
    bool has_value = false;  // the value is a number, not cut
    double value = 0;
};

std::vector<met_line> met_lines(const std::string& data) {
    std::vector<met_line> lines;
    const std::vector<reference_piece> pieces = reference_pieces(data);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const reference_piece& p = pieces[i];
        met_line m{{p.line, p.piece}, reference_cells(p.text), p.begins_inside, p.runs_on};
        if (m.cells.size() < 2) continue;
        if (p.begins_inside) {
            const std::size_t before = reference_cells(pieces[i - 1].text).size();
            m.rest_of_cell = pieces[i - 1].begins_inside || before == 2 || before == 3;
        }
        m.number = !(m.runs_on && m.cells.size() == 2) &&
                   nr3_value(m.cells[1].c_str(), m.cells[1].size(), m.nominal) == 1;
        m.has_value = m.cells.size() > 2 && !(m.runs_on && m.cells.size() == 3) &&
                      nr3_value(m.cells[2].c_str(), m.cells[2].size(), m.value) == 1;
        lines.push_back(m);
    }
    return lines;
}

using lookup_fn = std::function<search_seen(const std::string&, double)>;
using tried_map = std::map<std::pair<std::string, double>, search_seen>;

// Which lookups reach a line, as the checker tells it.
void hold_reach(const std::vector<told>& all, const met_line& m, const std::vector<double>& stopping,
                const lookup_fn& lookup, const std::string& context) {
    const told* only = nullptr;
    const std::string where = "line " + std::to_string(m.at.first) + " piece " + std::to_string(m.at.second) + " of\n";
    if (says(all, m.at, "can never be found") || says(all, m.at, "is never reached") || m.begins_inside) {
        EXPECT_TRUE(stopping.empty()) << where << context;
        // A piece that looks like a line and is none is told.
        EXPECT_TRUE(!m.begins_inside || !m.number || m.rest_of_cell || says(all, m.at, "is the rest of")) << context;
        return;
    }
    if (!m.number) {
        EXPECT_FALSE(stopping.empty()) << where << context;
        return;
    }
    if (says(all, m.at, "is found only by", &only)) {
        EXPECT_NE(lookup(m.cells[0], m.nominal).at, m.at) << where << context;
        const bool infinity = only->text.find(" at 1e999") != std::string::npos;
        const bool range = only->text.find(" from ") != std::string::npos;
        for (double n : stopping)
            EXPECT_TRUE((infinity && n == HUGE_VAL) ||
                        (range && n >= number_after(only->text, " from ") && n <= number_after(only->text, " to ")))
                << n << " " << where << context;
    } else if (says(all, m.at, "is hidden")) {
        EXPECT_NE(lookup(m.cells[0], m.nominal).at, m.at) << where << context;
    } else {
        EXPECT_EQ(lookup(m.cells[0], m.nominal).at, m.at) << where << context;
    }
}

// A line that a header row or comment makes the checker keep quiet about,
// for an asset that no other line is written for.
bool quiet_about(const std::vector<told>& all, const std::vector<met_line>& lines, const met_line& m) {
    auto lost = [&](const met_line& l) { return says(all, l.at, "a header row?") || says(all, l.at, "a comment?"); };
    if (!lost(m)) return false;
    auto folded = [](std::string a) {
        for (char& ch : a) ch = fold_asset_char(ch);
        return a;
    };
    for (const met_line& l : lines)
        if (l.at != m.at && !l.begins_inside && !lost(l) && folded(l.cells[0]) == folded(m.cells[0])) return false;
    return true;
}

// A lookup that stops at a line with a report stops at an error, and a cut
// the checker tells is one the search tells.
void hold_errors(const std::vector<told>& all, const std::vector<met_line>& lines, const met_line& m,
                 const tried_map& tried, const std::string& context) {
    const std::string where = "line " + std::to_string(m.at.first) + " piece " + std::to_string(m.at.second) + " of\n";
    bool error = false;
    for (const told& t : all) error = error || (t.at == m.at && t.error);
    for (const auto& r : tried) {
        if (r.second.at == m.at && !r.second.found && !quiet_about(all, lines, m)) {
            EXPECT_TRUE(error) << r.second.report << " " << where << context;
        }
    }
    const told* cut = nullptr;
    if (!says(all, m.at, ", where the piece ends", &cut)) return;
    const std::string told_cut = "is cut at column " + std::to_string(long(number_after(cut->text, "cut at column ")));
    bool searched = false;
    for (const auto& r : tried)
        searched = searched || (r.second.at == m.at && r.second.report.find(told_cut) != std::string::npos);
    EXPECT_TRUE(searched) << where << context;
}

// The value a finding names is the one the lookup delivers.
void hold_values(const std::vector<told>& all, const met_line& m, const lookup_fn& lookup, const std::string& context) {
    const told* t = nullptr;
    if (says(all, m.at, "which records the value ", &t)) {
        // "takes line X (...)" or "takes line X, piece Y (...)"
        const std::string& x = t->text;
        const std::size_t at = x.find(" takes line ") + 12;
        const std::size_t piece = x.find(", piece ", at);
        const piece_key taker{std::atol(x.c_str() + at),
                              piece < x.find(" (", at) ? std::atol(x.c_str() + piece + 8) : 1};
        const search_seen r = lookup(m.cells[0], m.nominal);
        EXPECT_EQ(r.at, taker) << context;
        EXPECT_TRUE(r.found) << context;
        const std::size_t from = x.find("which records the value ") + 24;
        const std::string named = x.substr(from, x.find(',', from) - from);
        double value = 0;
        EXPECT_EQ(nr3_value(named.c_str(), named.size(), value), 1) << context;
        EXPECT_EQ(format_number(r.mem), format_number(value)) << context;
        EXPECT_TRUE(m.has_value && m.value != value) << context;
    } else if (m.has_value && std::isfinite(m.nominal) &&
               (says(all, m.at, "can never be found") || says(all, m.at, "is hidden"))) {
        // Not told as another value: the lookup at its nominal delivers the same.
        const search_seen r = lookup(m.cells[0], m.nominal);
        EXPECT_TRUE(!r.found || r.mem == m.value) << r.mem << " " << context;
    }
    bool reached = m.number;
    for (const char* kind : {"can never be found", "is never reached", "is hidden", "is found only by"})
        reached = reached && !says(all, m.at, kind);
    if (reached && says(all, m.at, " is read with ", &t)) {
        // "X at N is read with value V": a value taken though misread.
        const std::size_t at_value = t->text.find("value ", t->text.find(" is read with ")) + 6;
        const std::string named = t->text.substr(at_value, t->text.find_first_of(" ;", at_value) - at_value);
        const search_seen r = lookup(m.cells[0], m.nominal);
        EXPECT_EQ(r.at, m.at) << context;
        EXPECT_EQ(format_number(r.mem), format_number(std::atof(named.c_str()))) << context;
    }
}

void hold_findings(const std::vector<told>& all, const std::vector<met_line>& lines, const tried_map& tried,
                   const lookup_fn& lookup, const std::string& context) {
    for (const met_line& m : lines) {
        std::vector<double> stopping;
        for (const auto& r : tried)
            if (r.second.at == m.at) stopping.push_back(r.first.second);
        hold_reach(all, m, stopping, lookup, context);
        hold_errors(all, lines, m, tried, context);
        hold_values(all, m, lookup, context);
    }
    // A file in which no lookup finds anything.
    if (all.empty() || all.front().text.find("no lookup can find anything") == std::string::npos) return;
    for (const auto& r : tried) EXPECT_FALSE(r.second.found) << context;
}

// Random small files, and every finding held against the search itself,
// over lookups at and around every line's nominal, at the infinities and at
// the largest numbers: a line said to be never found, never reached or no
// line is where no lookup stops; a line with nothing said is where the
// lookup at its own nominal stops; a hidden one, or one found only by some
// lookups, is where that lookup does not stop, and those that do are the
// ones named; a lookup that stops at a line with a report stops at an
// error; a cut cell is where a lookup tells that cut; two values at one
// nominal name the line and the value every lookup at it delivers.
TEST(CheckDataFile, FindingsAgreeWithTheSearch) {
    std::mt19937 random(20261209);
    const std::string dir = make_scratch_dir();
    const std::string path = dir + "/random.dat";
    const std::vector<double> everywhere = probes_everywhere();
    for (int file = 0; file < 400; ++file) {
        const std::string data = random_data(random);
        const checked c = check_text(data);
        const std::vector<told> all = findings_of(c.out);
        const std::vector<met_line> lines = met_lines(data);
        const std::string context = data + "\n" + c.out;

        write_file(path, data);
        std::FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        std::map<std::pair<std::string, double>, search_seen> tried;
        auto lookup = [&](const std::string& asset, double nominal) {
            auto known = tried.find({asset, nominal});
            if (known != tried.end()) return known->second;
            std::fseek(f, 0, SEEK_SET);
            register_set rs;
            search_stop stop;
            search_seen r;
            search_request q;
            q.data_path = "random.dat";
            q.file = f;
            q.asset = asset.c_str();
            q.nominal = nominal;
            q.report = record_report;
            q.report_context = &r.report;
            r.found = search_data_file(q, rs, stop) == OUTCOME_FOUND;
            r.at = {stop.line, stop.piece};
            r.mem = rs.MEM;
            tried[{asset, nominal}] = r;
            return r;
        };
        for (const met_line& m : lines) {
            for (double n : everywhere) lookup(m.cells[0], n);
            if (m.number && std::isfinite(m.nominal))
                for (double n : probes_near(m.nominal)) lookup(m.cells[0], n);
        }
        hold_findings(all, lines, tried, lookup, context);
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
