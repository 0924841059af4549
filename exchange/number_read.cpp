// The number syntax of VORNAX's files and of TALLIX's arguments, read
// exactly and the same way on every platform. The C runtimes differ in what
// strtod takes (hexadecimal, inf, nan, locale decimal commas) and in how
// they round; this reader takes the plain decimal syntax only, normalises it
// and converts it with std::from_chars, which rounds correctly.
#include "exchange/exchange.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// More digits than any halfway point between two doubles has: keeping this
// many, plus one sticky digit for the rest, rounds exactly as all would.
constexpr std::size_t KEPT_DIGITS = 800;
// Beyond this a written exponent is certainly infinity or zero, whatever the
// mantissa: no text is long enough for its digits to shift it back into
// range. Well inside int64, so adding the mantissa's shift cannot overflow.
constexpr std::int64_t EXPONENT_CAP = 100000000000000000;

// Powers of ten that a double holds exactly.
constexpr double EXACT_POWERS[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Converts the significant digits `digits` (no leading zero) times
// 10^`exponent`, correctly rounded.
double convert(const std::string& digits, std::int64_t exponent, bool negative) {
    const double sign = negative ? -1.0 : 1.0;
    // Most numbers in a data file have a few digits and a small exponent:
    // then the digits and the power of ten are both exact doubles, and one
    // multiplication or division rounds the result correctly.
    if (digits.size() <= 15 && exponent >= -22 && exponent <= 22) {
        std::int64_t whole = 0;
        for (char c : digits) whole = whole * 10 + (c - '0');
        const double m = double(whole);
        return sign * (exponent < 0 ? m / EXACT_POWERS[-exponent] : m * EXACT_POWERS[exponent]);
    }
    const std::int64_t scientific = exponent + std::int64_t(digits.size()) - 1;
    if (scientific > 400) return sign * HUGE_VAL;
    if (scientific < -400) return sign * 0.0;
    // Digits, 'e' and the exponent, without a heap allocation per number.
    char text[KEPT_DIGITS + 1 + 1 + 24];
    std::memcpy(text, digits.data(), digits.size());
    char* end = text + digits.size();
    *end++ = 'e';
    end = std::to_chars(end, text + sizeof text, exponent).ptr;
    double v = 0;
    auto r = std::from_chars(text, end, v);
    if (r.ec == std::errc::result_out_of_range) return scientific > 0 ? sign * HUGE_VAL : sign * 0.0;
    return sign * v;
}

// The significant digits of a number as it is read: value = digits *
// 10^exponent, leading zeros dropped, and beyond KEPT_DIGITS only whether
// any further digit was not zero.
struct mantissa {
    std::string digits;
    std::int64_t exponent = 0;
    std::size_t count = 0;  // digits read, zeros included
    bool sticky = false;
};

void take_digit(mantissa& m, char c, bool after_point) {
    ++m.count;
    if (m.digits.empty() && c == '0') {
        if (after_point) --m.exponent;
        return;
    }
    if (m.digits.size() < KEPT_DIGITS) {
        m.digits.push_back(c);
        if (after_point) --m.exponent;
    } else {
        if (c != '0') m.sticky = true;
        if (!after_point) ++m.exponent;
    }
}

// Reads an exponent at text[i] (a letter, a sign, digits) into `m`; one
// without digits is no part of the number. Returns where the number ends.
std::size_t scan_exponent(const char* text, std::size_t length, std::size_t i, mantissa& m) {
    if (i >= length || (text[i] != 'e' && text[i] != 'E' && text[i] != 'd' && text[i] != 'D')) return i;
    std::size_t j = i + 1;
    bool negative = false;
    if (j < length && (text[j] == '+' || text[j] == '-')) negative = text[j++] == '-';
    if (j >= length || !is_digit(text[j])) return i;
    std::int64_t e = 0;
    while (j < length && is_digit(text[j])) {
        if (e < EXPONENT_CAP) e = e * 10 + (text[j] - '0');
        ++j;
    }
    m.exponent += negative ? -e : e;
    return j;
}

}  // namespace

std::size_t scan_number(const char* text, std::size_t length, double& value,
                        number_reader reader) {
    value = 0;
    std::size_t i = 0;
    while (i < length && is_space(text[i])) ++i;
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

    mantissa m;
    while (i < length && is_digit(text[i])) take_digit(m, text[i++], false);
    if (i < length && text[i] == '.') {
        ++i;
        while (i < length && is_digit(text[i])) take_digit(m, text[i++], true);
    }
    if (m.count == 0) return 0;
    i = scan_exponent(text, length, i, m);

    if (m.digits.empty()) {
        value = negative ? -0.0 : 0.0;
        return i;
    }
    if (m.sticky) {
        m.digits.push_back('1');
        --m.exponent;
    }
    value = convert(m.digits, m.exponent, negative);
    if (reader == NUMBER_STRTOD && std::fabs(value) < DBL_MIN) value = 0.0;
    return i;
}

double read_register_line(const std::string& line) {
    std::size_t i = 0;
    while (i < line.size() && is_space(line[i])) ++i;
    std::size_t j = i;
    bool negative = false;
    if (j < line.size() && (line[j] == '+' || line[j] == '-')) negative = line[j++] == '-';
    if (line.compare(j, 6, "1.#INF") == 0) return negative ? -HUGE_VAL : HUGE_VAL;
    double v = 0;
    scan_number(line.data(), line.size(), v, NUMBER_ATOF);
    return v;
}
