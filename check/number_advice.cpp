// The advice on a nominal or value cell that tallix refuses as no number
// (number_advice, number_advice_at): numbers as locales write them (decimal
// commas, thousands separators of every kind, apostrophes, blanks that are
// none to tallix), in quotes, negative in parentheses, with a unit or a
// percent sign or an invisible character, or cut off the nominal before
// them; each told with the number to write.
#include "check/number_advice.h"

#include "check/cell_text.h"
#include "check/joins.h"
#include "check/shapes.h"

#include "exchange/exchange.h"

#include <cstring>
#include <vector>

namespace {

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

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


}  // namespace

std::string percent_choice(const std::string& write) {
    double value = 0;
    is_number(write, value);
    return ": write " + write + " if the value is meant in percent, or " + format_number(value / 100) +
           " as a fraction";
}

namespace {

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


}  // namespace

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

namespace {

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
