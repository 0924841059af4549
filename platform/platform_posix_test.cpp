// The POSIX profile reader that stands in for GetPrivateProfileStringA.
#include "platform/platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

struct profile_case {
    const char* name;
    std::string content;
    const char* key;
    std::string value;
};

TEST(Profile, FollowsTheWindowsRules) {
    const profile_case cases[] = {
        {"plain", "[Startup]\nprocdir=C:\\P\n", "procdir", "C:\\P"},
        {"crlf", "[Startup]\r\nprocdir=C:\\P\r\n", "procdir", "C:\\P"},
        {"case of section and key", "[ STARTUP ]\nProcDir = x \n", "procdir", "x"},
        {"blanks trimmed", "[Startup]\n  procdir\t=\t a b \t\n", "procdir", "a b"},
        {"double quotes", "[Startup]\nprocdir=\" a \"\n", "procdir", " a "},
        {"single quotes", "[Startup]\nprocdir='a'\n", "procdir", "a"},
        {"unmatched quotes stay", "[Startup]\nprocdir=\"a'\n", "procdir", "\"a'"},
        {"one pair only", "[Startup]\nprocdir=\"\"a\"\"\n", "procdir", "\"a\""},
        {"first key wins", "[Startup]\nprocdir=1\nprocdir=2\n", "procdir", "1"},
        {"first section only", "[Startup]\nuser_cwd=c\n[Startup]\nprocdir=2\n", "procdir", ""},
        {"other section", "[Other]\nprocdir=1\n[Startup]\nprocdir=2\n", "procdir", "2"},
        {"key before any section", "procdir=1\n[Startup]\n", "procdir", ""},
        {"comment", "[Startup]\n;procdir=1\nprocdir=2\n", "procdir", "2"},
        {"no equals sign", "[Startup]\nprocdir\nprocdir=3\n", "procdir", "3"},
        {"empty value", "[Startup]\nprocdir=\n", "procdir", ""},
        {"equals in value", "[Startup]\nprocdir=a=b\n", "procdir", "a=b"},
        {"no final line end", "[Startup]\nprocdir=z", "procdir", "z"},
        {"cut at 259", "[Startup]\nprocdir=" + std::string(300, 'v') + "\n", "procdir",
         std::string(259, 'v')},
        {"missing key", "[Startup]\nprocdir=1\n", "user_cwd", ""},
    };
    std::string dir = make_scratch_dir();
    for (const profile_case& c : cases) {
        std::string path = dir + "/t.ini";
        write_file(path, c.content);
        EXPECT_EQ(platform_profile_string(path.c_str(), "Startup", c.key), c.value) << c.name;
    }
}

TEST(Profile, MissingFilesAndFoldersReadAsTheDefault) {
    std::string dir = make_scratch_dir();
    EXPECT_EQ(platform_profile_string((dir + "/none.ini").c_str(), "Startup", "procdir"), "");
    EXPECT_EQ(platform_profile_string(dir.c_str(), "Startup", "procdir"), "");
    EXPECT_EQ(platform_profile_string(nullptr, "Startup", "procdir"), "");
}

TEST(Platform, NameExistsCountsFolders) {
    std::string dir = make_scratch_dir();
    EXPECT_EQ(platform_name_exists(dir.c_str()), 1);
    EXPECT_EQ(platform_name_exists((dir + "/nope").c_str()), 0);
    write_file(dir + "/f", "");
    EXPECT_EQ(platform_name_exists((dir + "/f").c_str()), 1);
}

}  // namespace
