// get_dose and put_dose against real files, through the platform's own
// file calls (this table runs in the Windows test program too).
#include "exchange/exchange.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {

struct DoseTest : ::testing::Test {
    std::string dir = make_scratch_dir();
    std::string ini = write_host_ini(dir);
    std::string dose = in_dir(dir, "dosdose.dat");
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
    ASSERT_TRUE(std::filesystem::create_directory(dose));  // a directory reads as unreadable
    EXPECT_EQ(get_dose(ini.c_str(), rs, 0), 0);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "Cannot open \"" + dose + "\" for reading.");
    EXPECT_EQ(boxes.shown[1].text, "Cannot open \"" + dose + "\" for reading.");
}

TEST_F(DoseTest, CannotOpenForWritingLeavesNothing) {
    box_script boxes;
    std::string gone = in_dir(dir, "gone");
    write_file(ini, "[Startup]\nprocdir=p\nuser_data_dir=" + gone + "\n");
    register_set rs;
    EXPECT_EQ(put_dose(ini.c_str(), rs, 0), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Cannot open \"" + in_dir(gone, "dosdose.dat") + "\" for writing.");
}

TEST_F(DoseTest, ReplacingADirectoryFailsAndCleansUp) {
    box_script boxes;
    ASSERT_TRUE(std::filesystem::create_directory(dose));
    write_file(dose + "/keep", "k");
    register_set rs;
    EXPECT_EQ(put_dose(ini.c_str(), rs, 0), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Cannot write \"" + dose + "\".");
    EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"dosdose.dat", "vornax.ini"}));
}

}  // namespace
