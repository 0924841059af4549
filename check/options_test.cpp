// The command line of tallix-check: usage errors, the exit statuses, and
// the summaries of one and several files.
#include "check/check.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct ran {
    int status;
    std::string out, err;
};

ran run(std::vector<std::string> args) {
    args.insert(args.begin(), "tallix-check");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    ran r;
    r.status = check_main(int(argv.size()), argv.data(), r.out, r.err);
    return r;
}

TEST(CheckMain, UsageErrorsNameTheProblem) {
    const struct {
        std::vector<std::string> args;
        std::string first_line;
    } cases[] = {
        {{}, "tallix-check: no data file given"},
        {{"--"}, "tallix-check: no data file given"},
        {{"-x", "a.dat"}, "tallix-check: unknown option '-x'"},
        {{"a.dat", "--verbose"}, "tallix-check: unknown option '--verbose'"},
        {{"--lookup", "A7", "10"}, "tallix-check: --lookup takes ASSET NOMINAL FILE, 2 given"},
        {{"--lookup", "A7", "10", "a.dat", "b.dat"},
         "tallix-check: --lookup takes ASSET NOMINAL FILE, 4 given"},
        {{"a.dat", "--lookup", "A7", "10", "a.dat"},
         "tallix-check: --lookup must come first: --lookup ASSET NOMINAL FILE"},
    };
    for (const auto& c : cases) {
        const ran r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.first_line;
        EXPECT_EQ(r.out, "") << c.first_line;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.first_line);
        EXPECT_NE(r.err.find("usage: tallix-check FILE..."), std::string::npos) << c.first_line;
    }
}

TEST(CheckMain, HelpAndVersion) {
    const ran help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: tallix-check FILE...\n", 0), 0u);
    EXPECT_NE(help.out.find("--lookup ASSET NOMINAL FILE"), std::string::npos);
    EXPECT_EQ(help.err, "");
    const ran version = run({"a.dat", "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tallix-check " TALLIX_EXPECTED_VERSION "\n");
}

struct CheckFiles : ::testing::Test {
    std::string dir = make_scratch_dir();
    std::string good = dir + "/good.dat";
    std::string bad = dir + "/bad.dat";
    void SetUp() override {
        write_file(good, "A7 10 10.00013\r\nAB12 5 5.01\r\n");
        write_file(bad, "AB12 10\r\nAB12 10 1\r\n");
    }
};

TEST_F(CheckFiles, ExitStatusFollowsTheWorstFinding) {
    const ran clean = run({good});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out, good + ": 2 lines, 2 assets, 2 nominals, 0 errors, 0 warnings\n");
    EXPECT_EQ(clean.err, "");

    const ran errors = run({bad});
    EXPECT_EQ(errors.status, 1);
    EXPECT_EQ(errors.out,
              bad + ":1: error: AB12 at 10 has no value; its lookup stops here with \"Can't get "
                    "value.\"\n" +
                  bad + ":2: warning: AB12 at 10 can never be found: a lookup of AB12 at 10 takes "
                        "line 1 (nominal 10) first\n" +
                  bad + ": 2 lines, 1 asset, 0 nominals, 1 error, 1 warning\n");

    write_file(good, "AB12 10 10.02 V\nA7 10 10.000 13\n");
    const ran warned = run({good});
    EXPECT_EQ(warned.status, 0) << "warnings alone do not fail a file";
    EXPECT_NE(warned.out.find(":1: warning: "), std::string::npos) << warned.out;
}

TEST_F(CheckFiles, SeveralFilesEachWithASummaryAndATotal) {
    const std::string missing = dir + "/none.dat";
    const ran r = run({good, missing, bad});
    EXPECT_EQ(r.status, 2) << "a file that cannot be read outweighs errors";
    EXPECT_EQ(r.err, "tallix-check: Can't open \"" + missing + "\".  No such file or directory.\n");
    const std::string summaries[] = {
        good + ": 2 lines, 2 assets, 2 nominals, 0 errors, 0 warnings\n",
        bad + ": 2 lines, 1 asset, 0 nominals, 1 error, 1 warning\n",
        "total of 3 files: 4 lines, 3 assets, 2 nominals, 1 error, 1 warning\n",
    };
    std::size_t at = 0;
    for (const std::string& s : summaries) {
        const std::size_t found = r.out.find(s, at);
        ASSERT_NE(found, std::string::npos) << s;
        at = found + s.size();
    }
    EXPECT_EQ(at, r.out.size());
    EXPECT_EQ(r.out.find(missing), std::string::npos);

    const ran both = run({good, bad});
    EXPECT_EQ(both.status, 1);
}

TEST_F(CheckFiles, DoubleDashLetsANameStartWithADash) {
    const std::string dashed = dir + "/-x.dat";
    write_file(dashed, "A7 10 1\n");
    // Relative names, so that the dash is the first character.
    const ran r = run({"--", "-x.dat"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tallix-check: Can't open \"-x.dat\".  No such file or directory.\n");
    const ran direct = run({"--", dashed});
    EXPECT_EQ(direct.status, 0);
}

TEST_F(CheckFiles, LookupModeEndsAsTallixWould) {
    const ran found = run({"--lookup", "ab12", "5", good});
    EXPECT_EQ(found.status, 0);
    EXPECT_EQ(found.out, good + ":2: AB12 5 5.01\nvalue: 5.01\n");
    const ran failed = run({"--lookup", "AB12", "10", bad});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, bad + ":1: AB12 10\nmessage: Can't get value.\n");
    // tallix cuts "AB12,5,10" into AB12 at 5 (10 ignored) and finds 5.01;
    // "AB12 5,10" it refuses: 5,10 is one argument and no number.
    const ran cut = run({"--lookup", "AB12,5,10", "", good});
    EXPECT_EQ(cut.status, 0);
    EXPECT_EQ(cut.out, "cut: tallix reads \"AB12,5,10 \" as asset \"AB12\" and nominal \"5\"; \"10 \" is ignored\n" +
                           good + ":2: AB12 5 5.01\nvalue: 5.01\n");
    const ran refused = run({"--lookup", "AB12", "5,10", good});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "message: \"5,10\" contains an invalid NR3 number.\n");
}

// --lookup with its arguments in another order than ASSET NOMINAL FILE:
// the data file first or in the middle, or tallix's own order with the
// initialization file. Each is refused with the order to type, whatever
// the file is called and however the nominal is written.
TEST_F(CheckFiles, LookupArgumentsInAnotherOrderAreRefusedWithTheRightOrder) {
    const std::string bare = dir + "/refs";  // no extension: known by being there
    write_file(bare, "A7 10 10.00013\n");
    const std::vector<std::string> files = {"refs.dat", "REFS.DAT", "data/refs.txt", "C:\\lab\\refs.csv", bare};
    const std::vector<std::pair<std::string, std::string>> lookups = {
        {"A7", "10"}, {"AB12", "0.5"}, {"C301", "-1e-3"}, {"4711", "0,5"}, {"X", ".5"}};
    for (std::size_t f = 0; f < files.size(); ++f) {
        const std::string& file = files[f];
        const std::string& asset = lookups[f].first;
        const std::string& nominal = lookups[f].second;
        const std::string right = "; type: tallix-check --lookup " + asset + " " + nominal + " " + file;
        const std::string last = "tallix-check: --lookup takes ASSET NOMINAL FILE, the data file \"" + file + "\" last";
        const struct {
            std::vector<std::string> args;
            std::string first_line;
        } cases[] = {
            {{"--lookup", file, asset, nominal}, last + right},
            {{"--lookup", asset, file, nominal}, last + right},
            {{"--lookup", "vornax.ini", file, asset, nominal},
             "tallix-check: --lookup takes ASSET NOMINAL FILE, not tallix's INI FILE ASSET NOMINAL: no "
             "initialization file" + right},
        };
        for (const auto& c : cases) {
            const ran r = run(c.args);
            EXPECT_EQ(r.status, 2) << c.first_line;
            EXPECT_EQ(r.out, "") << c.first_line;
            EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.first_line);
        }
        // In the right order the lookup runs, whatever the file's name.
        const ran right_order = run({"--lookup", asset, nominal, file});
        EXPECT_EQ(right_order.err, "") << file;
    }
    // Arguments that name no file where FILE stands are looked up as given.
    const ran plain = run({"--lookup", "A7", "10", bare});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.err, "");
}

// The register exchange file among data files (as `*.dat` takes it in) is
// skipped with a note, by its name in any case or by its shape, and does
// not count as a file with errors.
TEST_F(CheckFiles, TheRegisterExchangeFileIsSkipped) {
    auto registers = [](const std::string& mem2, const std::string& end) {
        std::string text = "10.00013" + end + "1" + end + mem2 + end;
        for (int i = 0; i < 20; ++i) text += (i % 3 ? "0" : i % 2 ? "-2.25" : "1.#INF") + end;
        return text;
    };
    const struct {
        std::string name, text;
        bool skipped;
    } cases[] = {
        {"dosdose.dat", registers("CAL-0042 step 7", "\r\n"), true},
        {"DOSDOSE.DAT", registers("A7 10 10.00013", "\n"), true},
        {"DosDose.Dat", "0\r\n-1\r\n", true},                            // short, but by its name
        {"copy-of-registers.dat", registers("", "\r\n"), true},           // by its shape
        {"copy-of-data.dat", registers("x", "\r\n").substr(10), false},  // a line short: no register file
        {"dosdose.dat.bak", registers("x", "\r\n"), true},                // by its shape
        {"dosdose.dat.bak", "0\r\n-1\r\n", false},                        // neither
        {"dosdose.dat", "A7 10 10,00013\r\n", false},  // a data file whatever its name
    };
    for (const auto& c : cases) {
        const std::string sub = make_scratch_dir();
        const std::string path = sub + "/" + c.name;
        write_file(path, c.text);
        const ran r = run({path, good});
        const std::string note = path + ": skipped: VORNAX's register exchange file, not a data file\n";
        EXPECT_EQ(r.out.rfind(note, 0) == 0, c.skipped) << c.name << "\n" << r.out;
        EXPECT_EQ(r.err, "") << c.name;
        if (c.skipped) {
            EXPECT_EQ(r.status, 0) << c.name;
            EXPECT_EQ(r.out, note + good + ": 2 lines, 2 assets, 2 nominals, 0 errors, 0 warnings\n") << c.name;
        } else {
            EXPECT_NE(r.out.find("total of 2 files"), std::string::npos) << c.name << "\n" << r.out;
        }
    }
}

}  // namespace
