// The POSIX platform verbs: where the profile reader follows Windows rather
// than Wine, and names that exist.
#include "platform/platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

// Where Wine reads more than Windows does: a UTF-8 mark is text of the
// first line, and big-endian UTF-16 is no profile at all.
TEST(Profile, WhereWineReadsMoreWindowsDecides) {
    const struct {
        const char* name;
        std::string content;
    } cases[] = {
        {"UTF-8 byte order mark hides the first section", "\xEF\xBB\xBF[Startup]\r\nprocdir=x\r\n"},
        {"UTF-16BE", std::string("\xFE\xFF\0[\0S\0t\0a\0r\0t\0u\0p\0]\0\n\0p\0r\0o\0c\0d\0i\0r\0=\0x", 40)},
    };
    std::string dir = make_scratch_dir();
    for (const auto& c : cases) {
        write_file(dir + "/t.ini", c.content);
        EXPECT_EQ(platform_profile_string((dir + "/t.ini").c_str(), "Startup", "procdir"), "") << c.name;
    }
}

TEST(Platform, NameExistsCountsFolders) {
    std::string dir = make_scratch_dir();
    EXPECT_EQ(platform_name_exists(dir.c_str()), 1);
    EXPECT_EQ(platform_name_exists((dir + "/nope").c_str()), 0);
    write_file(dir + "/f", "");
    EXPECT_EQ(platform_name_exists((dir + "/f").c_str()), 1);
}

}  // namespace
