// put_dose where POSIX systems decide: rights, owners, a full disk, a
// locked folder, leftovers of killed runs.
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

struct DosePosixTest : ::testing::Test {
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

TEST_F(DosePosixTest, KeepsTheFilesAccessRights) {
    box_script boxes;
    write_file(dose, standard_dose("1", "1", "x"));
    ASSERT_EQ(chmod(dose.c_str(), 0640), 0);
    register_set rs;
    ASSERT_EQ(put_dose(ini.c_str(), rs, 0), 1);
    struct stat st;
    ASSERT_EQ(stat(dose.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// The disk fills while the new file is written: a file-size limit in a child
// process makes the write fail for real, at the first byte and in the middle.
TEST_F(DosePosixTest, AFullDiskLeavesTheOldFileByteForByte) {
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
TEST_F(DosePosixTest, AFileThisProcessMayNotWriteIsRefusedAtOnce) {
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
TEST_F(DosePosixTest, AFolderThatRefusesNewFilesStillLetsTheFileBeWritten) {
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

// The same locked-down folder, and the disk fills while dosdose.dat is
// written in place, after every number of bytes in turn. The old file is
// gone then, but what is left must never read as this run's value with
// MEM1 = 1: it is empty or a start of the registers with MEM1 = -1, until
// the disk holds the whole file.
TEST_F(DosePosixTest, AnInPlaceWriteStoppedAnywhereNeverLeavesAFoundFlag) {
    const std::string found = standard_dose("10.00013", "1", "m");
    const std::string not_yet = standard_dose("10.00013", "-1", "m");
    const std::string old = standard_dose("10.00013", "1", "left by VORNAX");
    for (std::size_t limit = 0; limit <= not_yet.size(); ++limit) {
        chmod(dir.c_str(), 0755);
        write_file(dose, old);
        ASSERT_EQ(chmod(dose.c_str(), 0666), 0);
        ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit lim{rlim_t(limit), rlim_t(limit)};
            if (setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(2);
            box_script boxes;
            register_set rs;
            rs.MEM = 10.00013;
            rs.MEM1 = 1;
            rs.MEM2 = "m";
            for (int i = 0; i < 20; ++i) rs.M[i] = i + 1;
            _exit(put_dose(ini.c_str(), rs, 0) == 1 ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << limit;
        chmod(dir.c_str(), 0755);
        const std::string left = read_file(dose);
        if (limit == not_yet.size()) {
            EXPECT_EQ(WEXITSTATUS(status), 0) << limit;
            EXPECT_EQ(left, found) << limit;
        } else {
            EXPECT_EQ(WEXITSTATUS(status), 1) << limit;
            EXPECT_EQ(left, not_yet.substr(0, limit)) << limit;
            box_script boxes;
            register_set rs;
            if (get_dose(ini.c_str(), rs, 0) == 1) {
                EXPECT_NE(rs.MEM1, 1.0) << limit;
            }
        }
        EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"dosdose.dat", "vornax.ini"})) << limit;
    }
}

// Owner and group of dosdose.dat stay as IT set them (VORNAX may run as
// another user than the procedure's helper).
TEST_F(DosePosixTest, KeepsTheFilesOwnerAndGroup) {
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
TEST_F(DosePosixTest, TemporaryFilesOfKilledRunsAreRemoved) {
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
