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

}  // namespace
