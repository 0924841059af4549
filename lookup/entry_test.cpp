// The command line and whole lookup runs, with scripted message boxes.
#include "lookup/run.h"
#include "platform/platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

// Another program rewrites the data file while the search reads it. Every
// fread of this test program goes through here (the program's own
// definition comes before the C library's); after the first read of each
// opening of the file `g_rewrite_path`, the file is rewritten in place with
// the next of `g_rewrites`, so that the next read meets another version.
namespace {
std::string g_rewrite_path;
std::vector<std::string> g_rewrites;
std::size_t g_rewritten = 0;

bool reads_rewritten_file(std::FILE* f) {
    if (g_rewrite_path.empty() || g_rewritten >= g_rewrites.size()) return false;
    struct stat a, b;
    return fstat(fileno(f), &a) == 0 && stat(g_rewrite_path.c_str(), &b) == 0 && a.st_ino == b.st_ino &&
           a.st_dev == b.st_dev;
}
}  // namespace

extern "C" std::size_t fread(void* data, std::size_t size, std::size_t count, std::FILE* f) {
    using fread_fn = std::size_t (*)(void*, std::size_t, std::size_t, std::FILE*);
    static const fread_fn real = reinterpret_cast<fread_fn>(dlsym(RTLD_NEXT, "fread"));
    const bool first = reads_rewritten_file(f) && ftello(f) == 0;
    const std::size_t got = real(data, size, count, f);
    if (first) {
        std::FILE* w = std::fopen(g_rewrite_path.c_str(), "r+b");  // in place: the same file
        const std::string& next = g_rewrites[g_rewritten++];
        std::fwrite(next.data(), 1, next.size(), w);
        (void)ftruncate(fileno(w), off_t(next.size()));
        std::fclose(w);
    }
    return got;
}

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
        // A nominal with a decimal comma or thousands separators, after a
        // blank: one argument, which is then no number.
        {"a.ini refs.dat AB12 0,5", {"a.ini", "refs.dat", "AB12", "0,5"}},
        {"a.ini refs.dat AB12 -1,000,000.25 fifth", {"a.ini", "refs.dat", "AB12", "-1,000,000.25"}},
        {"a.ini,refs.dat,AB12 10,5e3,x", {"a.ini", "refs.dat", "AB12", "10,5e3"}},
        {"a.ini refs.dat,AB12\t 2,000V", {"a.ini", "refs.dat", "AB12\t", "2,000V"}},
        // Commas alone before it, or nothing like a number: cut as always.
        {"a.ini,refs.dat,AB12,0,5", {"a.ini", "refs.dat", "AB12", "0"}},
        {"a.ini refs.dat AB12,0,5", {"a.ini", "refs.dat", "AB12", "0"}},
        {"a.ini refs.dat AB12 0,,5", {"a.ini", "refs.dat", "AB12", "0"}},
        {"a.ini refs.dat AB12 0, 5", {"a.ini", "refs.dat", "AB12", "0"}},
        {"a.ini refs.dat AB12 0,x5", {"a.ini", "refs.dat", "AB12", "0"}},
        {"a.ini refs.dat AB12 0.5,25", {"a.ini", "refs.dat", "AB12", "0.5"}},
        {"a.ini refs.dat AB12 ten,5", {"a.ini", "refs.dat", "AB12", "ten"}},
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

std::vector<unsigned> g_pauses;
void record_pause(unsigned ms) { g_pauses.push_back(ms); }

// A data file cut or rewritten between two reads of the search would give
// a value of no version of the file: the line "AB12 10 10.5" straddles the
// first block, and a file cut there ends in "AB12 10 1". A value is taken
// only from a version that stayed the same from the first read to the end.
TEST_F(RunTest, ADataFileThatChangesWhileItIsReadIsReadAgain) {
    const std::string pad = "X " + std::string(64 * 1024 - 2 - 2 - 9, 'p') + "\r\n";
    const std::string straddling = pad + "AB12 10 10.5\r\n";
    const std::string cut = straddling.substr(0, 64 * 1024);
    const std::string other = "AB12 10 20.25\r\n";
    struct change_case {
        const char* name;
        std::vector<std::string> rewrites;  // one after each read of the data file
        int status;
        std::string mem;
        std::vector<std::string> boxes;
        std::size_t pauses;
    };
    const std::string busy = "TALLIX Error: Can't open \"" + data + "\".  errno = 16.";
    const change_case cases[] = {
        {"unchanged", {}, 0, "10.5", {}, 0},
        {"cut after the first block, then left", {cut}, 0, "1", {}, 1},
        {"rewritten with another value", {other}, 0, "20.25", {}, 1},
        {"rewritten on every read", std::vector<std::string>(40, ""), 1, "", {busy}, DATA_FILE_READS - 1},
    };
    platform_set_pause_handler(record_pause);
    for (const change_case& c : cases) {
        box_script boxes({OUTCOME_GIVE_UP});
        write_file(dose, standard_dose("0", "1", "m"));
        write_file(data, straddling);
        // Every rewrite has another size, so that the change shows whatever
        // the file system's clock.
        g_rewrites = c.rewrites;
        for (std::size_t i = 0; i < g_rewrites.size(); ++i)
            if (g_rewrites[i].empty()) g_rewrites[i] = std::string(i + 1, '\n');
        g_rewritten = 0;
        g_rewrite_path = data;
        g_pauses.clear();
        const int status = tallix_entry((ini + " " + data + " AB12 10").c_str());
        g_rewrite_path.clear();
        EXPECT_EQ(status, c.status) << c.name;
        EXPECT_EQ(texts(boxes), c.boxes) << c.name;
        EXPECT_EQ(g_pauses.size(), c.pauses) << c.name;
        if (c.status == 0) {
            EXPECT_EQ(read_file(dose), standard_dose(c.mem, "1", "m")) << c.name;
        }
    }
    platform_set_pause_handler(nullptr);
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
