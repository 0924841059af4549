// The number writer for any double: at most 12 significant digits, rounded
// half-up on the exact decimal value (the C library's exact expansion is the
// reference), an exponent with its sign and at least three digits, never
// empty, and reading back within half a unit of the 12th digit.
#include "exchange/exchange.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

[[noreturn]] void fault(const char* what, double v, const std::string& text) {
    std::fprintf(stderr, "number writer: %s for %.17g (bits %016llx): \"%s\"\n", what, v,
                 [&] { unsigned long long b; std::memcpy(&b, &v, sizeof b); return b; }(),
                 text.c_str());
    std::abort();
}

// The 12 significant digits of |v| rounded half-up, and the decimal
// exponent, from the C library's exact expansion.
void reference_digits(double v, std::string& digits, int& exponent) {
    static char buf[1100];
    std::snprintf(buf, sizeof buf, "%.800e", std::fabs(v));
    std::string all;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p != '.') all += *p;
    exponent = std::atoi(p + 1);
    digits = all.substr(0, 12);
    if (all[12] >= '5') {
        int i = 11;
        while (i >= 0 && digits[i] == '9') digits[i--] = '0';
        if (i >= 0) ++digits[i];
        else {
            digits[0] = '1';
            ++exponent;
        }
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
}

// Takes the written text apart: sign, significant digits, decimal exponent.
// Returns false when it is not in the writer's shape at all.
bool parse_written(const std::string& s, bool& negative, std::string& digits, int& exponent,
                   bool& exponent_form) {
    size_t i = 0;
    negative = i < s.size() && s[i] == '-';
    if (negative) ++i;
    std::string mantissa;
    int point = -1;
    for (; i < s.size() && s[i] != 'e'; ++i) {
        if (s[i] == '.') {
            if (point >= 0) return false;
            point = int(mantissa.size());
        } else if (s[i] >= '0' && s[i] <= '9') {
            mantissa += s[i];
        } else {
            return false;
        }
    }
    if (mantissa.empty()) return false;
    if (point >= 0 && (point == int(mantissa.size()) || mantissa.back() == '0')) return false;  // "1." or "1.50"
    if (point < 0) point = int(mantissa.size());
    exponent_form = i < s.size();
    int written_exponent = 0;
    if (exponent_form) {
        ++i;
        if (i >= s.size() || (s[i] != '+' && s[i] != '-')) return false;
        const bool exp_negative = s[i++] == '-';
        if (s.size() - i < 3) return false;
        for (; i < s.size(); ++i) {
            if (s[i] < '0' || s[i] > '9') return false;
            written_exponent = written_exponent * 10 + (s[i] - '0');
        }
        if (exp_negative) written_exponent = -written_exponent;
        if (point != 1) return false;
    }
    size_t lead = 0;
    while (lead + 1 < mantissa.size() && mantissa[lead] == '0') ++lead;
    if (lead > 0 && point != 1) return false;  // only "0.000ddd" has leading zeros
    digits = mantissa.substr(lead);
    exponent = written_exponent + point - 1 - int(lead);
    // Zeros before the point of a whole number are places, not digits.
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < sizeof(double)) return 0;
    double v;
    std::memcpy(&v, data, sizeof v);
    const std::string s = format_number(v);
    if (s.empty()) fault("empty text", v, s);

    if (std::isnan(v)) {
        if (s != "1.#QNAN" && s != "-1.#IND") fault("not a NaN text", v, s);
        return 0;
    }
    if (std::isinf(v)) {
        if (s != (v > 0 ? "1.#INF" : "-1.#INF")) fault("not an infinity text", v, s);
        if (read_register_line(s) != v) fault("infinity does not read back", v, s);
        return 0;
    }
    if (v == 0) {
        if (s != "0") fault("zero not written as 0", v, s);
        return 0;
    }

    bool negative = false, exponent_form = false;
    std::string digits;
    int exponent = 0;
    if (!parse_written(s, negative, digits, exponent, exponent_form)) fault("malformed text", v, s);
    if (negative != std::signbit(v)) fault("wrong sign", v, s);
    if (digits.size() > 12) fault("more than 12 significant digits", v, s);
    if (exponent_form != (exponent < -4 || exponent >= 12)) fault("wrong form for the exponent", v, s);

    std::string want_digits;
    int want_exponent = 0;
    reference_digits(v, want_digits, want_exponent);
    if (digits != want_digits || exponent != want_exponent) fault("digits differ from the exact rounding", v, s);

    double back = 0;
    if (scan_number(s.data(), s.size(), back, NUMBER_ATOF) != s.size()) fault("does not read back whole", v, s);
    // Half a unit of the 12th digit of v itself.
    int exact_exponent = 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.20e", std::fabs(v));
    exact_exponent = std::atoi(std::strchr(buf, 'e') + 1);
    const long double half_unit = 0.5L * std::pow(10.0L, exact_exponent - 11);
    const long double diff = std::fabs(static_cast<long double>(back) - static_cast<long double>(v));
    // Reading back rounds once more, to the nearest double.
    const long double slack = std::fabs(static_cast<long double>(back)) * 0x1p-52L + 0x1p-1074L;
    if (diff > half_unit + slack) fault("reads back further than half a unit of the 12th digit", v, s);
    return 0;
}
