// The number syntax reader and the "%.12g" writer.
#include "exchange/exchange.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>

namespace {

struct read_case {
    const char* text;
    std::size_t consumed;  // characters the number takes
    double value;
};

TEST(NumberRead, AcceptsExactlyTheDecimalSyntax) {
    const double inf = HUGE_VAL;
    const read_case cases[] = {
        {"1.5", 3, 1.5},        {"-2", 2, -2},          {".5", 2, 0.5},
        {"3.", 2, 3},           {"1.e5", 4, 1e5},       {"1E-3", 4, 1e-3},
        {"2.5D2", 5, 250},      {"2.5d+2", 6, 250},     {"+.5e-1", 6, 0.05},
        {"1e999", 5, inf},      {"-1e999", 6, -inf},    {" \t\v12", 5, 12},
        {"10V", 2, 10},         {"1e", 1, 1},           {"1e+", 1, 1},
        {"1E-x", 1, 1},         {"1+5", 1, 1},          {".", 0, 0},
        {"-.", 0, 0},           {"+", 0, 0},            {"", 0, 0},
        {"0x10", 1, 0},         {"inf", 0, 0},          {"nan", 0, 0},
        {"INFINITY", 0, 0},     {"1,5", 1, 1},          {"007", 3, 7},
        {"0.000", 5, 0},        {"1.2.3", 3, 1.2},      {"1ee5", 1, 1},
        {"9007199254740993", 16, 9007199254740992.0},
        {"9007199254740993.0000000001", 27, 9007199254740994.0},
        {"1e99999999999999999999", 22, inf},
        {"1e-99999999999999999999", 23, 0},
        {"0e999999999", 11, 0},
    };
    for (const read_case& c : cases) {
        double v = -12345;
        std::size_t n = scan_number(c.text, std::strlen(c.text), v, NUMBER_STRTOD);
        EXPECT_EQ(n, c.consumed) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

TEST(NumberRead, StopsAtTheGivenLength) {
    double v = 0;
    EXPECT_EQ(scan_number("12345", 3, v, NUMBER_STRTOD), 3u);
    EXPECT_EQ(v, 123);
    EXPECT_EQ(scan_number("1e5", 2, v, NUMBER_STRTOD), 1u);
    EXPECT_EQ(v, 1);
}

TEST(NumberRead, IsCorrectlyRoundedForLongMantissas) {
    // 1 followed by 900 zeros, scaled back down: exactly 1.
    std::string big = "1" + std::string(900, '0') + "e-900";
    double v = 0;
    EXPECT_EQ(scan_number(big.data(), big.size(), v, NUMBER_STRTOD), big.size());
    EXPECT_EQ(v, 1.0);
    std::string small = "0." + std::string(1000, '0') + "1e1001";
    EXPECT_EQ(scan_number(small.data(), small.size(), v, NUMBER_STRTOD), small.size());
    EXPECT_EQ(v, 1.0);
    // Halfway between 1 and the next double, then a non-zero digit far
    // beyond the kept digits: must round up, not to even.
    std::string half = "1.00000000000000011102230246251565404236316680908203125";
    std::string above = half + std::string(2000, '0') + "1";
    EXPECT_EQ(scan_number(half.data(), half.size(), v, NUMBER_STRTOD), half.size());
    EXPECT_EQ(v, 1.0);
    EXPECT_EQ(scan_number(above.data(), above.size(), v, NUMBER_STRTOD), above.size());
    EXPECT_EQ(v, std::nextafter(1.0, 2.0));
}

// Short numbers take a quick way (exact digits times an exact power of
// ten); at its edges and just past them both ways must give the correctly
// rounded double that glibc's strtod gives.
TEST(NumberRead, ShortNumbersAreCorrectlyRoundedAtTheEdgesOfTheQuickWay) {
    const char* const texts[] = {
        "999999999999999e22", "999999999999999e23", "9999999999999999e22", "123456789012345e-22",
        "123456789012345e-23", "1e22", "1e23", "1e-22", "1e-23", "8.98846567431158e307",
        "0.1", "0.3", "2.2250738585072014e-308", "4.9406564584124654e-324", "10.00013",
        "9007199254740993", "900719925474099.3e1", "0.000000000000000000000123456789012345",
        "123456789012345000000000", "-7.0000000000000001",
    };
    for (const char* t : texts) {
        double v = 0;
        ASSERT_EQ(scan_number(t, std::strlen(t), v, NUMBER_ATOF), std::strlen(t)) << t;
        EXPECT_EQ(v, std::strtod(t, nullptr)) << t;
    }
}

// A mantissa of 10^8 leading zeros shifts the exponent back by as much: an
// exponent of ten digits must still count in full (10^899999949 is infinity,
// not the 1e4 that a cut exponent would give).
TEST(NumberRead, AHugeExponentCountsAgainstAHugeMantissa) {
    std::string text = "0." + std::string(100000000, '0') + "1e1000000050";
    double v = 0;
    EXPECT_EQ(scan_number(text.data(), text.size(), v, NUMBER_ATOF), text.size());
    EXPECT_EQ(v, HUGE_VAL);
    text = "0." + std::string(100000000, '0') + "1e100000005";
    EXPECT_EQ(scan_number(text.data(), text.size(), v, NUMBER_ATOF), text.size());
    EXPECT_EQ(v, 1e4);
    std::string huge = "1e" + std::string(40, '9');
    EXPECT_EQ(scan_number(huge.data(), huge.size(), v, NUMBER_STRTOD), huge.size());
    EXPECT_EQ(v, HUGE_VAL);
    std::string tiny = "1e-" + std::string(40, '9');
    EXPECT_EQ(scan_number(tiny.data(), tiny.size(), v, NUMBER_ATOF), tiny.size());
    EXPECT_EQ(v, 0.0);
}

TEST(NumberRead, UnderflowDependsOnTheReader) {
    double v = 1;
    scan_number("1e-310", 6, v, NUMBER_STRTOD);
    EXPECT_EQ(v, 0.0);
    EXPECT_FALSE(std::signbit(v));
    scan_number("-1e-310", 7, v, NUMBER_STRTOD);
    EXPECT_EQ(v, 0.0);
    EXPECT_FALSE(std::signbit(v));
    scan_number("1e-310", 6, v, NUMBER_ATOF);
    EXPECT_EQ(v, 1e-310);
    scan_number("2.2250738585072014e-308", 23, v, NUMBER_STRTOD);
    EXPECT_EQ(v, DBL_MIN);
    scan_number("1e-400", 6, v, NUMBER_ATOF);
    EXPECT_EQ(v, 0.0);
}

TEST(RegisterLine, ReadsAsTheRuntimeDoesAndTakesBackInfinity) {
    const std::pair<const char*, double> cases[] = {
        {"12.5", 12.5},        {"  7 volts", 7},   {"", 0},
        {"abc", 0},            {"1.#INF", HUGE_VAL}, {"+1.#INF", HUGE_VAL},
        {"-1.#INF", -HUGE_VAL}, {"1.#INF00", HUGE_VAL}, {"2.#INF", 2},
        {"1.#QNAN", 1},        {"inf", 0},         {"1e-310", 1e-310},
        {"-0", -0.0},
    };
    for (const auto& c : cases) EXPECT_EQ(read_register_line(c.first), c.second) << c.first;
}

struct write_case {
    double value;
    const char* text;
};

TEST(NumberWrite, FormatsAsPercentTwelveG) {
    const write_case cases[] = {
        {0.1, "0.1"},
        {1e20, "1e+020"},
        {2.0 / 3.0, "0.666666666667"},
        {-0.00001, "-1e-005"},
        {100000000000.5, "100000000001"},  // half-up, not to even
        {123456789012.5, "123456789013"},
        {3.814697265625e-06, "3.81469726563e-006"},  // an exact tie below 1
        {0.0, "0"},
        {-0.0, "0"},
        {HUGE_VAL, "1.#INF"},
        {-HUGE_VAL, "-1.#INF"},
        {0.1234567890123456, "0.123456789012"},
        {10, "10"},
        {-2.5, "-2.5"},
        {1e12, "1e+012"},
        {999999999999.0, "999999999999"},
        {999999999999.5, "1e+012"},
        {0.0001, "0.0001"},
        {0.00012345, "0.00012345"},
        {1e15, "1e+015"},
        {2.5e-7, "2.5e-007"},
        {1e100, "1e+100"},
        {1e-300, "1e-300"},
        {123456789012345678.0, "1.23456789012e+017"},
        {1.7976931348623157e308, "1.79769313486e+308"},
        {4.9406564584124654e-324, "4.94065645841e-324"},
        {10.00013, "10.00013"},
        {0.99999999999999, "1"},
        {9.9999999999996e-5, "0.0001"},
    };
    for (const write_case& c : cases) EXPECT_EQ(format_number(c.value), c.text) << c.text;
}

TEST(NumberWrite, AppendsToWhatIsThere) {
    std::string s = "at ";
    append_number(s, 10);
    EXPECT_EQ(s, "at 10");
}

// Any double written and read back lies within half a unit of its 12th
// significant digit, and the text has at most 12 significant digits.
TEST(NumberWrite, ReadsBackWithinHalfAUnitOfTheTwelfthDigit) {
    std::mt19937_64 gen(20261208);
    for (int i = 0; i < 20000; ++i) {
        std::uint64_t bits = gen();
        double x;
        std::memcpy(&x, &bits, sizeof x);
        if (std::isnan(x) || std::isinf(x) || x == 0) continue;
        std::string t = format_number(x);
        double back = 0;
        ASSERT_EQ(scan_number(t.data(), t.size(), back, NUMBER_ATOF), t.size()) << t;
        int exponent = int(std::floor(std::log10(std::fabs(x))));
        double half_unit = 0.5 * std::pow(10.0, exponent - 11);
        EXPECT_LE(std::fabs(back - x), half_unit * (1 + 1e-9) + std::fabs(x) * 1e-15) << t;
        std::string mantissa = t.substr(0, t.find('e'));
        std::size_t first = mantissa.find_first_of("123456789");
        std::size_t sig = 0;
        for (std::size_t k = first; k < mantissa.size(); ++k)
            if (mantissa[k] >= '0' && mantissa[k] <= '9') ++sig;
        EXPECT_LE(sig, 12u) << t;
        if (t.find('e') != std::string::npos) {
            EXPECT_GE(t.size() - t.find('e'), 5u) << t;
        }
    }
}

}  // namespace
