// The "%.12g" number format as VORNAX's Windows runtime writes it, produced
// the same way on every platform: 12 significant digits rounded half-up on
// the exact decimal value of the double, at least three exponent digits, and
// 1.#INF for infinities.
#include "exchange/exchange.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr int SIGNIFICANT = 12;
// Every double's exact decimal expansion has at most 767 significant digits.
constexpr int EXACT_PRECISION = 780;
// Digits that decide the rounding at the 12th in all but near-tie cases.
constexpr int QUICK_PRECISION = 25;

struct decimal {
    char digits[SIGNIFICANT + 1];  // exactly SIGNIFICANT digits, first non-zero
    int exponent;                  // value = d.ddd... * 10^exponent
};

// Writes `magnitude` (finite, > 0) in scientific form with `precision`
// decimals into `buf`; returns the end of the mantissa digits and sets
// `exponent`. `digits` receives the mantissa without its point.
std::size_t scientific_digits(double magnitude, int precision, char* digits, int& exponent) {
    char buf[EXACT_PRECISION + 16];
    auto r = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, precision);
    std::size_t n = 0;
    const char* p = buf;
    for (; p < r.ptr && *p != 'e'; ++p)
        if (*p != '.') digits[n++] = *p;
    exponent = 0;
    bool negative = false;
    ++p;  // 'e'
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    for (; p < r.ptr; ++p) exponent = exponent * 10 + (*p - '0');
    if (negative) exponent = -exponent;
    return n;
}

// Rounds `magnitude` half-up to SIGNIFICANT digits.
decimal round_half_up(double magnitude) {
    char digits[EXACT_PRECISION + 2];
    int exponent = 0;
    std::size_t n = scientific_digits(magnitude, QUICK_PRECISION, digits, exponent);
    // The quick digits are themselves rounded; only when what follows the
    // 12th digit reads as an exact half is the full expansion needed.
    bool maybe_tie = digits[SIGNIFICANT] == '5';
    for (std::size_t i = SIGNIFICANT + 1; maybe_tie && i < n; ++i) maybe_tie = digits[i] == '0';
    if (maybe_tie) n = scientific_digits(magnitude, EXACT_PRECISION, digits, exponent);
    (void)n;

    decimal d;
    std::memcpy(d.digits, digits, SIGNIFICANT);
    d.digits[SIGNIFICANT] = '\0';
    d.exponent = exponent;
    if (digits[SIGNIFICANT] >= '5') {
        int i = SIGNIFICANT - 1;
        while (i >= 0 && d.digits[i] == '9') d.digits[i--] = '0';
        if (i >= 0) {
            ++d.digits[i];
        } else {
            d.digits[0] = '1';
            ++d.exponent;
        }
    }
    return d;
}

}  // namespace

namespace {

// The exponent form: one digit, the rest after a point, then the exponent
// with its sign and at least three digits.
void append_exponent_form(std::string& out, const decimal& d, int last) {
    const int x = d.exponent;
    out += d.digits[0];
    if (last > 0) {
        out += '.';
        out.append(d.digits + 1, std::size_t(last));
    }
    out += 'e';
    out += x < 0 ? '-' : '+';
    int magnitude = x < 0 ? -x : x;
    char e[8];
    int n = 0;
    do {
        e[n++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    while (n < 3) e[n++] = '0';
    while (n) out += e[--n];
}

// The plain form: the digits with the point where the exponent puts it.
void append_plain_form(std::string& out, const decimal& d, int last) {
    const int x = d.exponent;
    if (x >= 0) {
        out.append(d.digits, std::size_t(x) + 1);
        if (last > x) {
            out += '.';
            out.append(d.digits + x + 1, std::size_t(last - x));
        }
        return;
    }
    out += "0.";
    out.append(std::size_t(-x - 1), '0');
    out.append(d.digits, std::size_t(last) + 1);
}

}  // namespace

void append_number(std::string& out, double value) {
    if (std::isnan(value)) {
        out += std::signbit(value) ? "-1.#IND" : "1.#QNAN";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-1.#INF" : "1.#INF";
        return;
    }
    if (value == 0) {
        out += '0';
        return;
    }
    if (value < 0) out += '-';
    const decimal d = round_half_up(std::fabs(value));
    int last = SIGNIFICANT - 1;  // drop trailing zeros
    while (last > 0 && d.digits[last] == '0') --last;
    if (d.exponent < -4 || d.exponent >= SIGNIFICANT) append_exponent_form(out, d, last);
    else append_plain_form(out, d, last);
}

std::string format_number(double value) {
    std::string s;
    append_number(s, value);
    return s;
}
