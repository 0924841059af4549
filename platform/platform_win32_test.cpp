// The Windows platform verbs on the real system calls (run under Wine in CI):
// the profile API as VORNAX's initialization file is read through it, and
// the temporary file and replacement that put_dose relies on.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::string make_scratch_dir() {
    static unsigned counter = 0;
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    for (;;) {
        std::string dir = std::string(base) + "tallix-unit-" + std::to_string(GetCurrentProcessId()) +
                          "-" + std::to_string(counter++);
        if (CreateDirectoryA(dir.c_str(), nullptr)) return dir;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return std::string();
    }
}

void write_file(const std::string& path, const std::string& content) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
}

std::string read_file(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "<absent>";
    std::string s;
    char buf[512];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

int count_files(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return n;
}

struct profile_case {
    const char* name;
    std::string content;
    const char* key;
    std::string value;
};

// The same rules the POSIX reader follows, checked on the system's own reader.
TEST(Win32Profile, ReadsVornaxKeysAsTheSystemDoes) {
    const profile_case cases[] = {
        {"plain", "[Startup]\r\nprocdir=C:\\P\r\n", "procdir", "C:\\P"},
        {"lf only", "[Startup]\nprocdir=C:\\P\n", "procdir", "C:\\P"},
        {"case of section and key", "[ STARTUP ]\r\nProcDir = x \r\n", "procdir", "x"},
        {"blanks trimmed", "[Startup]\r\n  procdir\t=\t a b \t\r\n", "procdir", "a b"},
        {"double quotes", "[Startup]\r\nprocdir=\" a \"\r\n", "procdir", " a "},
        {"single quotes", "[Startup]\r\nprocdir='a'\r\n", "procdir", "a"},
        {"unmatched quotes stay", "[Startup]\r\nprocdir=\"a'\r\n", "procdir", "\"a'"},
        {"first key wins", "[Startup]\r\nprocdir=1\r\nprocdir=2\r\n", "procdir", "1"},
        {"other section", "[Other]\r\nprocdir=1\r\n[Startup]\r\nprocdir=2\r\n", "procdir", "2"},
        {"key before any section", "procdir=1\r\n[Startup]\r\n", "procdir", ""},
        {"comment", "[Startup]\r\n;procdir=1\r\nprocdir=2\r\n", "procdir", "2"},
        {"empty value", "[Startup]\r\nprocdir=\r\n", "procdir", ""},
        {"equals in value", "[Startup]\r\nprocdir=a=b\r\n", "procdir", "a=b"},
        {"no final line end", "[Startup]\r\nprocdir=z", "procdir", "z"},
        {"cut at 259", "[Startup]\r\nprocdir=" + std::string(300, 'v') + "\r\n", "procdir",
         std::string(259, 'v')},
        {"missing key", "[Startup]\r\nprocdir=1\r\n", "user_cwd", ""},
    };
    const std::string dir = make_scratch_dir();
    int i = 0;
    for (const profile_case& c : cases) {
        // A new file each time: the system may keep a profile it has read.
        const std::string path = dir + "\\t" + std::to_string(i++) + ".ini";
        write_file(path, c.content);
        EXPECT_EQ(platform_profile_string(path.c_str(), "Startup", c.key), c.value) << c.name;
    }
}

TEST(Win32Profile, BareAndRelativeNamesAreFoundInTheCurrentFolder) {
    const std::string dir = make_scratch_dir();
    CreateDirectoryA((dir + "\\cfg").c_str(), nullptr);
    write_file(dir + "\\bare.ini", "[Startup]\r\nprocdir=here\r\n");
    write_file(dir + "\\cfg\\sub.ini", "[Startup]\r\nprocdir=below\r\n");
    char before[MAX_PATH];
    GetCurrentDirectoryA(sizeof before, before);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    const std::string bare = platform_profile_string("bare.ini", "Startup", "procdir");
    const std::string sub = platform_profile_string("cfg\\sub.ini", "Startup", "procdir");
    const std::string dotted = platform_profile_string(".\\cfg\\..\\bare.ini", "Startup", "procdir");
    SetCurrentDirectoryA(before);
    EXPECT_EQ(bare, "here");
    EXPECT_EQ(sub, "below");
    EXPECT_EQ(dotted, "here");
}

TEST(Win32Profile, MissingFilesAndFoldersReadAsTheDefault) {
    const std::string dir = make_scratch_dir();
    EXPECT_EQ(platform_profile_string((dir + "\\none.ini").c_str(), "Startup", "procdir"), "");
    EXPECT_EQ(platform_profile_string(dir.c_str(), "Startup", "procdir"), "");
    EXPECT_EQ(platform_profile_string(nullptr, "Startup", "procdir"), "");
    EXPECT_EQ(platform_profile_string("", "Startup", "procdir"), "");
}

TEST(Win32Platform, NameExistsCountsFoldersAndJoinsWithBackslash) {
    const std::string dir = make_scratch_dir();
    EXPECT_EQ(platform_name_exists(dir.c_str()), 1);
    EXPECT_EQ(platform_name_exists((dir + "\\nope").c_str()), 0);
    write_file(dir + "\\f", "");
    EXPECT_EQ(platform_name_exists((dir + "\\f").c_str()), 1);
    EXPECT_EQ(platform_name_exists(nullptr), 0);
    EXPECT_EQ(platform_path_separator(), '\\');
}

int g_calls = 0;
int answer_retry(const char*, const char* caption, unsigned style) {
    ++g_calls;
    return std::string(caption) == "TALLIX Error" && style == 0x2035u ? ANSWER_RETRY : ANSWER_OK;
}

TEST(Win32Platform, MessageBoxHandlerTakesEveryBox) {
    EXPECT_EQ(platform_set_message_box_handler(answer_retry), nullptr);
    EXPECT_EQ(platform_message_box("t", "TALLIX Error",
                                   MB_STYLE_TASKMODAL | MB_STYLE_ICONEXCLAMATION | MB_STYLE_RETRYCANCEL),
              ANSWER_RETRY);
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(platform_set_message_box_handler(nullptr), answer_retry);
}

TEST(Win32Replace, TempBesideIsCommittedAndReplacesTheTarget) {
    const std::string dir = make_scratch_dir();
    const std::string target = dir + "\\dosdose.dat";
    write_file(target, "old\r\n");

    std::string temp1, temp2;
    std::FILE* f1 = platform_create_temp_beside(target.c_str(), temp1);
    std::FILE* f2 = platform_create_temp_beside(target.c_str(), temp2);
    ASSERT_NE(f1, nullptr);
    ASSERT_NE(f2, nullptr);
    EXPECT_NE(temp1, temp2);
    EXPECT_EQ(temp1.compare(0, target.size() + 1, target + "."), 0) << temp1;

    // Binary: the CR LF goes to the disk as written, not doubled.
    const std::string content = "1\r\n2\r\n";
    EXPECT_EQ(std::fwrite(content.data(), 1, content.size(), f1), content.size());
    EXPECT_EQ(platform_commit_and_close(f1), 1);
    EXPECT_EQ(platform_commit_and_close(f2), 1);
    EXPECT_EQ(read_file(temp1), content);

    EXPECT_EQ(platform_replace_file(temp1.c_str(), target.c_str()), 1);
    EXPECT_EQ(read_file(target), content);
    EXPECT_EQ(platform_name_exists(temp1.c_str()), 0);

    EXPECT_EQ(platform_remove_file(temp2.c_str()), 1);
    EXPECT_EQ(platform_remove_file(temp2.c_str()), 0);
    EXPECT_EQ(count_files(dir), 1);
}

TEST(Win32Replace, TempBesideANewTargetAndInAMissingFolder) {
    const std::string dir = make_scratch_dir();
    std::string temp;
    std::FILE* f = platform_create_temp_beside((dir + "\\new.dat").c_str(), temp);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(platform_commit_and_close(f), 1);
    EXPECT_EQ(platform_replace_file(temp.c_str(), (dir + "\\new.dat").c_str()), 1);
    EXPECT_EQ(read_file(dir + "\\new.dat"), "");

    errno = 0;
    std::string none = "unchanged";
    EXPECT_EQ(platform_create_temp_beside((dir + "\\no\\such\\dosdose.dat").c_str(), none), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(none, "unchanged");
}

TEST(Win32Replace, FailedReplaceLeavesBothFiles) {
    const std::string dir = make_scratch_dir();
    const std::string target = dir + "\\dosdose.dat";
    write_file(target, "old");
    EXPECT_EQ(platform_replace_file((dir + "\\missing").c_str(), target.c_str()), 0);
    EXPECT_EQ(read_file(target), "old");

    // A folder in the target's place cannot be replaced by a file, and no
    // waiting changes that.
    static int pauses = 0;
    platform_set_pause_handler([](unsigned) { ++pauses; });
    write_file(dir + "\\src", "new");
    CreateDirectoryA((dir + "\\folder").c_str(), nullptr);
    EXPECT_EQ(platform_replace_file((dir + "\\src").c_str(), (dir + "\\folder").c_str()), 0);
    EXPECT_EQ(read_file(dir + "\\src"), "new");
    EXPECT_EQ(pauses, 0);
    platform_set_pause_handler(nullptr);
}

TEST(Win32Replace, HiddenTargetGivesAHiddenTemp) {
    const std::string dir = make_scratch_dir();
    const std::string target = dir + "\\dosdose.dat";
    write_file(target, "old");
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    const DWORD set = GetFileAttributesA(target.c_str());
    if (!(set & FILE_ATTRIBUTE_HIDDEN)) GTEST_SKIP() << "no DOS attributes on this file system";

    std::string temp;
    std::FILE* f = platform_create_temp_beside(target.c_str(), temp);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(platform_commit_and_close(f), 1);
    EXPECT_TRUE(GetFileAttributesA(temp.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(platform_remove_file(temp.c_str()), 1);
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Another program holds dosdose.dat the way scanners, indexers and editors
// do. The pauses between tries go through the seam, so nothing sleeps; the
// holder lets go after a given number of pauses, or never.
std::vector<unsigned> g_pauses;
HANDLE g_holder = INVALID_HANDLE_VALUE;
std::size_t g_release_after = 0;

void record_pause(unsigned ms) {
    g_pauses.push_back(ms);
    if (g_pauses.size() == g_release_after && g_holder != INVALID_HANDLE_VALUE) {
        CloseHandle(g_holder);
        g_holder = INVALID_HANDLE_VALUE;
    }
}

DWORD file_index_of(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    if (h == INVALID_HANDLE_VALUE) return 0;
    GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    return info.nFileIndexLow ^ info.nFileIndexHigh;
}

struct holder_case {
    const char* name;
    bool held;
    DWORD share;               // what the holder lets others do
    std::size_t release_after; // pauses before it lets go; 0: never
    int replaced;              // platform_replace_file's result: the new contents, else the old
    bool same_file;            // written in place rather than renamed over
    std::size_t pauses;        // 0: none; SIZE_MAX: the whole budget
};

TEST(Win32Replace, HeldTargetIsRetriedThenWrittenInPlace) {
    const DWORD rw = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const holder_case cases[] = {
        {"nobody holds it", false, 0, 0, 1, false, 0},
        {"let go after three pauses", true, rw, 3, 1, false, 3},
        {"held sharing read and write throughout", true, rw, 0, 1, true, SIZE_MAX},
        {"held sharing read only", true, FILE_SHARE_READ, 0, 0, true, SIZE_MAX},
        {"held sharing nothing", true, 0, 0, 0, true, SIZE_MAX},
    };
    platform_set_pause_handler(record_pause);
    for (const holder_case& c : cases) {
        const std::string dir = make_scratch_dir();
        const std::string target = dir + "\\dosdose.dat";
        write_file(target, "old contents, longer than the new\r\n");
        const DWORD before = file_index_of(target);
        g_pauses.clear();
        g_release_after = c.release_after;
        if (c.held) {
            g_holder = CreateFileA(target.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(g_holder, INVALID_HANDLE_VALUE) << c.name;
        }

        std::string temp;
        std::FILE* f = platform_create_temp_beside(target.c_str(), temp);
        ASSERT_NE(f, nullptr) << c.name;
        std::fputs("new\r\n", f);
        ASSERT_EQ(platform_commit_and_close(f), 1) << c.name;
        EXPECT_EQ(platform_replace_file(temp.c_str(), target.c_str()), c.replaced) << c.name;
        if (!c.replaced) {
            EXPECT_EQ(platform_remove_file(temp.c_str()), 1) << c.name;
        }
        if (g_holder != INVALID_HANDLE_VALUE) {
            CloseHandle(g_holder);
            g_holder = INVALID_HANDLE_VALUE;
        }

        EXPECT_EQ(read_file(target), c.replaced ? "new\r\n" : "old contents, longer than the new\r\n")
            << c.name;
        EXPECT_EQ(file_index_of(target) == before, c.same_file) << c.name;
        EXPECT_EQ(count_files(dir), 1) << c.name << ": the temporary file is left";

        // Growing pauses, none longer than half a second, two seconds in all
        // when the holder never lets go.
        unsigned total = 0;
        for (std::size_t i = 0; i < g_pauses.size(); ++i) {
            total += g_pauses[i];
            EXPECT_LE(g_pauses[i], 500u) << c.name;
            if (i > 0 && i + 1 < g_pauses.size()) {
                EXPECT_GE(g_pauses[i], g_pauses[i - 1]) << c.name;
            }
        }
        if (c.pauses == SIZE_MAX) {
            EXPECT_EQ(total, 2000u) << c.name;
        } else {
            EXPECT_EQ(g_pauses.size(), c.pauses) << c.name;
        }
    }
    platform_set_pause_handler(nullptr);
}

// Windows shells hand `*` and `?` to the program.
TEST(Win32Platform, FilePatternsStandForTheMatchingFiles) {
    const std::string dir = make_scratch_dir();
    for (const char* name : {"b.dat", "A.DAT", "c.txt", "report.data", "x1.dat"}) write_file(dir + "\\" + name, "");
    CreateDirectoryA((dir + "\\folder.dat").c_str(), nullptr);
    const std::string d = dir + "\\";
    const struct {
        std::string pattern;
        std::vector<std::string> names;
    } cases[] = {
        {d + "*.dat", {d + "A.DAT", d + "b.dat", d + "x1.dat"}},
        {d + "?.DAT", {d + "A.DAT", d + "b.dat"}},
        {d + "x?.*", {d + "x1.dat"}},
        {d + "*.none", {d + "*.none"}},
        {d + "c.txt", {d + "c.txt"}},
        {"no\\such\\*.dat", {"no\\such\\*.dat"}},
        {d + "*", {d + "A.DAT", d + "b.dat", d + "c.txt", d + "report.data", d + "x1.dat"}},
    };
    for (const auto& c : cases) EXPECT_EQ(platform_expand_file_pattern(c.pattern.c_str()), c.names) << c.pattern;

    char before[MAX_PATH];
    GetCurrentDirectoryA(sizeof before, before);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    const std::vector<std::string> bare = platform_expand_file_pattern("*.txt");
    SetCurrentDirectoryA(before);
    EXPECT_EQ(bare, std::vector<std::string>{"c.txt"});
}

}  // namespace
