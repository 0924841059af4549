// A NUL byte in VORNAX's initialization file: names and values end at it,
// as the C strings Windows programs get, so no value carries a NUL into a
// path.
#include "exchange/exchange.h"
#include "exchange/host_ini.h"
#include "platform/platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ProfileNul, NamesAndValuesEndAtTheirFirstNul) {
    const struct {
        const char* name;
        std::string content;
        const char* key;
        std::string value;
    } cases[] = {
        {"value cut", std::string("[Startup]\nuser_cwd=exch\0junk\n", 29), "user_cwd", "exch"},
        {"value only a NUL is empty", std::string("[Startup]\nprocdir=\0\n", 19), "procdir", ""},
        {"blanks before the NUL kept", std::string("[Startup]\nprocdir= a \0b\n", 23), "procdir", "a "},
        {"key cut by a NUL is another key", std::string("[Startup]\nproc\0dir=x\nprocdir=y\n", 30),
         "procdir", "y"},
        {"section name cut", std::string("[Startup\0]\nprocdir=z\n", 20), "procdir", "z"},
    };
    const std::string dir = make_scratch_dir();
    for (const auto& c : cases) {
        const std::string path = dir + "/vornax.ini";
        write_file(path, c.content);
        EXPECT_EQ(platform_profile_string(path.c_str(), "Startup", c.key), c.value) << c.name;
    }
}

TEST(ProfileNul, TheExchangePathIsNeverCutByANul) {
    box_script boxes;
    const std::string dir = make_scratch_dir();
    const std::string ini = dir + "/vornax.ini";
    write_file(ini, "[Startup]\nprocdir=p\nuser_data_dir=" + dir + std::string("\0/elsewhere\n", 12));
    std::string path;
    ASSERT_EQ(exchange_file_path(ini.c_str(), path), 1);
    EXPECT_EQ(std::strlen(path.c_str()), path.size());
    EXPECT_EQ(path, dir + "/dosdose.dat");
}

}  // namespace
