// Validating VORNAX's initialization file and finding dosdose.dat from it.
#include "exchange/exchange.h"
#include "exchange/host_ini.h"
#include "platform/platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

namespace {

std::string invalid(const std::string& name) {
    return "\"" + name + "\" is not a valid VORNAX initialization file.";
}

TEST(HostIni, RefusesWhatIsNotVornaxsFile) {
    std::string dir = make_scratch_dir();
    write_file(dir + "/empty-procdir.ini", "[Startup]\nprocdir=\nuser_cwd=x\n");
    write_file(dir + "/no-procdir.ini", "[Startup]\nuser_cwd=x\n");
    write_file(dir + "/other-section.ini", "[Other]\nprocdir=x\n");
    mkdir((dir + "/folder.ini").c_str(), 0755);
    const std::string names[] = {"", dir + "/missing.ini", dir + "/empty-procdir.ini",
                                 dir + "/no-procdir.ini", dir + "/other-section.ini",
                                 dir + "/folder.ini"};
    for (const std::string& name : names) {
        box_script boxes;
        EXPECT_EQ(check_host_ini(name.c_str()), 0) << name;
        ASSERT_EQ(boxes.shown.size(), 1u) << name;
        EXPECT_EQ(boxes.shown[0].text, invalid(name));
        EXPECT_EQ(boxes.shown[0].caption, "Error");
        EXPECT_EQ(boxes.shown[0].style, 0x2010u);
    }
    box_script boxes;
    EXPECT_EQ(check_host_ini(nullptr), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, invalid("(null)"));
}

TEST(HostIni, StripsOneTrailingSeparator) {
    const std::pair<std::string, std::string> cases[] = {
        {"a/", "a"}, {"D:\\work\\", "D:\\work"}, {"a\\\\", "a\\"}, {"/", ""},
        {"", ""},    {"a", "a"},                 {"a//", "a/"},
    };
    for (const auto& c : cases) {
        std::string t = c.first;
        strip_trailing_separator(t);
        EXPECT_EQ(t, c.second) << c.first;
    }
}

TEST(HostIni, DerivesTheExchangeFilePath) {
    const std::string sep(1, platform_path_separator());
    struct path_case {
        const char* data_dir;
        const char* cwd;
        std::string path;
    };
    const path_case cases[] = {
        {"E:\\exch\\", "D:\\work", "E:\\exch" + sep + "dosdose.dat"},
        {"", "D:\\work/", "D:\\work" + sep + "dosdose.dat"},
        {"\\", "D:\\work", "D:\\work" + sep + "dosdose.dat"},
        {"", "", "dosdose.dat"},
        {"\"/quoted dir\"", "", "/quoted dir" + sep + "dosdose.dat"},
    };
    std::string dir = make_scratch_dir();
    for (const path_case& c : cases) {
        box_script boxes;
        std::string ini = dir + "/vornax.ini";
        write_file(ini, std::string("[Startup]\r\nprocdir=C:\\P\r\nuser_data_dir=") + c.data_dir +
                            "\r\nuser_cwd=" + c.cwd + "\r\n");
        std::string path;
        ASSERT_EQ(exchange_file_path(ini.c_str(), path), 1);
        EXPECT_EQ(path, c.path) << c.data_dir << " " << c.cwd;
    }
}

TEST(HostIni, NeverCutsALongPath) {
    box_script boxes;
    std::string dir = make_scratch_dir();
    std::string ini = dir + "/vornax.ini";
    std::string long_dir(259, 'd');
    write_file(ini, "[Startup]\nprocdir=p\nuser_data_dir=" + long_dir + "\n");
    std::string path;
    ASSERT_EQ(exchange_file_path(ini.c_str(), path), 1);
    EXPECT_EQ(path, long_dir + platform_path_separator() + "dosdose.dat");
}

TEST(HostIni, KeepsThePathOfTheFirstSuccess) {
    box_script boxes;
    std::string dir = make_scratch_dir();
    std::string ini = write_host_ini(dir);
    std::string first, second;
    ASSERT_EQ(exchange_file_path(ini.c_str(), first), 1);
    write_file(ini, "[Startup]\nprocdir=p\nuser_data_dir=/elsewhere\n");
    ASSERT_EQ(exchange_file_path(ini.c_str(), second), 1);
    EXPECT_EQ(second, first);
    ASSERT_EQ(exchange_file_path("no such file", second), 1);  // nothing is read again
    EXPECT_EQ(second, first);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(HostIni, TheExchangePathIsNeverCutByANul) {
    box_script boxes;
    const std::string dir = make_scratch_dir();
    const std::string ini = dir + "/vornax.ini";
    write_file(ini, "[Startup]\nprocdir=p\nuser_data_dir=" + dir + std::string("\0/elsewhere\n", 12));
    std::string path;
    ASSERT_EQ(exchange_file_path(ini.c_str(), path), 1);
    EXPECT_EQ(std::strlen(path.c_str()), path.size());
    EXPECT_EQ(path, dir + "/dosdose.dat");
}

TEST(HostIni, AFailureIsToldAgainOnTheNextTry) {
    box_script boxes;
    std::string path;
    EXPECT_EQ(exchange_file_path("missing.ini", path), 0);
    EXPECT_EQ(exchange_file_path("missing.ini", path), 0);
    EXPECT_EQ(boxes.shown.size(), 2u);
    std::string value = "stale";
    EXPECT_EQ(read_user_cwd("missing.ini", value), 0);
    EXPECT_EQ(read_user_data_dir("missing.ini", value), 0);
    EXPECT_EQ(boxes.shown.size(), 4u);
}

}  // namespace
