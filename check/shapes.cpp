// The shapes that spreadsheet programs and editors leave in data files, each
// recognised on the cells a lookup reads and told in the writer's terms.
#include "check/shapes.h"

#include "exchange/exchange.h"
#include "lookup/data_file.h"
#include "lookup/search.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
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

// "1.000" and "12.345.678": a whole number written with thousands points
// (never led by a zero: "0.001" is a number).
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

// "E-3", "e+01", "D2": an exponent standing alone.
bool lone_exponent(const std::string& s) {
    std::size_t i = 1;
    if (s.size() < 2 || !is_exponent_letter(s[0])) return false;
    if (s[i] == '+' || s[i] == '-') ++i;
    return i < s.size() && all_digits(s.substr(i));
}

// A number that an exponent or a power of ten may still follow.
bool number_without_exponent(const std::string& s) {
    for (char c : s)
        if (is_exponent_letter(c)) return false;
    return is_number(s);
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// The asset its writer meant: the cell without the quotes or the text after
// a semicolon or a non-breaking space.
std::string meant_asset(const std::string& cell, std::size_t from, std::size_t to) {
    std::string a = cell.substr(from, to - from);
    if (!a.empty() && a.back() == '\xC2') a.pop_back();  // the first byte of a UTF-8 NBSP
    return a;
}

std::string ordinal_column(std::size_t column) { return "column " + std::to_string(column); }

const char* const UNITS[] = {"V",  "mV",  "uV",  "kV",  "A",    "mA",   "uA",  "nA",  "Ohm", "ohm", "kOhm",
                             "MOhm", "Hz", "kHz", "MHz", "GHz", "W",    "mW",   "dB",  "dBm", "s",   "ms",
                             "us", "ns",  "F",   "uF",  "nF",   "pF",   "H",   "mH",  "uH",  "%",   "degC",
                             "K",  "Pa",  "kPa", "bar", "ppm",  "VAC",  "VDC", "Vrms", "mVrms"};

// A unit of the bench: one of the usual ones, or anything that begins with
// a micro or degree sign (in Windows-1252 or UTF-8).
bool is_unit(const std::string& s) {
    for (const char* unit : UNITS)
        if (s == unit) return true;
    return starts_with(s, "\xB5") || starts_with(s, "\xB0") || starts_with(s, "\xC2\xB5") ||
           starts_with(s, "\xC2\xB0") || starts_with(s, "\xCE\xBC") || starts_with(s, "\xE2\x84\xA6");
}

// ------------------------------------------------- invisible characters

// A character that text from a word processor, a web page or a locale's
// number format carries and that shows as nothing, as a blank or as two
// letters: to tallix it is bytes like any other, part of the cell.
struct odd_char {
    const char* bytes;
    const char* code;
    const char* name;
    bool blank;  // shows as a blank: between digit groups, a thousands separator
};

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

// Finds the first odd character at or after `from`: returns its offset and
// sets `which` and `length`, or returns npos. A byte that begins a UTF-8
// sequence is taken with its sequence; a lone byte as Windows-1252.
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

// The first character of UTF-8 text that is none of the odd ones, or npos.
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

// "U+200B zero-width space at column 9"
std::string odd_char_text(const odd_char& o, std::size_t column) {
    return std::string(o.code) + " " + o.name + " at " + ordinal_column(column);
}

// What to do about an odd character: in a number, or in an asset.
std::string odd_char_mend(const odd_char& o, bool in_number) {
    if (starts_with(o.name, "ligature ")) return std::string("type the letters ") + (o.name + 9);
    if (std::strcmp(o.code, "U+2212") == 0) return "type a plain minus (-)";
    if (o.blank && in_number) return "type a plain blank or tab, or nothing inside a number";
    return "delete it";
}

// `s` as its writer typed it: ligatures as their letters, a minus sign as
// a plain minus, the other odd characters gone.
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

// --------------------------------------------- numbers as locales write them

// A number as a locale or a person writes it: groups of digits with
// separators between them, a sign, an exponent and a unit.
struct written_number {
    std::string sign;
    std::vector<std::string> groups;
    std::vector<std::string> seps;  // the separator before each group after the first
    std::string exponent;
    std::string unit;
};

// What may stand between the digit groups of a number: a comma, a point,
// an apostrophe (also U+2019), a blank or a blank that is none to tallix.
const char* const GROUP_SEPARATORS[] = {",", ".", "'", "\xE2\x80\x99", " ", "\xC2\xA0", "\xA0",
                                        "\xE2\x80\xAF", "\xE2\x80\x89"};

// The separator at `i` when a digit follows it, else nullptr.
const char* separator_at(const std::string& s, std::size_t i) {
    for (const char* g : GROUP_SEPARATORS) {
        const std::size_t n = std::strlen(g);
        if (s.compare(i, n, g) == 0 && i + n < s.size() && is_digit(s[i + n])) return g;
    }
    return nullptr;
}

bool all_letters(const std::string& s) {
    for (char c : s)
        if (!is_letter(c)) return false;
    return true;
}

// Reads `s` as a written number. Returns false when it is none.
bool read_written(const std::string& s, written_number& w) {
    w = written_number();
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) w.sign = s.substr(i++, 1);
    for (;;) {
        const std::size_t from = i;
        while (i < s.size() && is_digit(s[i])) ++i;
        if (i == from) return false;
        w.groups.push_back(s.substr(from, i - from));
        const char* sep = separator_at(s, i);
        if (!sep) break;
        w.seps.push_back(sep);
        i += std::strlen(sep);
    }
    if (i + 1 < s.size() && is_exponent_letter(s[i])) {
        std::size_t k = i + 1;
        if (s[k] == '+' || s[k] == '-') ++k;
        std::size_t d = k;
        while (d < s.size() && is_digit(s[d])) ++d;
        if (d > k) {
            w.exponent = s.substr(i, d - i);
            i = d;
        }
    }
    w.unit = s.substr(i);
    return w.unit.empty() || is_unit(w.unit) || all_letters(w.unit);
}

// The kind of a separator: 'c' comma, 'p' point, 'a' apostrophe, 'b' blank.
char separator_kind(const std::string& sep) {
    return sep == "," ? 'c' : sep == "." ? 'p' : sep == "'" || sep == "\xE2\x80\x99" ? 'a' : 'b';
}

std::string thousands_name(char kind, bool several) {
    switch (kind) {
    case 'c': return several ? "thousands separators" : "a thousands separator";
    case 'p': return several ? "thousands points" : "a thousands point";
    case 'a': return several ? "apostrophes as thousands separators" : "an apostrophe as a thousands separator";
    default: return several ? "blanks as thousands separators" : "a blank as a thousands separator";
    }
}

// What a written number stands for: the number to write, perhaps a second
// reading, and how it was written ("a decimal comma").
struct meant_number {
    std::string write;
    std::string other;
    std::string how;
};

// Decides which separator is the decimal one (a comma or point that stands
// once, last) and checks the others as thousands separators of one kind
// with groups of three. Returns false when the separators fit no locale's
// way, or when there are none to mend (a plain decimal point).
bool interpret(const written_number& w, meant_number& m) {
    const std::size_t n = w.seps.size();
    if (n == 0) return false;
    const char last = separator_kind(w.seps.back());
    std::size_t last_count = 0;
    for (const std::string& sep : w.seps) last_count += separator_kind(sep) == last;
    const bool decimal = (last == 'c' || last == 'p') && last_count == 1;
    const std::size_t thousands = decimal ? n - 1 : n;
    if (decimal && last == 'p' && thousands == 0) return false;
    for (std::size_t k = 0; k < thousands; ++k)
        if (separator_kind(w.seps[k]) != separator_kind(w.seps[0]) || w.groups[k + 1].size() != 3) return false;
    if (thousands > 0 && w.groups[0].size() > 3) return false;
    std::string digits;
    for (std::size_t k = 0; k <= thousands; ++k) digits += w.groups[k];
    m = meant_number();
    m.write = w.sign + digits + (decimal ? "." + w.groups[n] : "") + w.exponent;
    if (thousands > 0) m.how = thousands_name(separator_kind(w.seps[0]), thousands > 1);
    if (decimal && last == 'c') m.how += std::string(thousands > 0 ? " and " : "") + "a decimal comma";
    // "1,000": a thousands separator or a decimal comma.
    if (n == 1 && last == 'c' && w.groups[1].size() == 3 && w.groups[0].size() <= 3) {
        m.other = m.write;
        m.write = w.sign + w.groups[0] + w.groups[1] + w.exponent;
        m.how = "a thousands separator or a decimal comma";
    }
    return true;
}

// The two numbers that `write` followed by a percent sign may stand for.
std::string percent_choice(const std::string& write) {
    double value = 0;
    is_number(write, value);
    return ": write " + write + " if the value is meant in percent, or " + format_number(value / 100) +
           " as a fraction";
}

// A percent sign after a number: both numbers it may stand for.
std::string percent_advice(const std::string& how, const std::string& write) {
    return (how.empty() ? "; a percent sign makes it no number to tallix"
                        : "; it looks like " + how + " and a percent sign, which make it no number to tallix") +
           percent_choice(write);
}

// The advice for a written number with separators to mend, or empty.
std::string written_advice(const std::string& s) {
    written_number w;
    meant_number m;
    if (!read_written(s, w)) return "";
    if (!interpret(w, m)) return w.seps.size() > 1 && (w.unit.empty() || is_unit(w.unit) || all_letters(w.unit))
                                     ? "; write numbers with a decimal point and without thousands separators"
                                     : "";
    if (w.unit == "%") return percent_advice(m.how, m.write);
    const std::string with_unit = w.unit.empty() ? "" : " and a unit";
    return "; it looks like " + m.how + with_unit + ": write " + m.write + (m.other.empty() ? "" : " or " + m.other);
}

// The column (from 1, in the piece) at which cell `index` begins.
std::size_t column_of(const piece_cells& c, std::size_t index) {
    std::size_t column = std::size_t(c.first_column);
    for (std::size_t i = 0; i < index; ++i) column += c.runs[i].size() + c.cells[i].size();
    return column + c.runs[index].size();
}

// The cell `index` with the cells after it that the delimiters cut off,
// up to the cell that ends in `close` ('"' or ')'), and how many cells it
// took: "(0" "50001)" is "(0,50001)". Returns 0 when no cell closes it.
std::size_t spread_to(const piece_cells& c, std::size_t index, char close, std::string& joined) {
    joined = c.cells[index];
    for (std::size_t k = index + 1; k < c.cells.size() && k < index + 6; ++k) {
        joined += c.runs[k] + c.cells[k];
        if (c.cells[k].back() == close) return k - index + 1;
    }
    return 0;
}

// The cell `index` with a decimal comma's group after it that the comma
// cut off because the cell is no whole number ("1.000.000" ",5", "1 000"
// ",5"): the written number whole.
std::string with_comma_group(const piece_cells& c, std::size_t index) {
    std::string s = c.cells[index];
    bool separated = false;  // a point, an apostrophe or a character beyond ASCII
    for (char ch : s) separated = separated || ch == '.' || ch == '\'' || static_cast<unsigned char>(ch) >= 0x80;
    if (separated && index + 1 < c.cells.size() && c.runs[index + 1] == "," && is_digit(c.cells[index + 1][0]))
        s += "," + c.cells[index + 1];
    return s;
}

// Whether the delimiters before cell `index` are commas alone: there a
// comma always cuts cells.
bool commas_before(const piece_cells& c, std::size_t index) {
    for (std::size_t i = 1; i <= index && i < c.runs.size(); ++i)
        if (c.runs[i].find_first_of(" \t") != std::string::npos) return false;
    return true;
}

// "10 and 5", "1, 000 and 5": the parts a comma cuts a text into.
std::string parts_text(const std::string& s) {
    std::vector<std::string> parts;
    for (std::size_t at = 0, comma; at <= s.size(); at = comma + 1) {
        comma = s.find(',', at);
        if (comma == std::string::npos) comma = s.size();
        if (comma > at) parts.push_back(s.substr(at, comma - at));
    }
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return text;
}

// Quotes around a cell: removing them is enough, unless a comma inside cut
// the quoted number in two.
std::string quotes_advice(const piece_cells& c, std::size_t index) {
    const std::string& cell = c.cells[index];
    const std::string remove = "; remove the quotes around the cell";
    std::string joined;
    if (cell.front() != '"' || (cell.size() > 1 && cell.back() == '"') || !spread_to(c, index, '"', joined))
        return remove;
    const std::string inner = joined.substr(1, joined.size() - 2);
    written_number w;
    meant_number m;
    if (!read_written(inner, w) || !w.unit.empty() || !interpret(w, m)) return remove;
    const std::string then = commas_before(c, index) ? "read " + parts_text(inner)
                                                     : "refuse " + inner + " as no number";
    return "; the quotes hold \"" + inner + "\", which looks like a number with " + m.how +
           ": removing the quotes alone would make tallix " + then + ": write " + m.write +
           (m.other.empty() ? "" : " or " + m.other);
}

// A negative number in parentheses, as accounting formats show one.
std::string parentheses_advice(const piece_cells& c, std::size_t index) {
    const std::string& cell = c.cells[index];
    std::string joined = cell;
    if (cell.front() != '(' || (cell.back() != ')' && !spread_to(c, index, ')', joined)) || joined.size() < 3)
        return "";
    const std::string inner = joined.substr(1, joined.size() - 2);
    const std::string lead = "; a negative number in parentheses, as accounting formats show it";
    if (is_number(inner) && inner[0] != '-' && inner[0] != '+') return lead + ": write -" + inner;
    written_number w;
    meant_number m;
    if (!read_written(inner, w) || !w.sign.empty() || !w.unit.empty() || !interpret(w, m)) return "";
    return lead + ", with " + m.how + ": write -" + m.write + (m.other.empty() ? "" : " or -" + m.other);
}

// An invisible character in a number: where it is and the number to write.
std::string odd_char_advice(const piece_cells& c, std::size_t index) {
    const std::string s = with_comma_group(c, index);
    const odd_char* which = nullptr;
    std::size_t n = 0;
    const std::size_t at = find_odd_char(s, 0, which, n);
    if (at == std::string::npos) return "";
    // Characters that show as nothing go; those that show as blanks stay,
    // as the thousands separators they are.
    std::string cleaned;
    std::size_t from = 0;
    const odd_char* o = nullptr;
    for (std::size_t i; (i = find_odd_char(s, from, o, n)) != std::string::npos; from = i + n)
        cleaned += s.substr(from, i - from) + (o->blank ? std::string(o->bytes) : !std::strcmp(o->code, "U+2212") ? "-" : "");
    cleaned += s.substr(from);
    std::string write, how;
    written_number w;
    meant_number m;
    if (is_number(cleaned)) {
        write = cleaned;
    } else if (read_written(cleaned, w) && w.unit.empty() && interpret(w, m)) {
        write = m.write + (m.other.empty() ? "" : " or " + m.other);
        how = m.how;
    } else if (is_number(without_odd_chars(s)) && !(which->blank && std::strcmp(which->code, "U+00A0") == 0)) {
        // A blank that parts no groups of three: the number without it.
        write = without_odd_chars(s);
    }
    const bool nbsp = std::strcmp(which->code, "U+00A0") == 0;
    if (write.empty() && nbsp)
        return "; it holds a non-breaking space (byte A0), which is no blank to tallix: type a plain blank";
    const std::string where = "; it holds " + odd_char_text(*which, column_of(c, index) + at) +
                              (which->blank ? ", which is no blank to tallix" : ", which tallix reads as part of the number");
    if (write.empty()) return where + ": " + odd_char_mend(*which, true);
    return where + (how.empty() ? "" : "; it looks like a number with " + how) + ": write " + write;
}

// ------------------------------------------------- cells that go on a number

// How cells after a nominal or value may go on the number they follow.
enum join_kind {
    JOIN_BLANKS,       // "2 000.75", "10.000 13": digit groups with blanks between them
    JOIN_EXPONENT,     // "2.00004 E-3"
    JOIN_POWER,        // "2.5 x 10-2", "2.5 *10^-2"
    JOIN_COMMA,        // "20,00041" on a line cut at commas: a decimal comma
    JOIN_THOUSANDS,    // "2,000.75" on a line cut at commas: thousands separators
    JOIN_POINTS_COMMA  // "1.000,5" on a line cut at commas
};

// A reading of the cells from a nominal or value on as one number.
struct joined {
    join_kind kind = JOIN_BLANKS;
    bool join = false;     // more than the cell: false for the cell as it stands
    bool strong = false;   // the cells can only be one number
    bool bare = false;     // ",250031": a decimal comma with nothing before it
    std::string written;   // the cells as the line has them
    std::string write;     // the number they make
    double value = 0;
    std::size_t next = 0;  // the cell after the last one taken
    std::string evidence;  // a cell that can only be the rest of a number, or empty
    std::size_t added = 0; // digits taken from the cells after the first
};

bool blanks_only(const std::string& run) { return !run.empty() && run.find_first_not_of(' ') == std::string::npos; }

// "000.75", "05", "00041": digits that begin with a zero and go on, as no
// number of its own is written.
bool zero_led(const std::string& s) { return s.size() >= 2 && s[0] == '0' && is_digit(s[1]); }

// Three digits, perhaps with a fraction or an exponent after them when `last`.
bool three_digit_group(const std::string& s, bool last) {
    if (s.size() < 3 || !all_digits(s.substr(0, 3))) return false;
    if (s.size() == 3) return true;
    return last && (s[3] == '.' || is_exponent_letter(s[3])) && is_number(s);
}

bool finish_join(joined& j, std::size_t next, std::vector<joined>& out) {
    j.next = next;
    if (!is_number(j.write, j.value)) return false;
    out.push_back(j);
    return true;
}

// Digit groups with blanks between them: thousands groups of three after a
// whole number of one to three digits ("2 000.75", "1 000 000,5"), fraction
// digits in groups of three and the rest ("10.000 13"), or digits that
// begin with a zero after any number ("2.00004 00041").
void blank_joins(const piece_cells& c, std::size_t i, std::vector<joined>& out) {
    const std::string& t = c.cells[i];
    const std::size_t n = c.cells.size();
    if (i + 1 >= n || !blanks_only(c.runs[i + 1]) || !number_without_exponent(t)) return;
    const std::size_t point = t.find('.');
    const std::size_t digits = t.size() - (t[0] == '-' || t[0] == '+');
    const std::size_t fraction = point == std::string::npos ? 0 : t.size() - point - 1;
    joined j;
    j.written = j.write = t;
    std::size_t k = i + 1;
    auto take = [&](const std::string& run, const std::string& written, const std::string& write) {
        j.written += run + written;
        j.write += write;
        ++k;
    };
    if (point == std::string::npos && digits <= 3) {
        for (bool more = true; more && k < n && blanks_only(c.runs[k]) && three_digit_group(c.cells[k], true);) {
            more = c.cells[k].size() == 3;
            take(c.runs[k], c.cells[k], c.cells[k]);
        }
        // A decimal comma after blank thousands groups: "1 000,5".
        if (k > i + 1 && k < n && c.runs[k] == "," && all_digits(c.cells[k]) && all_digits(j.write.substr(1)))
            take(",", c.cells[k], "." + c.cells[k]);
    } else if (point != std::string::npos && fraction >= 3 && fraction % 3 == 0) {
        for (bool more = true; more && k < n && blanks_only(c.runs[k]) && all_digits(c.cells[k]) &&
                               c.cells[k].size() <= 3;) {
            more = c.cells[k].size() == 3;
            take(c.runs[k], c.cells[k], c.cells[k]);
        }
    }
    const std::string& after = c.cells[i + 1];
    if (k == i + 1 && zero_led(after) && (point == std::string::npos ? number_without_exponent(after) : all_digits(after)))
        take(c.runs[k], after, after);
    if (k == i + 1) return;
    j.strong = zero_led(after);
    if (j.strong) j.evidence = after;
    finish_join(j, k, out);
}

// An exponent standing alone after a number: "2.00004 E-3".
void exponent_join(const piece_cells& c, std::size_t i, std::vector<joined>& out) {
    if (i + 1 >= c.cells.size() || !number_without_exponent(c.cells[i]) || !lone_exponent(c.cells[i + 1])) return;
    joined j;
    j.kind = JOIN_EXPONENT;
    j.strong = true;
    j.written = c.cells[i] + c.runs[i + 1] + c.cells[i + 1];
    j.write = c.cells[i] + c.cells[i + 1];
    j.evidence = c.cells[i + 1];
    finish_join(j, i + 2, out);
}

// The exponent of a power of ten as written after a times sign: "10",
// "10-2", "10^-2", "10^3", "10²", "10⁻³". Sets `exponent`.
bool power_of_ten(const std::string& s, std::string& exponent) {
    static const char* const superscripts[][2] = {
        {"\xC2\xB9", "1"}, {"\xC2\xB2", "2"}, {"\xC2\xB3", "3"}, {"\xB9", "1"}, {"\xB2", "2"}, {"\xB3", "3"},
        {"\xE2\x81\xB0", "0"}, {"\xE2\x81\xB4", "4"}, {"\xE2\x81\xB5", "5"}, {"\xE2\x81\xB6", "6"},
        {"\xE2\x81\xB7", "7"}, {"\xE2\x81\xB8", "8"}, {"\xE2\x81\xB9", "9"}, {"\xE2\x81\xBB", "-"},
        {"\xE2\x88\x92", "-"}, {"-", "-"}, {"+", "+"}, {"^", ""}};
    if (!starts_with(s, "10")) return false;
    std::string e;
    for (std::size_t i = 2; i < s.size();) {
        if (is_digit(s[i])) {
            e += s[i++];
            continue;
        }
        bool known = false;
        for (const auto& sup : superscripts) {
            const std::size_t n = std::strlen(sup[0]);
            if (s.compare(i, n, sup[0]) != 0) continue;
            // A sign or caret only before the digits.
            if (!is_digit(sup[1][0]) && !all_digits(e) && !e.empty()) return false;
            e += sup[1];
            i += n;
            known = true;
            break;
        }
        if (!known) return false;
    }
    if (e.empty()) e = "1";
    std::size_t d = (e[0] == '-' || e[0] == '+') ? 1 : 0;
    if (!all_digits(e.substr(d))) return false;
    exponent = e;
    return true;
}

// A number times a power of ten: "2.5 x 10-2", "2.5 *10^-3", "2.5 · 10³".
void power_join(const piece_cells& c, std::size_t i, std::vector<joined>& out) {
    static const char* const times[] = {"x", "X", "*", "\xC2\xB7", "\xB7", "\xC3\x97", "\xD7"};
    const std::size_t n = c.cells.size();
    if (i + 1 >= n || !number_without_exponent(c.cells[i])) return;
    const std::string& sign = c.cells[i + 1];
    std::string exponent;
    for (const char* x : times) {
        const std::size_t length = std::strlen(x);
        joined j;
        j.kind = JOIN_POWER;
        j.strong = true;
        if (sign == x && i + 2 < n && power_of_ten(c.cells[i + 2], exponent)) {
            j.written = c.cells[i] + c.runs[i + 1] + sign + c.runs[i + 2] + c.cells[i + 2];
        } else if (sign.size() > length && starts_with(sign, x) && power_of_ten(sign.substr(length), exponent)) {
            j.written = c.cells[i] + c.runs[i + 1] + sign;
        } else {
            continue;
        }
        j.write = c.cells[i] + "E" + exponent;
        finish_join(j, sign == x ? i + 3 : i + 2, out);
        return;
    }
}

// Cells that a comma alone cut apart on a line where commas cut cells: a
// decimal comma ("20,00041", "5,5e3", "1.000,5") and thousands separators
// ("2,000.75", "1,000,000").
void comma_joins(const piece_cells& c, std::size_t i, std::vector<joined>& out) {
    const std::size_t n = c.cells.size();
    if (i + 1 >= n || c.runs[i + 1] != ",") return;
    const std::string& t = c.cells[i];
    const std::string& g = c.cells[i + 1];
    const bool points = thousands_points(t);
    if (!is_digit(g[0]) || !(whole_number(t) || points)) return;
    if (is_number(g) && g.find('.') == std::string::npos) {
        joined j;
        j.kind = points ? JOIN_POINTS_COMMA : JOIN_COMMA;
        j.written = t + "," + g;
        j.write = without_points(t) + "." + g;
        // A group led by a zero: no column of whole numbers looks so.
        j.strong = zero_led(g);
        if (zero_led(g)) j.evidence = g;
        finish_join(j, i + 2, out);
    }
    if (points || t.size() - (t[0] == '-' || t[0] == '+') > 3) return;
    joined j;
    j.kind = JOIN_THOUSANDS;
    j.written = j.write = t;
    std::size_t k = i + 1;
    for (bool more = true; more && k < n && c.runs[k] == "," && three_digit_group(c.cells[k], true); ++k) {
        more = c.cells[k].size() == 3;
        j.written += "," + c.cells[k];
        j.write += c.cells[k];
    }
    if (k == i + 1) return;
    // A fraction or an exponent after a group of three: no column of whole
    // numbers again.
    j.strong = zero_led(g) || !all_digits(j.write.substr(t[0] == '-' || t[0] == '+'));
    if (zero_led(g)) j.evidence = g;
    finish_join(j, k, out);
}

// A value written with a decimal comma and nothing before it, the comma
// after a blank: "B6 0.25 ,250031".
void bare_comma_join(const piece_cells& c, std::size_t i, std::vector<joined>& out) {
    const std::string& run = c.runs[i];
    const std::size_t n = run.size();
    if (n < 2 || run[n - 1] != ',' || (run[n - 2] != ' ' && run[n - 2] != '\t') || !all_digits(c.cells[i])) return;
    joined j;
    j.kind = JOIN_COMMA;
    j.bare = true;
    j.written = "," + c.cells[i];
    j.write = "0." + c.cells[i];
    finish_join(j, i + 1, out);
}

// Every reading of the cells from `i` on as one number that joins more
// than the cell.
std::vector<joined> joins_at(const piece_cells& c, std::size_t i) {
    std::vector<joined> out;
    if (i >= c.cells.size()) return out;
    blank_joins(c, i, out);
    exponent_join(c, i, out);
    power_join(c, i, out);
    comma_joins(c, i, out);
    bare_comma_join(c, i, out);
    const std::size_t own = std::count_if(c.cells[i].begin(), c.cells[i].end(), is_digit);
    for (joined& j : out) {
        j.join = true;
        j.added = std::size_t(std::count_if(j.written.begin(), j.written.end(), is_digit)) - own;
    }
    return out;
}

joined as_it_stands(const piece_cells& c, std::size_t i) {
    joined j;
    j.written = j.write = c.cells[i];
    is_number(c.cells[i], j.value);
    j.next = i + 1;
    return j;
}

// A reading of a line's nominal and value, at least one of them joined.
struct line_reading {
    joined nominal, value;
    bool strong() const { return nominal.strong || value.strong; }
    // Enough digits joined that nearness is no chance: three or more, or a
    // decimal comma with nothing before it, which no column begins with.
    bool telling() const { return nominal.added + value.added >= 3 || nominal.bare || value.bare; }
};

std::vector<line_reading> line_readings(const piece_cells& c) {
    std::vector<joined> nominals = joins_at(c, 1);
    nominals.insert(nominals.begin(), as_it_stands(c, 1));
    std::vector<line_reading> out;
    for (const joined& n : nominals) {
        if (n.next >= c.cells.size()) continue;
        std::vector<joined> values = joins_at(c, n.next);
        if (n.join && is_number(c.cells[n.next])) values.insert(values.begin(), as_it_stands(c, n.next));
        for (const joined& v : values) out.push_back({n, v});
    }
    return out;
}

// In most data files a value lies close to its nominal: within a tenth of
// it is near, off by more than a factor of two (or of the other sign) far.
bool near(double nominal, double value) {
    if (!std::isfinite(nominal) || !std::isfinite(value)) return false;
    return nominal == 0 ? value == 0 : std::fabs(value - nominal) <= 0.1 * std::fabs(nominal);
}

bool far_apart(double nominal, double value) {
    if (!std::isfinite(nominal) || !std::isfinite(value)) return false;
    if (nominal == 0) return std::fabs(value) >= 1;
    const double ratio = value / nominal;
    return !(ratio >= 0.5 && ratio <= 2);
}

std::string how_written(const joined& j) {
    const std::size_t commas = std::count(j.written.begin(), j.written.end(), ',');
    switch (j.kind) {
    case JOIN_BLANKS:
        if (commas) return "with blanks as thousands separators and a decimal comma";
        return std::count(j.written.begin(), j.written.end(), ' ') > 1 ? "with blanks in it" : "with a blank in it";
    case JOIN_EXPONENT: return "with a blank before its exponent";
    case JOIN_POWER: return "as a power of ten";
    case JOIN_COMMA: return j.bare ? "with a decimal comma and no 0 before it" : "with a decimal comma";
    case JOIN_THOUSANDS: return commas > 1 ? "with thousands separators" : "with a thousands separator";
    default: return "with thousands points and a decimal comma";
    }
}

// "\"2 000.75\" looks like 2000.75 written with a blank in it" and, for a
// nominal and a value, both.
std::string parts_text(const line_reading& r) {
    std::string text;
    std::string how;
    for (const joined* j : {&r.nominal, &r.value}) {
        if (!j->join) continue;
        const std::string h = how_written(*j);
        text += text.empty() ? quoted(j->written) + " looks like " + j->write + " written " + h
                             : " and " + quoted(j->written) + " like " + j->write + (h == how ? "" : " written " + h);
        how = h;
    }
    for (const joined* j : {&r.nominal, &r.value})
        if (!j->evidence.empty()) text += " (" + quoted(j->evidence) + " can only be the rest of a number)";
    return text;
}

// What to write: the value, or the line's start when the nominal changes.
std::string fix_text(const piece_cells& c, const line_reading& r) {
    return r.nominal.join ? c.cells[0] + " " + r.nominal.write + " " + r.value.write : r.value.write;
}

std::string read_with(const piece_cells& c, const line_reading& r) {
    return r.nominal.join ? "nominal " + c.cells[1] + " and value " + c.cells[2] : "value " + c.cells[2];
}

// How far `value` lies from `nominal`, relative to the nominal.
double deviation(double nominal, double value) {
    return nominal == 0 ? std::fabs(value) : std::fabs(value - nominal) / std::fabs(nominal);
}

// The error for the reading `best`; when it lies no nearer its nominal
// than tallix's, the other readings of the same cells that may be meant as
// well ("2,000": 2000 or 2.000).
std::string misread_text(const piece_cells& c, const std::string& what, const line_reading& best, bool read_far,
                         const std::vector<line_reading>& readings) {
    const bool close = near(best.nominal.value, best.value.value);
    std::string text = what + " is read with " + read_with(c, best) + "; " + parts_text(best);
    if (close && read_far && !best.nominal.join)
        text += ", which lies near the nominal " + c.cells[1] + ", where " + c.cells[2] + " lies far from it";
    else if (close && read_far)
        text += "; so read, nominal and value lie near each other, where " + c.cells[1] + " and " + c.cells[2] +
                " do not";
    text += ": write " + fix_text(c, best);
    if (close) return text;
    for (const line_reading& r : readings)
        if (r.strong() && r.nominal.written == best.nominal.written && r.value.written == best.value.written &&
            fix_text(c, r) != fix_text(c, best))
            return text + " or " + fix_text(c, r);
    return text;
}

// Whether reading `r` of rank `rank` is to be told before `best`: a higher
// rank, then more cells taken, then nearer its nominal.
bool before(const line_reading& r, int rank, const line_reading* best, int best_rank) {
    if (rank != best_rank || !best) return rank > best_rank;
    if (r.value.next != best->value.next) return r.value.next > best->value.next;
    return deviation(r.nominal.value, r.value.value) < deviation(best->nominal.value, best->value.value);
}

// Cells that go on the number before them: an error where they can only be
// one number (unless tallix's reading lies near its nominal and the joined
// one does not), or where the reading joined lies near its nominal and the
// one tallix takes far; a warning where blanks may part one number or two.
bool joined_reading(const piece_cells& c, const std::string& what, std::string& text, bool& error) {
    double nominal = 0, value = 0;
    is_number(c.cells[1], nominal);
    is_number(c.cells[2], value);
    const bool read_far = far_apart(nominal, value), read_near = near(nominal, value);
    const std::vector<line_reading> readings = line_readings(c);
    const line_reading* best = nullptr;
    int best_rank = 0;
    for (const line_reading& r : readings) {
        // A reading that can only be meant counts unless it lies far from
        // its nominal where tallix's reading lies near ("A7,250,250.6,9").
        const bool close = near(r.nominal.value, r.value.value);
        const int rank = r.strong() && close                ? 3
                         : close && read_far && r.telling() ? 2
                         : r.strong() && !read_near         ? 1
                                                            : 0;
        if (rank > 0 && before(r, rank, best, best_rank)) {
            best = &r;
            best_rank = rank;
        }
    }
    if (best) {
        error = true;
        text = misread_text(c, what, *best, read_far, readings);
        return true;
    }
    for (const line_reading& r : readings) {
        if (r.nominal.join || r.value.kind != JOIN_BLANKS || far_apart(r.nominal.value, r.value.value)) continue;
        error = false;
        text = what + " is read with value " + c.cells[2] + "; " + quoted(r.value.written) + " may be " +
               r.value.write + " written " + how_written(r.value) + ": if so, write " + r.value.write;
        return true;
    }
    return false;
}

// ------------------------------------------------ columns of an export

// How many `ch` (',' or '\t') a piece holds when its cells are separated by
// runs of `ch` alone and nothing stands before its first cell; -1 else.
// `single` is set when each run is one `ch`.
int separators_of(const piece_cells& c, char ch, bool& single) {
    if (c.runs.empty() || !c.runs[0].empty()) return -1;
    int count = 0;
    single = true;
    for (std::size_t i = 1; i < c.runs.size(); ++i) {
        if (c.runs[i].find_first_not_of(ch) != std::string::npos) return -1;
        single = single && c.runs[i].size() == 1;
        count += int(c.runs[i].size());
    }
    for (char t : c.tail) {
        if (t == ch) ++count;
        else if (t != '\r' && t != '\n') return -1;
    }
    return count;
}

// "column 3 is empty", "columns 2 and 4 are empty".
std::string columns_text(const std::vector<std::size_t>& columns) {
    if (columns.size() == 1) return ordinal_column(columns[0]) + " is empty";
    std::string text = "columns ";
    for (std::size_t k = 0; k < columns.size(); ++k)
        text += std::to_string(columns[k]) + (k + 2 < columns.size() ? ", " : k + 1 < columns.size() ? " and " : "");
    return text + " are empty";
}

// An empty cell among the first three of a spreadsheet export: most lines
// hold the same number of single commas (tabs), and this one as many with
// two of them in a row before its value, which tallix reads from a later
// column.
bool empty_export_cell(const piece_cells& c, const file_survey& survey, const std::string& what, std::string& text) {
    for (char ch : {',', '\t'}) {
        bool single = true;
        const int count = separators_of(c, ch, single);
        if (count < 0 || single) continue;
        const std::size_t nominal_column = 1 + c.runs[1].size(), value_column = nominal_column + c.runs[2].size();
        const std::map<int, long>& pattern = ch == ',' ? survey.single_commas : survey.single_tabs;
        const auto lines = pattern.find(count);
        if (value_column == 3 || lines == pattern.end() || lines->second < 2 || lines->second * 2 < survey.nominal_lines)
            continue;
        const std::string name = ch == ',' ? "comma" : "tab";
        std::vector<std::size_t> empty;
        for (std::size_t k = 2; k < value_column; ++k)
            if (k != nominal_column) empty.push_back(k);
        text = what + " is read with " +
               (nominal_column > 2 ? "nominal " + c.cells[1] + " from " + ordinal_column(nominal_column) + " and " : "") +
               "value " + c.cells[2] + " from " + ordinal_column(value_column) + "; " + columns_text(empty) + " (two " + name +
               "s in a row), where " + std::to_string(lines->second) + " other lines have " + std::to_string(count) +
               " single " + name + (count == 1 ? "" : "s") +
               ": tallix passes over an empty cell and reads the next one in its place. Fill in the empty cell, "
               "or delete the line";
        return true;
    }
    return false;
}

// The survey's count of the piece's single separators.
void count_separators(const piece_cells& c, file_survey& survey) {
    for (char ch : {',', '\t'}) {
        bool single = false;
        const int count = separators_of(c, ch, single);
        if (count > 0 && single) ++(ch == ',' ? survey.single_commas : survey.single_tabs)[count];
    }
}

}  // namespace

piece_cells cut_cells(const char* p, const char* end) {
    piece_cells c;
    data_cells cells = data_cells_of(p, end);
    std::size_t n = 0;
    for (const char* before = cells.p; const char* cell = next_data_cell(cells, n); before = cells.p) {
        c.runs.emplace_back(before, cell);
        c.cells.emplace_back(cell, n);
    }
    c.tail.assign(cells.p, end);
    return c;
}

int survey_data_file(std::FILE* file, file_survey& survey, int& error_number) {
    unsigned char head[8] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    if (got >= 2 && ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF))) {
        survey.encoding = ENCODING_UTF16;
    } else if (got == sizeof head) {
        // Without a byte order mark: text whose every other byte is a NUL.
        bool low = true, high = true;
        for (std::size_t i = 0; i < got; i += 2) {
            low = low && head[i] != 0 && head[i + 1] == 0;
            high = high && head[i] == 0 && head[i + 1] != 0;
        }
        if (low || high) survey.encoding = ENCODING_UTF16;
    }
    if (survey.encoding == ENCODING_ANSI && got >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF)
        survey.encoding = ENCODING_UTF8_BOM;
    if (std::fseek(file, 0, SEEK_SET) != 0) {
        error_number = errno ? errno : EIO;
        return 0;
    }

    auto reader = std::make_unique<text_reader>();
    text_reader_start(*reader, file);
    for (;;) {
        const char* data = nullptr;
        std::size_t length = 0;
        bool had_end = false;
        const text_read_result r = data_read_piece(*reader, data, length, had_end);
        if (r == TEXT_END) break;
        if (r == TEXT_FAILED) {
            error_number = reader->error;
            return 0;
        }
        const piece_cells c = cut_cells(data, data + said_length(data, length));
        if (c.cells.size() < 2) continue;
        ++survey.nominal_lines;
        if (comma_split_count(c) > 0) ++survey.comma_split;
        count_separators(c, survey);
    }
    std::clearerr(file);
    if (std::fseek(file, 0, SEEK_SET) != 0) {
        error_number = errno ? errno : EIO;
        return 0;
    }
    return 1;
}

std::string utf16_text() {
    return "the file is UTF-16 text (\"Unicode text\"): tallix reads one byte a character and finds no "
           "line in it; save it as \"Text (Tab delimited)\" (Excel), with the character set \"Western "
           "Europe (Windows-1252)\" (LibreOffice), or with the encoding \"ANSI\" (Notepad)";
}

int comma_split_count(const piece_cells& c) {
    if (c.cells.size() < 4 || !whole_number(c.cells[1]) || !whole_number(c.cells[2])) return 0;
    for (std::size_t i = 1; i <= 3; ++i)
        if (c.runs[i] != ",") return 0;
    int count = 0;
    for (std::size_t i = 3; i < c.cells.size() && c.runs[i] == "," && all_digits(c.cells[i]); ++i) ++count;
    return count;
}

bool looks_comma_split(const file_survey& survey) {
    return survey.comma_split >= 2 && survey.comma_split * 2 > survey.nominal_lines;
}

namespace {

// A UTF-8 byte order mark glued to the first asset.
bool byte_order_mark(const piece_cells& c, shape_note& note) {
    const std::string& a = c.cells[0];
    if (!starts_with(a, "\xEF\xBB\xBF") || a.size() <= 3 || c.cells.size() < 2) return false;
    note.error = true;
    note.text = "the file begins with a UTF-8 byte order mark, which tallix reads as part of the first asset, so "
                "no lookup of " + a.substr(3) +
                " finds this line; save the file as ANSI text (Notepad: encoding \"ANSI\"), or begin it with an "
                "empty line";
    return true;
}

// A header row: the first line with text, without a digit in its first
// cells. A comment: a line that begins as comments do elsewhere.
bool header_or_comment(const piece_cells& c, bool first_text, shape_note& note) {
    const std::string& a = c.cells[0];
    const bool more = c.cells.size() > 1;
    bool header = first_text && (more || a.find(';') != std::string::npos);
    for (std::size_t i = 0; i < c.cells.size() && i < 3; ++i) header = header && !has_digit(c.cells[i]);
    if (header) {
        note.text = "a header row? tallix has no header rows and reads this line as data, for an asset " +
                    quoted(a) + "; delete the row";
        return true;
    }
    const bool comment = a[0] == '#' || a[0] == '\'' || a[0] == '!' || a[0] == '*' || a[0] == ';' ||
                         starts_with(a, "//") || a == "REM" || a == "rem" || a == "Rem";
    if (!comment || !more) return false;
    note.text = "a comment? tallix has no comments and reads this line as data, for an asset " + quoted(a) +
                "; delete the line";
    return true;
}

// Cells in quotes: the asset keeps its quotes; a number with a decimal
// comma in quotes is cut at the comma once the quotes are gone.
bool quoted_cells(const piece_cells& c, shape_note& note) {
    const std::string& a = c.cells[0];
    if (a[0] != '"' || a.size() < 2 || c.cells.size() < 2) return false;
    const std::size_t close = a.find('"', 1);
    note.error = true;
    note.text = "cells in quotes: tallix keeps the quotes as part of the asset, so no lookup of " +
                meant_asset(a, 1, close == std::string::npos ? a.size() : close) +
                " finds this line; save the file without quotes around cells";
    for (std::size_t i = 1; i < c.cells.size(); ++i) {
        if (c.cells[i][0] != '"' || (c.cells[i].size() > 1 && c.cells[i].back() == '"')) continue;
        const std::string advice = quotes_advice(c, i);
        if (starts_with(advice, "; the quotes hold ")) note.text += advice;
        break;
    }
    return true;
}

// The byte A0 of the first non-breaking space at or after `from` (in
// Windows-1252 or UTF-8), or npos.
std::size_t find_nbsp(const std::string& s, std::size_t from) {
    const odd_char* which = nullptr;
    std::size_t n = 0;
    for (std::size_t at; (at = find_odd_char(s, from, which, n)) != std::string::npos; from = at + n)
        if (std::strcmp(which->code, "U+00A0") == 0) return at + n - 1;
    return std::string::npos;
}

// A non-breaking space before the asset or after it.
bool asset_nbsp(const piece_cells& c, shape_note& note) {
    const std::string& a = c.cells[0];
    const bool more = c.cells.size() > 1;
    const std::size_t lead = a[0] == '\xA0' ? 1 : starts_with(a, "\xC2\xA0") ? 2 : 0;
    if (lead > 0 && a.size() > lead && more) {
        const std::string meant = meant_asset(a, lead, std::min(find_nbsp(a, lead), a.size()));
        note.text = "a non-breaking space (U+00A0, " + std::string(lead == 1 ? "byte A0" : "bytes C2 A0") +
                    ") before \"" + meant + "\" is no blank to tallix: the asset is read as " + quoted(a) +
                    ", so no lookup of " + meant + " finds this line; type a plain blank or tab, or nothing";
        return true;
    }
    const std::size_t nbsp = find_nbsp(a, 0);
    if (nbsp == std::string::npos || (!more && !has_digit(a.substr(nbsp)))) return false;
    note.text = "a non-breaking space (byte A0) after \"" + meant_asset(a, 0, nbsp) +
                "\" is no blank to tallix: the asset is read together with what follows it, so no lookup of " +
                meant_asset(a, 0, nbsp) + " finds this line; type a plain blank or tab";
    return true;
}

// An asset cell that holds more than the asset: the cells after it joined
// by semicolons, quotes around it, a non-breaking space before or after it.
bool asset_with_more(const piece_cells& c, shape_note& note) {
    const std::string& a = c.cells[0];
    const std::size_t semicolon = a.find(';');
    if (semicolon != std::string::npos && semicolon > 0 && has_digit(a.substr(semicolon))) {
        note.error = true;
        note.text = "cells separated by semicolons: tallix cuts cells only at blanks, tabs and commas, so this "
                    "line is read as an asset " + quoted(a) + " and no lookup of " + meant_asset(a, 0, semicolon) +
                    " finds it; save the file as \"Text (Tab delimited)\", with decimal points";
        return true;
    }
    return quoted_cells(c, note) || asset_nbsp(c, note);
}

// An invisible character in the asset, which no lookup types; UTF-8 text,
// which a lookup's asset on Windows is not.
bool asset_odd_chars(const piece_cells& c, shape_note& note) {
    const std::string& a = c.cells[0];
    if (c.cells.size() < 2) return false;
    const std::size_t column = c.runs[0].size() + 1;
    const odd_char* which = nullptr;
    std::size_t n = 0;
    const std::size_t at = find_odd_char(a, 0, which, n);
    if (at != std::string::npos) {
        note.error = true;
        note.text = odd_char_text(*which, column + at) + " is part of the asset " + quoted(a) +
                    " to tallix, so no lookup of " + without_odd_chars(a) + " finds this line; " +
                    odd_char_mend(*which, false);
        return true;
    }
    const std::size_t text_at = find_utf8_text(a, n);
    if (text_at == std::string::npos) return false;
    note.text = "the asset " + quoted(a) + " is UTF-8 text (" + code_point(utf8_code(a, text_at, n)) + " at " +
                ordinal_column(column + text_at) +
                "): tallix compares assets byte for byte, and on Windows it gets the asset of a lookup in the "
                "ANSI code page (Windows-1252 on Western PCs: one byte a character, where UTF-8 has two or "
                "more), so a lookup typed there does not find this line; save the file as ANSI text (Notepad: encoding \"ANSI\")";
    return true;
}

}  // namespace

bool lost_line(const piece_cells& c, bool first_text, bool at_file_start, shape_note& note) {
    note = shape_note();
    if (c.cells.empty()) return false;
    return (at_file_start && byte_order_mark(c, note)) || header_or_comment(c, first_text, note) ||
           asset_with_more(c, note) || asset_odd_chars(c, note);
}

namespace {

// A value cell that can only go on the nominal before it ("R7 2.00004 E-3
// 2.00004E-3"): the line to write.
std::string goes_on_the_nominal(const piece_cells& c, std::size_t index) {
    if (index != 2) return "";
    for (const joined& n : joins_at(c, 1)) {
        if (!n.strong || n.next <= 2 || n.next >= c.cells.size() || !is_number(c.cells[n.next])) continue;
        return "; it goes on the nominal: " + quoted(n.written) + " looks like " + n.write + " written " +
               how_written(n) + ": write " + c.cells[0] + " " + n.write + " " + c.cells[n.next];
    }
    return "";
}

}  // namespace

std::string number_advice_at(const piece_cells& c, std::size_t index) {
    if (index >= c.cells.size() || c.cells[index].empty()) return "";
    const std::string& cell = c.cells[index];
    if (cell.front() == '"' || cell.back() == '"') return quotes_advice(c, index);
    std::string advice = goes_on_the_nominal(c, index);
    if (advice.empty()) advice = parentheses_advice(c, index);
    if (advice.empty()) advice = odd_char_advice(c, index);
    if (!advice.empty()) return advice;
    if (is_unit(cell)) return "; a unit between the cells? tallix reads it in the place of the number: remove it";
    if (cell.find(';') != std::string::npos)
        return "; semicolons between cells? tallix cuts cells only at blanks, tabs and commas";
    advice = written_advice(with_comma_group(c, index));
    if (!advice.empty()) return advice;

    // A number with a unit glued on.
    double value = 0;
    const std::size_t number = scan_number(cell.data(), cell.size(), value, NUMBER_STRTOD);
    if (number == 0 || number == cell.size()) return "";
    const std::string unit = cell.substr(number);
    if (unit == "%") return percent_advice("", cell.substr(0, number));
    if (is_unit(unit)) return "; a unit glued to the number? write the number alone: " + cell.substr(0, number);
    return "";
}

std::string number_advice(const std::string& cell) {
    piece_cells alone;
    alone.cells = {"", cell};
    alone.runs = {"", " "};
    return number_advice_at(alone, 1);
}

namespace {

// A thousands point before a decimal comma, on a line of blank-separated
// cells: the comma cuts the number in two.
bool points_and_comma(const piece_cells& c, const std::string& what, std::string& text) {
    for (std::size_t i = 1; i <= 2 && i + 1 < c.cells.size(); ++i) {
        if (c.runs[i].find_first_of(" \t") == std::string::npos || !thousands_points(c.cells[i]) ||
            c.runs[i + 1] != "," || !all_digits(c.cells[i + 1]))
            continue;
        text = what + " is read with " +
               (i == 1 ? "nominal " + c.cells[1] + " and value " + c.cells[2] : "value " + c.cells[2]) + "; " +
               quoted(c.cells[i] + "," + c.cells[i + 1]) +
               " looks like a number with a thousands point and a decimal comma: write " + without_points(c.cells[i]) +
               "." + c.cells[i + 1];
        return true;
    }
    return false;
}

// Most lines of a comma-separated file with whole numbers split off after
// the value: decimal commas.
bool comma_split_file(const piece_cells& c, const file_survey& survey, const std::string& what, std::string& text) {
    const int split = comma_split_count(c);
    if (split == 0 || !looks_comma_split(survey)) return false;
    text = what + " is read with value " + c.cells[2] + " and " + std::to_string(split) +
           (split == 1 ? " more number" : " more numbers") + " after it, which " +
           (split == 1 ? "is" : "are") + " ignored; " + std::to_string(survey.comma_split) + " of the " +
           std::to_string(survey.nominal_lines) +
           " lines with a nominal look the same: saved with decimal commas and commas between cells? ";
    if (split == 1)
        text += "If the value is " + c.cells[2] + "," + c.cells[3] + ", write " + c.cells[0] + " " + c.cells[1] +
                " " + c.cells[2] + "." + c.cells[3];
    else if (split == 2)
        text += "If the nominal is " + c.cells[1] + "," + c.cells[2] + " and the value " + c.cells[3] + "," +
                c.cells[4] + ", write " + c.cells[0] + " " + c.cells[1] + "." + c.cells[2] + " " + c.cells[3] +
                "." + c.cells[4];
    else
        text += "Write the numbers with decimal points and separate the cells with tabs or blanks";
    return true;
}

}  // namespace

namespace {

// A percent sign after the value: tallix takes the number as it stands,
// which is a hundredth of itself as a fraction.
bool percent_after(const piece_cells& c, const std::string& what, std::string& text) {
    if (c.cells.size() < 4 || c.cells[3] != "%") return false;
    text = what + " is read with value " + c.cells[2] + "; the percent sign after it is never read" +
           percent_choice(c.cells[2]);
    return true;
}

}  // namespace

bool misread_numbers(const piece_cells& c, const file_survey& survey, const std::string& what,
                     std::string& text, bool& error) {
    error = true;
    if (c.cells.size() < 3) return false;
    if (points_and_comma(c, what, text) || comma_split_file(c, survey, what, text) ||
        empty_export_cell(c, survey, what, text) || joined_reading(c, what, text, error))
        return true;
    error = false;
    return percent_after(c, what, text);
}

std::string unit_after_value(const piece_cells& c) {
    return c.cells.size() >= 4 && is_unit(c.cells[3]) ? c.cells[3] : "";
}

bool register_file_name(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\:");
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.size() != 11) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (fold_asset_char(name[i]) != "dosdose.dat"[i]) return false;
    return true;
}

namespace {

// A line of the register exchange file: one number, as VORNAX's runtime
// writes it (1.#INF for infinity).
bool register_number(const std::string& line) {
    const piece_cells c = cut_cells(line.data(), line.data() + line.size());
    if (c.cells.size() != 1) return false;
    const std::string& s = c.cells[0];
    return is_number(s) || s == "1.#INF" || s == "-1.#INF" || s == "+1.#INF";
}

}  // namespace

bool looks_like_register_file(std::FILE* file, bool named) {
    std::string head(64 * 1024, '\0');
    head.resize(std::fread(&head[0], 1, head.size(), file));
    std::clearerr(file);
    std::fseek(file, 0, SEEK_SET);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < head.size() && lines.size() < 64;) {
        std::size_t end = head.find('\n', at);
        if (end == std::string::npos) end = head.size();
        lines.push_back(head.substr(at, end - at));
        at = end + 1;
    }
    bool data_line = false;
    std::size_t numbers = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == 2) continue;  // MEM2, free text
        const piece_cells c = cut_cells(lines[i].data(), lines[i].data() + lines[i].size());
        data_line = data_line || (c.cells.size() >= 2 && is_number(c.cells[1]));
        numbers += i < 23 && register_number(lines[i]);
    }
    return named ? !data_line : lines.size() >= 23 && numbers == 22;
}
