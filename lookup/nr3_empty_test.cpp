// An empty token is no number: nothing runs to its end.
#include "lookup/lookup.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(Nr3Empty, AnEmptyTokenIsNotANumber) {
    double value = 7;
    EXPECT_EQ(nr3_value("", 0, value), 0);
    EXPECT_EQ(value, 0);
    // The length decides, not the text behind it.
    EXPECT_EQ(nr3_value("5", 0, value), 0);
    EXPECT_EQ(nr3_value("5", 1, value), 1);
    EXPECT_EQ(value, 5);
}

TEST(Nr3Empty, AnEmptyNominalIsReportedAsInvalid) {
    box_script boxes({OUTCOME_GIVE_UP});
    const std::string dir = make_scratch_dir();
    const std::string ini = write_host_ini(dir);
    write_file(dir + "/dosdose.dat", standard_dose("3", "1", "x"));
    register_set rs;
    ASSERT_EQ(get_dose(ini.c_str(), rs, 0), 1);
    EXPECT_EQ(read_nr3("", 0, ini.c_str(), rs), OUTCOME_GIVE_UP);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "\"\" contains an invalid NR3 number.");
}

}  // namespace
