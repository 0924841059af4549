// The command line and whole lookup runs, with scripted message boxes.
#include "lookup/lookup.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(CommandLine, CutsAtRunsOfSpacesAndCommas) {
    struct cut_case {
        const char* line;
        std::vector<std::string> args;
    };
    const cut_case cases[] = {
        {"a.ini refs.dat AB12 10", {"a.ini", "refs.dat", "AB12", "10"}},
        {"a.ini,refs.dat,AB12,10", {"a.ini", "refs.dat", "AB12", "10"}},
        {"a.ini, refs.dat ,AB12 10", {"a.ini", "refs.dat", "AB12", "10"}},
        {"  ,a.ini refs.dat AB12 10 fifth sixth", {"a.ini", "refs.dat", "AB12", "10"}},
        {"a\tb \"c d\"", {"a\tb", "\"c", "d\""}},
        {"", {}},
        {" , ,", {}},
        {"only", {"only"}},
    };
    for (const cut_case& c : cases) {
        std::string text = c.line;
        const char* args[4];
        int n = cut_arguments(text, args);
        std::vector<std::string> got(args, args + n);
        EXPECT_EQ(got, c.args) << c.line;
        for (int k = n; k < 4; ++k) EXPECT_EQ(args[k], nullptr);
    }
}

struct RunTest : ::testing::Test {
    std::string dir = make_scratch_dir();
    std::string ini = write_host_ini(dir);
    std::string dose = dir + "/dosdose.dat";
    std::string data = dir + "/refs.dat";

    std::vector<std::string> texts(const box_script& b) {
        std::vector<std::string> t;
        for (const shown_box& s : b.shown) t.push_back(s.caption + ": " + s.text);
        return t;
    }
};

TEST_F(RunTest, AFoundValueIsHandedBack) {
    box_script boxes;
    write_file(dose, standard_dose("0", "1", "keep me"));
    write_file(data, "A7 10 10.00013\r\n");
    EXPECT_EQ(tallix_entry((ini + " " + data + " A7 10").c_str()), 0);
    EXPECT_EQ(read_file(dose), standard_dose("10.00013", "1", "keep me"));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(RunTest, RetryReadsTheMendedFileAgain) {
    box_script boxes({OUTCOME_RETRY, OUTCOME_RETRY});
    write_file(dose, standard_dose("0", "1", "m"));
    write_file(data, "A7 5 1\n");
    // The first report rewrites the file with MEM1 = -1; the scripted
    // answers cannot mend the data file, so the second try fails the same
    // way and the third answer (none left) gives up.
    EXPECT_EQ(tallix_entry((ini + " " + data + " A7 10").c_str()), 1);
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(read_file(dose), standard_dose("5", "-1", "m"));
}

TEST_F(RunTest, MissingArgumentsAreToldAndClearTheSuccessFlag) {
    struct missing_case {
        std::string line;
        std::string text;
    };
    const missing_case cases[] = {
        {ini, "Data file name required!"},
        {ini + " " + data, "Asset number required!"},
        {ini + " " + data + " A7", "Nominal value required!"},
    };
    for (const missing_case& c : cases) {
        box_script boxes({OUTCOME_FOUND});
        write_file(dose, standard_dose("8", "1", "m"));
        EXPECT_EQ(tallix_entry(c.line.c_str()), 1);
        EXPECT_EQ(texts(boxes), (std::vector<std::string>{"TALLIX Error: " + c.text}));
        EXPECT_EQ(boxes.shown[0].style, 0x2010u);
        EXPECT_EQ(read_file(dose), standard_dose("8", "-1", "m"));
    }
}

TEST_F(RunTest, WithoutAnInitializationFileNothingIsWritten) {
    box_script boxes;
    EXPECT_EQ(tallix_entry(""), 1);
    EXPECT_EQ(texts(boxes), (std::vector<std::string>{"TALLIX Error: VORNAX initialization file name required!"}));
}

TEST_F(RunTest, AnInvalidNominalEndsTheRunWhateverTheAnswer) {
    for (int answer : {OUTCOME_RETRY, OUTCOME_GIVE_UP}) {
        box_script boxes({answer});
        write_file(dose, standard_dose("8", "1", "m"));
        write_file(data, "A7 10 1\n");
        EXPECT_EQ(tallix_entry((ini + " " + data + " A7 10V").c_str()), 1);
        EXPECT_EQ(texts(boxes), (std::vector<std::string>{"TALLIX Error: \"10V\" contains an invalid NR3 number."}));
        EXPECT_EQ(boxes.shown[0].style, 0x2035u);
        EXPECT_EQ(read_file(dose), standard_dose("8", "-1", "m"));
    }
}

TEST_F(RunTest, AnUnreadableExchangeFileIsAnInternalError) {
    box_script boxes;
    write_file(data, "A7 10 1\n");
    EXPECT_EQ(tallix_entry((ini + " " + data + " A7 10").c_str()), 1);
    EXPECT_EQ(texts(boxes), (std::vector<std::string>{
                                "Error: Cannot open \"" + dose + "\" for reading.",
                                "TALLIX Internal Error: Function <get_dose> failed!"}));
    EXPECT_FALSE(file_exists(dose));
}

// A value that never reached dosdose.dat is no value found: VORNAX would
// read the registers it wrote before the call, with a previous lookup's
// MEM1 = 1 and MEM.
TEST_F(RunTest, AFailedFinalWriteEndsWithStatusOne) {
    write_file(dose, standard_dose("0", "1", "m"));
    write_file(data, "A7 10 2\n");
    std::string line = ini + " " + data + " A7 10";
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        box_script boxes;
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit none{0, 0};
        setrlimit(RLIMIT_FSIZE, &none);  // reading works, writing fails
        int status = tallix_entry(line.c_str());
        bool told = texts(boxes) == std::vector<std::string>{
                                        "Error: Cannot write \"" + dose + "\".",
                                        "TALLIX Internal Error: Function <put_dose> failed!"};
        _exit(status == 1 && told ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(read_file(dose), standard_dose("0", "1", "m"));
}

// An OK that reaches a Retry/Cancel box (or any other answer but Retry) is
// giving up: it never turns a failed search into a value found.
TEST_F(RunTest, OnlyRetryOrGiveUpComeBackFromARetryCancelBox) {
    struct report_case {
        const char* name;
        const char* data;  // nullptr: no data file
        std::string text;
        const char* mem;   // MEM written with MEM1 = -1
    };
    const report_case cases[] = {
        {"invalid value", "A7 10 10.5V\n", "\"10.5V\" contains an invalid NR3 number.", "10.5"},
        {"invalid nominal", "A7 ten 1\n", "\"ten\" contains an invalid NR3 number.", "0"},
        {"no value", "A7 10\n", "Can't get value.", "10"},
        {"nothing found", "B2 10 3\n", "No value found for A7 at 10 in file:  \"" + data + "\"", "1.5"},
        {"cannot open", nullptr, "Can't open \"" + data + "\".  No such file or directory.", "1.5"},
    };
    for (const report_case& c : cases) {
        for (int answer : {int(OUTCOME_FOUND), 0, 3, 7, -1}) {
            box_script boxes({answer});
            write_file(dose, standard_dose("1.5", "1", "m"));
            std::remove(data.c_str());
            if (c.data) write_file(data, c.data);
            EXPECT_EQ(tallix_entry((ini + " " + data + " A7 10").c_str()), 1) << c.name << answer;
            EXPECT_EQ(texts(boxes), (std::vector<std::string>{"TALLIX Error: " + c.text})) << c.name << answer;
            EXPECT_EQ(read_file(dose), standard_dose(c.mem, "-1", "m")) << c.name << answer;
        }
    }
}

}  // namespace
