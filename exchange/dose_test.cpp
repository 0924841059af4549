// get_dose and put_dose against real files.
#include "exchange/exchange.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <ctime>
#include <unistd.h>

namespace {

struct DoseTest : ::testing::Test {
    std::string dir = make_scratch_dir();
    std::string ini = write_host_ini(dir);
    std::string dose = dir + "/dosdose.dat";

    // Runs put_dose in a child process that `prepare` has made ready (false:
    // it could not); true when the write failed with the one message `told`
    // (or, with `told` empty, succeeded without a message).
    template <typename Prepare>
    bool put_dose_fails_in_child(Prepare prepare, const std::string& told) {
        pid_t child = fork();
        if (child < 0) return false;
        if (child == 0) {
            if (!prepare()) _exit(2);
            box_script boxes;
            register_set rs;
            rs.MEM2 = std::string(5000, 'n');
            const int written = put_dose(ini.c_str(), rs, 0);
            if (told.empty()) _exit(written == 1 && boxes.shown.empty() ? 0 : 1);
            _exit(written == 0 && boxes.shown.size() == 1 && boxes.shown[0].text == told ? 0 : 1);
        }
        int status = 0;
        return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
};

TEST_F(DoseTest, ReadsEveryRegisterAndWritesThemBackRounded) {
    box_script boxes;
    write_file(dose, standard_dose("0.1234567890123456", "1", "free text, kept"));
    register_set rs;
    ASSERT_EQ(get_dose(ini.c_str(), rs, 0), 1);
    EXPECT_EQ(rs.MEM, 0.1234567890123456);
    EXPECT_EQ(rs.MEM1, 1);
    EXPECT_EQ(rs.MEM2, "free text, kept");
    EXPECT_EQ(rs.M[0], 1);
    EXPECT_EQ(rs.M[19], 20);
    EXPECT_EQ(rs.result_kind, RESULT_NONE);
    ASSERT_EQ(put_dose(ini.c_str(), rs, 0), 1);
    EXPECT_EQ(read_file(dose), standard_dose("0.123456789012", "1", "free text, kept"));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"dosdose.dat", "vornax.ini"}));
}

TEST_F(DoseTest, TellsWhichLineIsMissing) {
    struct missing_case {
        int lines;
        const char* what;
    };
    const missing_case cases[] = {
        {0, "MEM"}, {1, "MEM1"}, {2, "MEM2"}, {3, "M[1]"}, {22, "M[20]"},
    };
    for (const missing_case& c : cases) {
        box_script boxes;
        std::string text;
        for (int i = 0; i < c.lines; ++i) text += "5\r\n";
        write_file(dose, text);
        register_set rs;
        EXPECT_EQ(get_dose(ini.c_str(), rs, 0), 0) << c.what;
        ASSERT_EQ(boxes.shown.size(), 1u) << c.what;
        EXPECT_EQ(boxes.shown[0].text, std::string("Cannot get ") + c.what + " from \"" + dose + "\".");
        EXPECT_EQ(boxes.shown[0].caption, "Error");
        EXPECT_EQ(boxes.shown[0].style, 0x2010u);
        if (c.lines >= 1) {
            EXPECT_EQ(rs.MEM, 5);  // read before the missing line
        }
    }
}

TEST_F(DoseTest, ReadsWholeLinesHoweverLong) {
    box_script boxes;
    std::string long_text(10000, 'm');
    std::string long_number = std::string(5000, ' ') + "7";
    std::string text = "1\r\n" + long_number + "\r\n" + long_text + "\r\n";
    for (int i = 1; i <= 20; ++i) text += std::to_string(i) + "\r\n";
    write_file(dose, text);
    register_set rs;
    ASSERT_EQ(get_dose(ini.c_str(), rs, 0), 1);
    EXPECT_EQ(rs.MEM1, 7);
    EXPECT_EQ(rs.MEM2, long_text);
    EXPECT_EQ(rs.M[19], 20);
}

TEST_F(DoseTest, KeepsMem2AsWrittenAndLosesExtraLines) {
    box_script boxes;
    std::string text = standard_dose("1", "2", "a\rb") + "volts\r\n2.5\r\n";
    write_file(dose, text);
    register_set rs;
    ASSERT_EQ(get_dose(ini.c_str(), rs, 0), 1);
    EXPECT_EQ(rs.MEM2, "a\rb");
    ASSERT_EQ(put_dose(ini.c_str(), rs, 0), 1);
    EXPECT_EQ(read_file(dose), standard_dose("1", "2", "a\rb"));

    write_file(dose, standard_dose("1", "2", ""));
    ASSERT_EQ(get_dose(ini.c_str(), rs, 0), 1);
    EXPECT_EQ(rs.MEM2, "");
}

TEST_F(DoseTest, InfinityReadsBackAsWritten) {
    box_script boxes;
    write_file(dose, standard_dose("1", "1", "x"));
    register_set rs;
    ASSERT_EQ(get_dose(ini.c_str(), rs, 0), 1);
    rs.MEM = HUGE_VAL;
    rs.M[0] = -HUGE_VAL;
    ASSERT_EQ(put_dose(ini.c_str(), rs, 0), 1);
    register_set back;
    ASSERT_EQ(get_dose(ini.c_str(), back, 0), 1);
    EXPECT_EQ(back.MEM, HUGE_VAL);
    EXPECT_EQ(back.M[0], -HUGE_VAL);
}

TEST_F(DoseTest, ExtendedExchangesAll255Registers) {
    box_script boxes;
    std::string text = "1\r\n2\r\nx\r\n";
    for (int i = 1; i <= 255; ++i) text += std::to_string(i * 0.5) + "\r\n";
    write_file(dose, text);
    register_set rs;
    EXPECT_EQ(get_dose(ini.c_str(), rs, 0), 1);
    EXPECT_EQ(rs.M[20], 0);  // the standard exchange stops at M 20
    ASSERT_EQ(get_dose(ini.c_str(), rs, 1), 1);
    EXPECT_EQ(rs.M[254], 127.5);
    ASSERT_EQ(put_dose(ini.c_str(), rs, 1), 1);
    std::string back = read_file(dose);
    EXPECT_EQ(std::count(back.begin(), back.end(), '\n'), 258);
    EXPECT_NE(back.find("\r\n127.5\r\n"), std::string::npos);
}

TEST_F(DoseTest, WritesTheResultSectionByKind) {
    struct result_case {
        int kind;
        const char* tail;
    };
    const result_case cases[] = {
        {RESULT_PASS, "volts\r\nPASS\r\n"},
        {RESULT_FAIL, "volts\r\nFAIL\r\n"},
        {RESULT_NUMBER, "volts\r\n2.5\r\n"},
        {7, "volts\r\n"},
        {RESULT_NONE, ""},
    };
    for (const result_case& c : cases) {
        box_script boxes;
        register_set rs;
        rs.MEM2 = "x";
        rs.result_text = "volts";
        rs.result_value = 2.5;
        rs.result_kind = c.kind;
        ASSERT_EQ(put_dose(ini.c_str(), rs, 0), 1);
        std::string base = "0\r\n0\r\nx\r\n";
        for (int i = 0; i < 20; ++i) base += "0\r\n";
        EXPECT_EQ(read_file(dose), base + c.tail) << c.kind;
    }
}

TEST_F(DoseTest, ReadsNoFurtherThanACtrlZ) {
    box_script boxes;
    write_file(dose, "1\r\n2\r\nab\x1A" "cd\r\n3\r\n");
    register_set rs;
    EXPECT_EQ(get_dose(ini.c_str(), rs, 0), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Cannot get M[1] from \"" + dose + "\".");
    EXPECT_EQ(rs.MEM2, "ab");
}

TEST_F(DoseTest, CannotOpenForReading) {
    box_script boxes;
    register_set rs;
    EXPECT_EQ(get_dose(ini.c_str(), rs, 0), 0);
    ASSERT_EQ(mkdir(dose.c_str(), 0755), 0);  // a directory reads as unreadable
    EXPECT_EQ(get_dose(ini.c_str(), rs, 0), 0);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "Cannot open \"" + dose + "\" for reading.");
    EXPECT_EQ(boxes.shown[1].text, "Cannot open \"" + dose + "\" for reading.");
}

TEST_F(DoseTest, CannotOpenForWritingLeavesNothing) {
    box_script boxes;
    std::string gone = dir + "/gone";
    write_file(ini, "[Startup]\nprocdir=p\nuser_data_dir=" + gone + "\n");
    register_set rs;
    EXPECT_EQ(put_dose(ini.c_str(), rs, 0), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Cannot open \"" + gone + "/dosdose.dat\" for writing.");
}

TEST_F(DoseTest, KeepsTheFilesAccessRights) {
    box_script boxes;
    write_file(dose, standard_dose("1", "1", "x"));
    ASSERT_EQ(chmod(dose.c_str(), 0640), 0);
    register_set rs;
    ASSERT_EQ(put_dose(ini.c_str(), rs, 0), 1);
    struct stat st;
    ASSERT_EQ(stat(dose.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(DoseTest, ReplacingADirectoryFailsAndCleansUp) {
    box_script boxes;
    ASSERT_EQ(mkdir(dose.c_str(), 0755), 0);
    write_file(dose + "/keep", "k");
    register_set rs;
    EXPECT_EQ(put_dose(ini.c_str(), rs, 0), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Cannot write \"" + dose + "\".");
    EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"dosdose.dat", "vornax.ini"}));
}

// The disk fills while the new file is written: a file-size limit in a child
// process makes the write fail for real, at the first byte and in the middle.
TEST_F(DoseTest, AFullDiskLeavesTheOldFileByteForByte) {
    const std::string old = standard_dose("42", "1", "old contents");
    for (rlim_t limit : {rlim_t(0), rlim_t(20)}) {
        write_file(dose, old);
        auto fill_disk_at = [limit] {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit lim{limit, limit};
            return setrlimit(RLIMIT_FSIZE, &lim) == 0;
        };
        EXPECT_TRUE(put_dose_fails_in_child(fill_disk_at, "Cannot write \"" + dose + "\".")) << limit;
        EXPECT_EQ(read_file(dose), old) << limit;
        EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"dosdose.dat", "vornax.ini"})) << limit;
    }
}

// A dosdose.dat its reader may not write is refused before anything is
// written, though the folder would let a rename replace it. The write runs
// in a child without root's rights (root may write any file).
TEST_F(DoseTest, AFileThisProcessMayNotWriteIsRefusedAtOnce) {
    const std::string old = standard_dose("42", "1", "read only");
    write_file(dose, old);
    ASSERT_EQ(chmod(dose.c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
    auto without_roots_rights = [] { return geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0); };
    EXPECT_TRUE(put_dose_fails_in_child(without_roots_rights,
                                        "Cannot open \"" + dose + "\" for writing."));
    EXPECT_EQ(read_file(dose), old);
    EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"dosdose.dat", "vornax.ini"}));
}

// A folder that lets this process add no file, with a dosdose.dat it may
// write (a locked-down exchange folder): the registers are written into the
// file itself rather than lost.
TEST_F(DoseTest, AFolderThatRefusesNewFilesStillLetsTheFileBeWritten) {
    write_file(dose, standard_dose("42", "1", "old"));
    ASSERT_EQ(chmod(dose.c_str(), 0666), 0);
    ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
    auto without_roots_rights = [] { return geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0); };
    EXPECT_TRUE(put_dose_fails_in_child(without_roots_rights, ""));
    chmod(dir.c_str(), 0755);
    std::string expected = "0\r\n0\r\n" + std::string(5000, 'n') + "\r\n";
    for (int i = 0; i < 20; ++i) expected += "0\r\n";
    EXPECT_EQ(read_file(dose), expected);
    EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"dosdose.dat", "vornax.ini"}));
}

// Owner and group of dosdose.dat stay as IT set them (VORNAX may run as
// another user than the procedure's helper).
TEST_F(DoseTest, KeepsTheFilesOwnerAndGroup) {
    if (geteuid() != 0) GTEST_SKIP() << "only root may give a file to another owner";
    box_script boxes;
    write_file(dose, standard_dose("1", "1", "x"));
    ASSERT_EQ(chown(dose.c_str(), 4321, 4322), 0);
    ASSERT_EQ(chmod(dose.c_str(), 0660), 0);
    register_set rs;
    ASSERT_EQ(put_dose(ini.c_str(), rs, 0), 1);
    struct stat st;
    ASSERT_EQ(stat(dose.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
}

// Killed runs leave their temporary files; the next write removes those a
// few minutes old and leaves a fresh one (a running write's, for all it
// knows) and anything that is not one of its names.
TEST_F(DoseTest, TemporaryFilesOfKilledRunsAreRemoved) {
    box_script boxes;
    write_file(dose, standard_dose("1", "1", "x"));
    for (const char* name : {"dosdose~k3f", "dosdose~new", "dosdose~abcd", "dosdose~A1B", "other~k3f"})
        write_file(dir + "/" + name, "left");
    for (const char* name : {"dosdose~k3f", "dosdose~abcd", "dosdose~A1B", "other~k3f"}) {
        const timespec old_times[2] = {{time(nullptr) - 300, 0}, {time(nullptr) - 300, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (dir + "/" + name).c_str(), old_times, 0), 0);
    }
    register_set rs;
    ASSERT_EQ(put_dose(ini.c_str(), rs, 0), 1);
    EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"dosdose.dat", "dosdose~A1B", "dosdose~abcd", "dosdose~new",
                                                       "other~k3f", "vornax.ini"}));
}

}  // namespace
