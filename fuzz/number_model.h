// An independent model of the number syntax TALLIX accepts, for the fuzz
// targets to hold the real readers against. It is written as a small state
// machine of its own and converts through the C library's strtod in the "C"
// locale (glibc rounds correctly), never through TALLIX's own reader.
#ifndef TALLIX_FUZZ_NUMBER_MODEL_H
#define TALLIX_FUZZ_NUMBER_MODEL_H

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

namespace model {

// States of the number syntax: white space, sign, digits before the point,
// the point, digits after it, the exponent letter, its sign, its digits.
enum state { START, SIGN, WHOLE, POINT_FIRST, POINT_AFTER_DIGITS, FRACTION, EXP, EXP_SIGN, EXP_DIGITS, DEAD };

inline bool accepting(state s) {
    return s == WHOLE || s == POINT_AFTER_DIGITS || s == FRACTION || s == EXP_DIGITS;
}

inline state step(state s, unsigned char c) {
    const bool digit = c >= '0' && c <= '9';
    const bool space = c == ' ' || (c >= 0x09 && c <= 0x0D);
    const bool sign = c == '+' || c == '-';
    const bool letter = c == 'e' || c == 'E' || c == 'd' || c == 'D';
    switch (s) {
    case START: return space ? START : sign ? SIGN : digit ? WHOLE : c == '.' ? POINT_FIRST : DEAD;
    case SIGN: return digit ? WHOLE : c == '.' ? POINT_FIRST : DEAD;
    case WHOLE: return digit ? WHOLE : c == '.' ? POINT_AFTER_DIGITS : letter ? EXP : DEAD;
    case POINT_FIRST: return digit ? FRACTION : DEAD;
    case POINT_AFTER_DIGITS:
    case FRACTION: return digit ? FRACTION : letter ? EXP : DEAD;
    case EXP: return sign ? EXP_SIGN : digit ? EXP_DIGITS : DEAD;
    case EXP_SIGN: return digit ? EXP_DIGITS : DEAD;
    case EXP_DIGITS: return digit ? EXP_DIGITS : DEAD;
    case DEAD: return DEAD;
    }
    return DEAD;
}

/// The number at the start of `text`: its length (0 when none), its value
/// as the strtod reader gives it (`strtod_value`) and as the atof reader
/// gives it (`atof_value`).
struct number {
    std::size_t length = 0;
    double strtod_value = 0;
    double atof_value = 0;
};

inline number read(const char* text, std::size_t size) {
    number n;
    state s = START;
    bool nonzero = false;
    for (std::size_t i = 0; i < size; ++i) {
        s = step(s, static_cast<unsigned char>(text[i]));
        if (s == DEAD) break;
        if ((s == WHOLE || s == FRACTION) && text[i] >= '1' && text[i] <= '9') nonzero = true;
        if (accepting(s)) n.length = i + 1;
    }
    if (n.length == 0) return n;
    std::string normal(text, n.length);
    for (char& c : normal)
        if (c == 'd' || c == 'D') c = 'e';
    double v = std::strtod(normal.c_str(), nullptr);
    n.atof_value = v;
    // Below the smallest normal double the strtod reader gives +0.
    n.strtod_value = (nonzero && std::fabs(v) < DBL_MIN) ? 0.0 : v;
    return n;
}

inline bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace model

#endif
