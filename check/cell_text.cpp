// The characters and cell texts that the shape judgments read (cell_text.h):
// digits and numbers as tallix reads them, units of the bench, and the
// table of invisible characters with the UTF-8 decoding that finds them.
#include "check/cell_text.h"

#include "lookup/data_file.h"
#include "lookup/search.h"

#include <cstring>

namespace {

const char* const UNITS[] = {"V",  "mV",  "uV",  "kV",  "A",    "mA",   "uA",  "nA",  "Ohm", "ohm", "kOhm",
                             "MOhm", "Hz", "kHz", "MHz", "GHz", "W",    "mW",   "dB",  "dBm", "s",   "ms",
                             "us", "ns",  "F",   "uF",  "nF",   "pF",   "H",   "mH",  "uH",  "%",   "degC",
                             "K",  "Pa",  "kPa", "bar", "ppm",  "VAC",  "VDC", "Vrms", "mVrms"};

const odd_char ODD_CHARS[] = {
    {"\xE2\x80\x8B", "U+200B", "zero-width space", false},
    {"\xE2\x80\x8C", "U+200C", "zero-width non-joiner", false},
    {"\xE2\x80\x8D", "U+200D", "zero-width joiner", false},
    {"\xE2\x81\xA0", "U+2060", "word joiner", false},
    {"\xEF\xBB\xBF", "U+FEFF", "zero-width no-break space", false},
    {"\xE2\x80\xAF", "U+202F", "narrow non-breaking space", true},
    {"\xE2\x80\x89", "U+2009", "thin space", true},
    {"\xC2\xA0", "U+00A0", "non-breaking space", true},
    {"\xC2\xAD", "U+00AD", "soft hyphen", false},
    {"\xEF\xAC\x80", "U+FB00", "ligature ff", false},
    {"\xEF\xAC\x81", "U+FB01", "ligature fi", false},
    {"\xEF\xAC\x82", "U+FB02", "ligature fl", false},
    {"\xEF\xAC\x83", "U+FB03", "ligature ffi", false},
    {"\xEF\xAC\x84", "U+FB04", "ligature ffl", false},
    {"\xE2\x88\x92", "U+2212", "minus sign", false},
    // Windows-1252, a byte of its own.
    {"\xA0", "U+00A0", "non-breaking space", true},
    {"\xAD", "U+00AD", "soft hyphen", false},
};

// The length of the UTF-8 sequence at `i`, or 0 when none starts there.
std::size_t utf8_length(const std::string& s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (c >= 0xF5 || n == 0 || i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    return n;
}

}  // namespace

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_exponent_letter(char c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

bool all_digits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!is_digit(c)) return false;
    return true;
}

bool has_digit(const std::string& s) {
    for (char c : s)
        if (is_digit(c)) return true;
    return false;
}

bool starts_with(const std::string& s, const char* prefix) { return s.compare(0, std::strlen(prefix), prefix) == 0; }

bool whole_number(const std::string& s) { return is_whole_digits(s.data(), s.size()); }

bool is_number(const std::string& s, double& value) { return nr3_value(s.data(), s.size(), value) == 1; }

bool is_number(const std::string& s) {
    double value = 0;
    return is_number(s, value);
}

bool thousands_points(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && is_digit(s[i])) ++i;
    if (i == 0 || i > 3 || i == s.size() || s[0] == '0') return false;
    while (i < s.size()) {
        if (s[i] != '.' || i + 4 > s.size()) return false;
        for (std::size_t k = 1; k <= 3; ++k)
            if (!is_digit(s[i + k])) return false;
        i += 4;
    }
    return true;
}

std::string without_points(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != '.') out += c;
    return out;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

std::string ordinal_column(std::size_t column) { return "column " + std::to_string(column); }

bool is_unit(const std::string& s) {
    for (const char* unit : UNITS)
        if (s == unit) return true;
    return starts_with(s, "\xB5") || starts_with(s, "\xB0") || starts_with(s, "\xC2\xB5") ||
           starts_with(s, "\xC2\xB0") || starts_with(s, "\xCE\xBC") || starts_with(s, "\xE2\x84\xA6");
}

unsigned long utf8_code(const std::string& s, std::size_t i, std::size_t n) {
    static const unsigned char lead_mask[] = {0, 0, 0x1F, 0x0F, 0x07};
    unsigned long code = static_cast<unsigned char>(s[i]) & lead_mask[n];
    for (std::size_t k = 1; k < n; ++k) code = (code << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return code;
}

std::string code_point(unsigned long code) {
    static const char hex[] = "0123456789ABCDEF";
    std::string digits;
    for (; code || digits.size() < 4; code >>= 4) digits.insert(digits.begin(), hex[code & 15]);
    return "U+" + digits;
}

std::size_t find_odd_char(const std::string& s, std::size_t from, const odd_char*& which, std::size_t& length) {
    for (std::size_t i = from; i < s.size(); ++i) {
        if (static_cast<unsigned char>(s[i]) < 0x80) continue;
        const std::size_t n = utf8_length(s, i);
        for (const odd_char& o : ODD_CHARS) {
            const std::size_t m = std::strlen(o.bytes);
            if ((n ? m == n : m == 1) && s.compare(i, m, o.bytes) == 0) {
                which = &o;
                length = m;
                return i;
            }
        }
        if (n) i += n - 1;
    }
    return std::string::npos;
}

std::size_t find_utf8_text(const std::string& s, std::size_t& length) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const std::size_t n = static_cast<unsigned char>(s[i]) < 0x80 ? 0 : utf8_length(s, i);
        if (n == 0) continue;
        const odd_char* which = nullptr;
        std::size_t m = 0;
        if (find_odd_char(s, i, which, m) != i) {
            length = n;
            return i;
        }
        i += n - 1;
    }
    return std::string::npos;
}

std::string odd_char_text(const odd_char& o, std::size_t column) {
    return std::string(o.code) + " " + o.name + " at " + ordinal_column(column);
}

std::string odd_char_mend(const odd_char& o, bool in_number) {
    if (starts_with(o.name, "ligature ")) return std::string("type the letters ") + (o.name + 9);
    if (std::strcmp(o.code, "U+2212") == 0) return "type a plain minus (-)";
    if (o.blank && in_number) return "type a plain blank or tab, or nothing inside a number";
    return "delete it";
}

std::string without_odd_chars(const std::string& s) {
    std::string out;
    std::size_t at = 0;
    const odd_char* which = nullptr;
    std::size_t n = 0;
    for (std::size_t i; (i = find_odd_char(s, at, which, n)) != std::string::npos; at = i + n) {
        out += s.substr(at, i - at);
        if (starts_with(which->name, "ligature ")) out += which->name + 9;
        if (std::strcmp(which->code, "U+2212") == 0) out += '-';
    }
    return out + s.substr(at);
}
