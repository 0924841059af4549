// The Windows platform verbs on the real system calls (run under Wine in CI):
// the profile API as VORNAX's initialization file is read through it, the
// disk files the lookup reads, and the write that put_dose relies on.
#include "platform/platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

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

TEST(Win32Write, ReplacesTheTargetAndLeavesNoTemporaryFile) {
    const std::string dir = make_scratch_dir();
    const std::string target = dir + "\\dosdose.dat";
    write_file(target, "old contents, longer than the new\r\n");
    // Binary: the CR LF goes to the disk as written, not doubled.
    EXPECT_EQ(platform_write_file(target.c_str(), "1\r\n2\r\n"), WRITE_DONE);
    EXPECT_EQ(read_file(target), "1\r\n2\r\n");
    EXPECT_EQ(count_files(dir), 1);

    // A new file, and one in a folder that is not there.
    EXPECT_EQ(platform_write_file((dir + "\\new.dat").c_str(), ""), WRITE_DONE);
    EXPECT_EQ(read_file(dir + "\\new.dat"), "");
    EXPECT_EQ(platform_write_file((dir + "\\no\\such\\dosdose.dat").c_str(), "x"), WRITE_REFUSED);
    EXPECT_EQ(count_files(dir), 2);

    // A bare name, in the current folder, as VORNAX's empty user_cwd gives it.
    char before[MAX_PATH];
    GetCurrentDirectoryA(sizeof before, before);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    EXPECT_EQ(platform_write_file("dosdose.dat", "bare\r\n"), WRITE_DONE);
    SetCurrentDirectoryA(before);
    EXPECT_EQ(read_file(target), "bare\r\n");
    EXPECT_EQ(count_files(dir), 2);
}

int g_pause_count = 0;
void count_pause(unsigned) { ++g_pause_count; }

TEST(Win32Write, AFolderOrAReadOnlyFileInTheTargetsPlaceIsNotWaitedFor) {
    const std::string dir = make_scratch_dir();
    platform_set_pause_handler(count_pause);
    g_pause_count = 0;
    CreateDirectoryA((dir + "\\folder").c_str(), nullptr);
    EXPECT_EQ(platform_write_file((dir + "\\folder").c_str(), "new"), WRITE_FAILED);
    write_file(dir + "\\ro.dat", "old");
    ASSERT_TRUE(SetFileAttributesA((dir + "\\ro.dat").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(platform_write_file((dir + "\\ro.dat").c_str(), "new"), WRITE_REFUSED);
    EXPECT_EQ(read_file(dir + "\\ro.dat"), "old");
    SetFileAttributesA((dir + "\\ro.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(g_pause_count, 0);
    EXPECT_EQ(count_files(dir), 1);
    platform_set_pause_handler(nullptr);
}

// What was set on dosdose.dat stays with it: its attributes and the time it
// was created.
TEST(Win32Write, KeepsTheTargetsAttributesAndCreationTime) {
    const std::string dir = make_scratch_dir();
    const std::string target = dir + "\\dosdose.dat";
    write_file(target, "old");
    HANDLE h = CreateFileA(target.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME long_ago{0x2A69C000u, 0x01D00000u};  // in 2014
    SetFileTime(h, &long_ago, nullptr, nullptr);
    CloseHandle(h);
    WIN32_FILE_ATTRIBUTE_DATA before;
    ASSERT_TRUE(GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &before));
    const bool has_attributes = SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE) &&
                                (GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_HIDDEN);

    ASSERT_EQ(platform_write_file(target.c_str(), "new"), WRITE_DONE);
    WIN32_FILE_ATTRIBUTE_DATA after;
    ASSERT_TRUE(GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &after));
    EXPECT_EQ(read_file(target), "new");
    // Where the file system keeps no creation time of its own (Wine on
    // Linux), there is nothing to compare.
    if (CompareFileTime(&before.ftCreationTime, &long_ago) == 0) {
        EXPECT_EQ(CompareFileTime(&after.ftCreationTime, &before.ftCreationTime), 0);
    }
    if (has_attributes) {
        EXPECT_TRUE(after.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN);
    }
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

std::vector<char> access_rights_of(const std::string& path) {
    DWORD need = 0;
    GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &need);
    std::vector<char> descriptor(need);
    if (!need || !GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), need, &need))
        descriptor.clear();
    return descriptor;
}

// The access rights IT set on dosdose.dat (here: everyone may read and
// write it, nothing more) are those of the new file too.
TEST(Win32Write, KeepsTheAccessRightsSetOnTheTarget) {
    const std::string dir = make_scratch_dir();
    const std::string target = dir + "\\dosdose.dat";
    write_file(target, "old");
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    char acl_space[256];
    ACL* acl = reinterpret_cast<ACL*>(acl_space);
    ASSERT_TRUE(InitializeAcl(acl, sizeof acl_space, ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE, everyone));
    SECURITY_DESCRIPTOR sd;
    ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE));
    ASSERT_TRUE(SetFileSecurityA(target.c_str(), DACL_SECURITY_INFORMATION, &sd));
    FreeSid(everyone);
    const std::vector<char> before = access_rights_of(target);
    ASSERT_FALSE(before.empty());

    ASSERT_EQ(platform_write_file(target.c_str(), "new"), WRITE_DONE);
    EXPECT_EQ(read_file(target), "new");
    EXPECT_EQ(access_rights_of(target), before);
}

// The temporary name is no longer than dosdose.dat's own, so a path that
// just fits the ANSI calls' 259 characters is written as it is read.
TEST(Win32Write, EveryPathThatCanBeReadCanBeWritten) {
    const std::string dir = make_scratch_dir();
    for (std::size_t length = 240; length <= 262; ++length) {
        // dir \ folder of the right length \ dosdose.dat
        const std::size_t rest = dir.size() + 1 + 1 + std::strlen("dosdose.dat");
        if (length <= rest) continue;
        const std::string folder = dir + "\\" + std::string(length - rest, 'f');
        const std::string target = folder + "\\dosdose.dat";
        ASSERT_EQ(target.size(), length);
        if (!CreateDirectoryA(folder.c_str(), nullptr)) continue;  // too long for a folder
        std::FILE* f = std::fopen(target.c_str(), "wb");
        if (!f) continue;
        std::fputs("old", f);
        std::fclose(f);
        std::FILE* old = platform_open_disk_file(target.c_str());
        if (!old) {
            // Too long for the system's file calls: neither read nor written.
            EXPECT_EQ(platform_write_file(target.c_str(), "new"), WRITE_REFUSED) << length;
            EXPECT_GT(length, 259u);
            continue;
        }
        std::fclose(old);
        EXPECT_EQ(platform_write_file(target.c_str(), "new"), WRITE_DONE) << length;
        std::FILE* back = platform_open_disk_file(target.c_str());
        ASSERT_NE(back, nullptr) << length;
        char got[8] = "";
        EXPECT_EQ(std::fread(got, 1, sizeof got, back), 3u) << length;
        std::fclose(back);
        EXPECT_EQ(std::string(got, 3), "new") << length;
        EXPECT_EQ(count_files(folder), 1) << length;
    }
}

// A killed run leaves its temporary file; the next write removes it once
// it is a minute old, and never one another program holds.
TEST(Win32Write, TemporaryFilesOfKilledRunsAreRemoved) {
    const std::string dir = make_scratch_dir();
    const std::string target = dir + "\\dosdose.dat";
    write_file(target, "old");
    auto age = [](const std::string& path, unsigned minutes) {
        HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
        t.QuadPart -= 600000000ull * minutes;
        FILETIME then{t.LowPart, t.HighPart};
        SetFileTime(h, nullptr, nullptr, &then);
        CloseHandle(h);
    };
    for (const char* name : {"dosdose~old", "DOSDOSE~7ZQ", "dosdose~new", "dosdose~held", "dosdose~a_b", "other~old"})
        write_file(dir + "\\" + name, "left");
    for (const char* name : {"dosdose~old", "DOSDOSE~7ZQ", "dosdose~held", "dosdose~a_b", "other~old"})
        age(dir + "\\" + name, 5);
    age(dir + "\\dosdose~new", 0);
    HANDLE held = CreateFileA((dir + "\\dosdose~7zq").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_EQ(platform_write_file(target.c_str(), "new"), WRITE_DONE);
    CloseHandle(held);
    EXPECT_FALSE(file_exists(dir + "\\dosdose~old"));
    EXPECT_EQ(read_file(dir + "\\dosdose~7zq"), "left");  // held by another program
    EXPECT_EQ(read_file(dir + "\\dosdose~new"), "left");  // a running write's, for all we know
    EXPECT_EQ(read_file(dir + "\\dosdose~held"), "left");  // not one of ours: four letters
    EXPECT_EQ(read_file(dir + "\\dosdose~a_b"), "left");
    EXPECT_EQ(read_file(dir + "\\other~old"), "left");
    EXPECT_EQ(read_file(target), "new");
}

// Device names are refused before anything is opened: a serial port on an
// idle line would keep the lookup waiting for ever.
TEST(Win32Read, OnlyDiskFilesAreOpened) {
    const struct {
        const char* name;
        int error;
    } cases[] = {
        {"COM1", ENODEV}, {"com1.dat", ENODEV}, {"aux", ENODEV}, {"NUL", ENODEV}, {"nul.txt", ENODEV},
        {"CON", ENODEV}, {"lpt3.log", ENODEV}, {"prn ", ENODEV}, {"C:\\bench\\COM9.dat", ENODEV},
        {"\\\\.\\COM1", ENODEV}, {"\\\\.\\pipe\\tallix", ENODEV}, {"conout$", ENODEV},
        {"com10", ENOENT}, {"com", ENOENT}, {"console.dat", ENOENT}, {"auxiliary", ENOENT},
        {"C:\\no\\such\\aux.dir\\refs.dat", ENOENT},
    };
    const std::string dir = make_scratch_dir();
    char before[MAX_PATH];
    GetCurrentDirectoryA(sizeof before, before);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    for (const auto& c : cases) {
        errno = 0;
        std::FILE* f = platform_open_disk_file(c.name);
        EXPECT_EQ(f, nullptr) << c.name;
        if (f) std::fclose(f);
        EXPECT_EQ(errno, c.error) << c.name;
    }
    write_file(dir + "\\refs.dat", "A7 10 1\r\n");
    std::FILE* f = platform_open_disk_file("refs.dat");
    EXPECT_NE(f, nullptr);
    if (f) std::fclose(f);
    errno = 0;
    EXPECT_EQ(platform_open_disk_file(dir.c_str()), nullptr);
    EXPECT_EQ(errno, EACCES);
    SetCurrentDirectoryA(before);
}

TEST(Win32Read, AFileThatChangesGetsAnotherVersion) {
    const std::string dir = make_scratch_dir();
    const std::string path = dir + "\\refs.dat";
    write_file(path, "A7 10 10.5\r\n");
    std::FILE* f = platform_open_disk_file(path.c_str());
    ASSERT_NE(f, nullptr);
    file_version first, again, cut;
    ASSERT_EQ(platform_file_version(f, first), 1);
    ASSERT_EQ(platform_file_version(f, again), 1);
    EXPECT_TRUE(same_file_version(first, again));
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetFilePointer(h, 9, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    CloseHandle(h);
    ASSERT_EQ(platform_file_version(f, cut), 1);
    EXPECT_FALSE(same_file_version(first, cut));
    std::fclose(f);
}

// Another program holds a file the way scanners, indexers and editors do.
// The pauses between tries go through the seam, so nothing sleeps; the
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

// Growing pauses, none longer than half a second, at most two seconds for
// one operation; `operations` budgets spent in all when the holder never
// lets go.
void expect_pauses(const char* name, std::size_t count, unsigned operations) {
    unsigned total = 0;
    for (std::size_t i = 0; i < g_pauses.size(); ++i) {
        total += g_pauses[i];
        EXPECT_LE(g_pauses[i], 500u) << name;
    }
    if (operations) {
        EXPECT_EQ(total, 2000u * operations) << name;
    } else {
        EXPECT_EQ(g_pauses.size(), count) << name;
    }
}

void hold(const std::string& path, DWORD share, std::size_t release_after) {
    g_pauses.clear();
    g_release_after = release_after;
    g_holder = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void let_go() {
    if (g_holder != INVALID_HANDLE_VALUE) CloseHandle(g_holder);
    g_holder = INVALID_HANDLE_VALUE;
}

struct holder_case {
    const char* name;
    bool held;
    DWORD share;               // what the holder lets others do
    std::size_t release_after; // pauses before it lets go; 0: never
    write_result result;       // the new contents when WRITE_DONE, else the old
    bool same_file;            // written in place rather than replaced
    std::size_t pauses;        // when the holder lets go
    unsigned budgets;          // when it never does: operations that waited their two seconds
};

TEST(Win32Write, HeldTargetIsRetriedThenWrittenInPlace) {
    const DWORD rw = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const holder_case cases[] = {
        {"nobody holds it", false, 0, 0, WRITE_DONE, false, 0, 0},
        {"let go after three pauses", true, rw, 3, WRITE_DONE, false, 3, 0},
        // The replacement waits its two seconds, then the file is written.
        {"held sharing read and write throughout", true, rw, 0, WRITE_DONE, true, 0, 1},
        // ... and the in-place write waits its own two seconds to open it.
        {"held sharing read only", true, FILE_SHARE_READ, 0, WRITE_FAILED, true, 0, 2},
        {"held sharing nothing", true, 0, 0, WRITE_FAILED, true, 0, 2},
    };
    platform_set_pause_handler(record_pause);
    for (const holder_case& c : cases) {
        const std::string dir = make_scratch_dir();
        const std::string target = dir + "\\dosdose.dat";
        write_file(target, "old contents, longer than the new\r\n");
        const DWORD before = file_index_of(target);
        g_pauses.clear();
        if (c.held) {
            hold(target, c.share, c.release_after);
            ASSERT_NE(g_holder, INVALID_HANDLE_VALUE) << c.name;
        }
        EXPECT_EQ(platform_write_file(target.c_str(), "new\r\n"), c.result) << c.name;
        let_go();
        EXPECT_EQ(read_file(target), c.result == WRITE_DONE ? "new\r\n" : "old contents, longer than the new\r\n")
            << c.name;
        EXPECT_EQ(file_index_of(target) == before, c.same_file) << c.name;
        EXPECT_EQ(count_files(dir), 1) << c.name << ": the temporary file is left";
        expect_pauses(c.name, c.pauses, c.budgets);
    }
    platform_set_pause_handler(nullptr);
}

// dosdose.dat and the initialization file held when the run starts are
// waited for in the same way, each open with its own two seconds.
TEST(Win32Read, HeldFilesAreWaitedForWhenTheyAreRead) {
    const std::string dir = make_scratch_dir();
    const std::string dose = dir + "\\dosdose.dat";
    const std::string ini = dir + "\\vornax.ini";
    write_file(dose, "1\r\n");
    write_file(ini, "[Startup]\r\nprocdir=C:\\P\r\n");
    platform_set_pause_handler(record_pause);

    hold(dose, 0, 3);
    std::FILE* f = platform_open_disk_file(dose.c_str());
    EXPECT_NE(f, nullptr);
    if (f) std::fclose(f);
    expect_pauses("dosdose.dat let go", 3, 0);

    hold(dose, 0, 0);
    errno = 0;
    EXPECT_EQ(platform_open_disk_file(dose.c_str()), nullptr);
    EXPECT_EQ(errno, EACCES);
    let_go();
    expect_pauses("dosdose.dat held", 0, 1);

    hold(ini, 0, 2);
    EXPECT_EQ(platform_profile_string(ini.c_str(), "Startup", "procdir"), "C:\\P");
    expect_pauses("vornax.ini let go", 2, 0);

    hold(ini, 0, 0);
    EXPECT_EQ(platform_profile_string(ini.c_str(), "Startup", "procdir"), "");
    let_go();
    expect_pauses("vornax.ini held", 0, 1);
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
