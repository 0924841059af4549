// The --lookup mode: the line the lookup takes and what tallix would write
// or say, with no box shown and no register written.
#include "check/check.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

struct explain_case {
    const char* name;
    std::string data;  // nullptr-like: empty name means no file
    const char* asset;
    const char* nominal;
    int status;
    std::string out;  // "@" stands for the data file's path
};

std::string with_path(std::string text, const std::string& path) {
    for (std::size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, path);
    return text;
}

TEST(ExplainLookup, TellsTheLineAndTheValueOrTheMessage) {
    const std::string long_line = "X" + std::string(300, ' ') + "AB12 10 3";
    const std::string invalid = " contains an invalid NR3 number.\n";
    const explain_case cases[] = {
        {"found", "A7 10 10.00013\r\nAB12 5 5.01\r\n", "A7", "10", 0,
         "@:1: A7 10 10.00013\nvalue: 10.00013\n"},
        {"case ignored, later line", "X 1 1\n\nab12 10 10.02\n", "AB12", "10", 0,
         "@:3: ab12 10 10.02\nvalue: 10.02\n"},
        {"written as tallix writes MEM", "X 1 1e20\n", "x", "1", 0, "@:1: X 1 1e20\nvalue: 1e+020\n"},
        {"infinite value", "X 1 1e999\n", "X", "1.0", 0, "@:1: X 1 1e999\nvalue: 1.#INF\n"},
        {"rounded to 12 digits", "X 1 0.1234567890123456\n", "X", "1", 0,
         "@:1: X 1 0.1234567890123456\nvalue: 0.123456789012\n"},
        {"a piece of a long line", long_line + "\n", "AB12", "10", 0,
         "@:1: piece 2 from column 255: " + long_line.substr(254) + "\nvalue: 3\n"},
        {"control characters shown", "X 1 5\r\r\n", "X", "1", 0, "@:1: X 1 5\\x0d\nvalue: 5\n"},
        {"invalid nominal argument", "X 1 1\n", "X", "10V", 1, "message: \"10V\"" + invalid},
        {"invalid nominal in the file", "AB12 ten 1\nAB12 10 2\n", "AB12", "10", 1,
         "@:1: AB12 ten 1\nmessage: \"ten\"" + invalid},
        {"invalid value", "AB12 10 10.02V\n", "AB12", "10", 1,
         "@:1: AB12 10 10.02V\nmessage: \"10.02V\"" + invalid},
        {"no value", "AB12 10\n", "AB12", "10", 1, "@:1: AB12 10\nmessage: Can't get value.\n"},
        {"nothing found", "AB12 5 5\n", "AB12", "11", 1,
         "message: No value found for AB12 at 11 in file:  \"@\"\n"},
        {"nothing found, nominal as tallix writes it", "", "AB12", "1e20", 1,
         "message: No value found for AB12 at 1e+020 in file:  \"@\"\n"},
        // Asset and nominal cut as tallix cuts its command line.
        // A nominal with a decimal comma after a blank is one argument to
        // tallix, and no number; after a comma the comma cuts.
        {"decimal comma in the nominal", "A7 10 10.00013\n", "A7", "10,5", 1, "message: \"10,5\"" + invalid},
        {"thousands separators in the nominal", "A7 10 10.00013\n", "A7", "1,000.5", 1,
         "message: \"1,000.5\"" + invalid},
        {"decimal comma after a comma", "A7 10 10.00013\n", "A7,10,5", "", 0,
         "cut: tallix reads \"A7,10,5 \" as asset \"A7\" and nominal \"10\"; \"5 \" is ignored\n"
         "@:1: A7 10 10.00013\nvalue: 10.00013\n"},
        {"comma in the asset", "A7 10 10.00013\n", "A7,10", "5", 0,
         "cut: tallix reads \"A7,10 5\" as asset \"A7\" and nominal \"10\"; \"5\" is ignored\n"
         "@:1: A7 10 10.00013\nvalue: 10.00013\n"},
        {"spaces and commas around", "A7 10 10.00013\n", " ,A7 ", "10 ,", 0,
         "cut: tallix reads \" ,A7  10 ,\" as asset \"A7\" and nominal \"10\"\n"
         "@:1: A7 10 10.00013\nvalue: 10.00013\n"},
        {"several tokens ignored", "A7 10 10.00013\n", "A7", "10 5,6 7", 0,
         "cut: tallix reads \"A7 10 5,6 7\" as asset \"A7\" and nominal \"10\"; \"5,6 7\" is ignored\n"
         "@:1: A7 10 10.00013\nvalue: 10.00013\n"},
        {"a tab is no separator", "A7 10 10.00013\n", "A7", "10\t", 1,
         "message: \"10\t\"" + invalid},
        {"empty asset", "A7 10 10.00013\n", "", "10", 1,
         "cut: tallix reads \" 10\" as asset \"10\" and no nominal\nmessage: Nominal value required!\n"},
        {"only separators", "A7 10 10.00013\n", ",", "", 1,
         "cut: tallix reads \", \" as no asset and no nominal\nmessage: Asset number required!\n"},
        {"cut nominal then invalid", "A7 10 10.00013\n", "A7", "10V,10", 1,
         "cut: tallix reads \"A7 10V,10\" as asset \"A7\" and nominal \"10V\"; \"10\" is ignored\n"
         "message: \"10V\"" + invalid},
    };
    const std::string dir = make_scratch_dir();
    const std::string path = dir + "/refs.dat";
    for (const explain_case& c : cases) {
        box_script boxes;
        write_file(path, c.data);
        std::string out;
        EXPECT_EQ(explain_lookup(c.asset, c.nominal, path.c_str(), out), c.status) << c.name;
        EXPECT_EQ(out, with_path(c.out, path)) << c.name;
        EXPECT_TRUE(boxes.shown.empty()) << c.name;
    }
    EXPECT_EQ(list_dir(dir), std::vector<std::string>{"refs.dat"}) << "nothing else written";
}

TEST(ExplainLookup, AFileThatCannotBeReadGivesTallixsMessage) {
    const std::string dir = make_scratch_dir();
    std::string out;
    const std::string missing = dir + "/none.dat";
    EXPECT_EQ(explain_lookup("A7", "10", missing.c_str(), out), 1);
    EXPECT_EQ(out, "message: Can't open \"" + missing + "\".  No such file or directory.\n");
    out.clear();
    EXPECT_EQ(explain_lookup("A7", "10", dir.c_str(), out), 1);
    EXPECT_EQ(out, "message: Can't open \"" + dir + "\".  errno = 21.\n");
}

}  // namespace
