// Whole files mended or refused (mend_data_file), and tallix-check --fix on
// real files: what it prints, what it writes, and that it never writes
// over its input or when the mend is refused.
#include "check/check.h"
#include "check/mend.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Files mended: the text written and the changes told, line by line.
TEST(MendFile, MendedAsMeant) {
    const struct {
        std::string in, out;
        std::vector<std::string> changes;  // "<line>: <text>"
    } cases[] = {
        {"sep=;\r\nAsset;Nominal;Value\r\n# made 2026\r\nA7;10;10,00013\r\n", "A7\t10\t10.00013\r\n",
         {"0: cells separated by semicolons written with tabs", "1: separator line dropped: \"sep=;\"",
          "2: header row dropped: \"Asset;Nominal;Value\"", "3: comment dropped: \"# made 2026\"",
          "4: \"10,00013\" -> 10.00013"}},
        {"\"A7\";\"10,5\";\"1.000,25\"\n\"B1\";1;2\n", "A7\t10.5\t1000.25\r\nB1\t1\t2\r\n",
         {"0: LF line ends written as CR LF", "0: cells separated by semicolons written with tabs",
          "0: quotes around cells removed on 2 lines", "1: \"10,5\" -> 10.5", "1: \"1.000,25\" -> 1000.25"}},
        {"A7 10 (0.5)\rREM x\rB2 1 \xE2\x88\x92" "2\r", "A7 10 -0.5\r\nB2 1 -2\r\n",
         {"0: UTF-8 text written as Windows-1252", "0: CR line ends written as CR LF", "1: \"(0.5)\" -> -0.5",
          "2: comment dropped: \"REM x\"", "3: \"<U+2212>2\" -> -2"}},
        {"A7\t1\t1'000.5\r\nA8\t2\t2\xA0" "000.25\r\n\x1A", "A7\t1\t1000.5\r\nA8\t2\t2000.25\r\n",
         {"0: Ctrl-Z at the end dropped", "1: \"1'000.5\" -> 1000.5", "2: \"2\xA0" "000.25\" -> 2000.25"}},
        {"A7,10,10.5\r\n\"A8\",\"1\",\"2.5\",\"checked, ok\"\r\n", "A7,10,10.5\r\nA8,1,2.5,checked, ok\r\n",
         {"0: quotes around cells removed on 1 line"}},
        {"A7 10 10.5\r\nA7 10 10.5\r\n", "A7 10 10.5\r\nA7 10 10.5\r\n", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        mend_result r;
        ASSERT_EQ(mend_data_file(c.in, r), 1) << (r.refusals.empty() ? "" : r.refusals[0].text);
        EXPECT_EQ(r.text, c.out);
        std::vector<std::string> changes;
        for (const mend_note& n : r.changes) changes.push_back(std::to_string(n.line) + ": " + n.text);
        EXPECT_EQ(changes, c.changes);
    }
}

// Files refused: the lines that stop the mend and a word of the reason.
TEST(MendFile, RefusedWhereNotCertain) {
    const struct {
        std::string in;
        long line;
        const char* reason;
    } cases[] = {
        {"A7,10,10,00013\r\nA8,1,1,5\r\n", 1, "commas part the cells"},
        {"A7,10,-1,5\r\n", 1, "commas part the cells"},
        {"A7;10;1,000\r\nA8;2;2,500\r\n", 1, "no other number of the file shows"},
        {"A7\t10\t1.000\r\n", 1, "no other number of the file shows"},
        {"A7;1,5;1\r\nA8;2;2.25\r\n", 2, "do not agree"},
        {"A7;10;\r\nA8;1;1\r\n", 1, "no value"},
        {"A7;10;;3\r\nA8;1;1\r\n", 1, "value cell is empty"},
        {"A7;;10,5\r\n", 1, "nominal cell is empty"},
        {";10;10,5\r\nA8;1,5;1\r\n", 1, "asset cell is empty"},
        {"A7;10\r\n", 1, "no value"},
        {"A7;10;50,00%\r\n", 1, "percent"},
        {"A7;10;10,5V\r\n", 1, "unit"},
        {"A7 10 10.5\r\nB1 1 1\r\na7 10.0 10.6\r\n", 3, "line 1 records 10.5"},
        {"A7;10;10,5\r\nB1;\"2;2\r\n", 2, "quote is not closed"},
        {"A7 10 10.5\r\nA\xE2\x86\x92" "8 1 1\r\n", 2, "U+2192"},
        {"A7 10 10.5\x1A\r\nA8 1 1\r\n", 1, "Ctrl-Z"},
        {std::string("A7 10 1\0" "0\r\n", 11), 1, "NUL"},
        {"A7\xC2\xA0 10 10.5\r\n", 1, "U+00A0"},
        {"R6 2000 2 000.75\r\nR6 3000 3000.5\r\n", 1, "is read with value 2"},
        {"\xEF\xBB\xBF" "A7 1 1\r\nA8 \xFF 1\r\n", 2, "byte order mark"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        mend_result r;
        ASSERT_EQ(mend_data_file(c.in, r), 0) << r.text;
        EXPECT_EQ(r.text, "");
        EXPECT_TRUE(r.changes.empty());
        ASSERT_FALSE(r.refusals.empty());
        EXPECT_EQ(r.refusals[0].line, c.line) << r.refusals[0].text;
        EXPECT_NE(r.refusals[0].text.find(c.reason), std::string::npos) << r.refusals[0].text;
    }
}

struct ran {
    int status;
    std::string out, err;
};

ran fix(const std::string& in, const std::string& out) {
    const char* argv[] = {"tallix-check", "--fix", in.c_str(), out.c_str()};
    ran r;
    r.status = check_main(4, argv, r.out, r.err);
    return r;
}

TEST(FixCommand, WritesTheCopyTellsTheChangesAndChecksIt) {
    const std::string dir = make_scratch_dir();
    const std::string in = dir + "/export.csv", out = dir + "/refs.dat";
    write_file(in, "Asset;Nominal;Value\r\nA7;10;10,00013\r\n");
    write_file(out, "old\r\n");
    const ran r = fix(in, out);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(read_file(out), "A7\t10\t10.00013\r\n");
    EXPECT_EQ(r.out, in + ": cells separated by semicolons written with tabs\n" + in +
                         ":1: header row dropped: \"Asset;Nominal;Value\"\n" + in + ":2: \"10,00013\" -> 10.00013\n" +
                         in + ": 3 changes written to " + out + "\n" + out +
                         ": 1 line, 1 asset, 1 nominal, 0 errors, 0 warnings\n");
    EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"export.csv", "refs.dat"}));
}

TEST(FixCommand, RefusedWritesNothingAndCleanIsCopied) {
    const std::string dir = make_scratch_dir();
    const std::string in = dir + "/export.csv", out = dir + "/refs.dat";
    write_file(in, "A7;10;1,000\r\n");
    write_file(out, "old\r\n");
    ran r = fix(in, out);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(read_file(out), "old\r\n");
    EXPECT_NE(r.out.find(in + ":1: cannot mend: value \"1,000\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("nothing written to " + out), std::string::npos) << r.out;

    const std::string clean = "A7\t\t10\t\t10.00013\r\nA8\t\t1\t\t1.5\r\n";
    write_file(in, clean);
    r = fix(in, out);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(read_file(out), clean);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), in + ": already clean: copied unchanged to " + out);
}

TEST(FixCommand, NeverOverItsInput) {
    const std::string dir = make_scratch_dir();
    const std::string in = dir + "/export.csv";
    write_file(in, "A7;10;10,5\r\n");
    for (const std::string& out : {in, dir + "/./export.csv", dir + "/dosdose.dat"}) {
        const ran r = fix(in, out);
        EXPECT_EQ(r.status, 2) << out;
        EXPECT_EQ(r.err.rfind("tallix-check: --fix writes its copy to another file than ", 0), 0u) << r.err;
        EXPECT_EQ(read_file(in), "A7;10;10,5\r\n");
    }
    EXPECT_FALSE(file_exists(dir + "/dosdose.dat"));
    const char* argv[] = {"tallix-check", "--fix", "a.csv"};
    ran r;
    r.status = check_main(3, argv, r.out, r.err);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "tallix-check: --fix takes IN OUT, 1 given");
}

}  // namespace
