// Numbers as locales write them, read for the mend (mend.h): digit groups
// with thousands separators, a decimal point or comma, a sign, parentheses
// for a negative number and an exponent. What a cell shows of its decimal
// mark (decimal_evidence) lets the file decide on one mark; the number is
// then written in the syntax tallix reads with its digits as they were
// written, never through a double.
#include "check/mend.h"

#include "check/cell_text.h"

#include <cstddef>

namespace {

// A number as its writer typed it.
struct written_number {
    bool parentheses = false;
    char32_t sign = 0;  // '+', '-', U+2212 or U+2013 as written; 0: none
    std::vector<std::string> groups;
    std::u32string seps;   // the separator before each group after the first
    std::string exponent;  // the exponent in tallix's syntax ("E-03"); empty: none
    std::u32string rest;   // what follows that is no part of a number
};

bool digit(char32_t c) { return c >= '0' && c <= '9'; }
bool is_minus(char32_t c) { return c == '-' || c == 0x2212 || c == 0x2013; }
bool point_or_comma(char32_t c) { return c == '.' || c == ','; }

// What stands between digit groups: a point, a comma, an apostrophe (also
// U+2019), a blank, a non-breaking, narrow non-breaking or thin space.
bool group_separator(char32_t c) {
    return c == '.' || c == ',' || c == '\'' || c == 0x2019 || c == ' ' || c == 0xA0 || c == 0x202F || c == 0x2009;
}

// Reads `cell` into `w`; returns false when something other than a number
// stands in it (then in w.rest).
bool read_written(const std::u32string& cell, written_number& w) {
    std::u32string s = cell;
    if (s.size() >= 2 && s.front() == '(' && s.back() == ')') {
        w.parentheses = true;
        s = s.substr(1, s.size() - 2);
    }
    std::size_t i = 0;
    if (!s.empty() && (s[0] == '+' || is_minus(s[0]))) w.sign = s[i++];
    for (;;) {
        std::string group;
        for (; i < s.size() && digit(s[i]); ++i) group += char(s[i]);
        if (group.empty()) break;
        w.groups.push_back(group);
        if (i + 1 >= s.size() || !group_separator(s[i]) || !digit(s[i + 1])) break;
        w.seps += s[i++];
    }
    if (!w.groups.empty() && i + 1 < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::size_t k = i + 1;
        std::string exponent(1, char(s[i]));
        if (s[k] == '+' || is_minus(s[k])) exponent += s[k++] == '+' ? '+' : '-';
        const std::size_t digits_from = k;
        for (; k < s.size() && digit(s[k]); ++k) exponent += char(s[k]);
        if (k > digits_from) {
            w.exponent = exponent;
            i = k;
        }
    }
    w.rest = s.substr(i);
    return !w.groups.empty() && w.rest.empty() && !(w.parentheses && w.sign);
}

decimal_mark mark_of(char32_t c) { return c == '.' ? MARK_POINT : MARK_COMMA; }

// Why `cell`, which read_written did not take, is no number.
std::string not_a_number(const std::u32string& cell, const written_number& w) {
    if (cell.empty()) return "the cell is empty";
    if (w.rest.find('%') != std::u32string::npos)
        return "a percent sign: the sheet shows 50% for 0.5; write the number the procedure expects";
    if (w.parentheses && w.sign) return "a sign inside parentheses: is the number negative or not?";
    return "no number tallix reads, and no mend of it is certain";
}

}  // namespace

decimal_mark decimal_evidence(const std::u32string& cell) {
    written_number w;
    if (!read_written(cell, w)) return MARK_UNKNOWN;
    std::size_t points = 0, commas = 0, at = 0, others_before = 0;
    for (std::size_t j = 0; j < w.seps.size(); ++j) {
        if (!point_or_comma(w.seps[j])) {
            if (points + commas == 0) ++others_before;
            continue;
        }
        (w.seps[j] == '.' ? points : commas) += 1;
        at = j;
    }
    if (points + commas == 0) return MARK_UNKNOWN;
    if (points && commas) return mark_of(w.seps[at]);
    const char32_t c = w.seps[at];
    if (points + commas > 1) return c == '.' ? MARK_COMMA : MARK_POINT;
    // One mark: a decimal mark where it cannot part thousands.
    const std::string& before = w.groups[at];
    const bool no_group = w.groups[at + 1].size() != 3 || others_before > 0 ||
                          (at == 0 && (before.size() > 3 || before[0] == '0'));
    return no_group ? mark_of(c) : MARK_UNKNOWN;
}

int mend_number(const std::u32string& cell, decimal_mark mark, bool commas, std::string& number, std::string& why) {
    written_number w;
    if (!read_written(cell, w)) {
        why = not_a_number(cell, w);
        return 0;
    }
    if (!commas && w.seps.find(',') != std::u32string::npos) {
        why = "a comma inside the cell: where commas part cells, it may part cells or mark decimals";
        return 0;
    }
    bool marks = false;
    for (char32_t c : w.seps) marks = marks || point_or_comma(c);
    if (marks && mark == MARK_UNKNOWN) mark = decimal_evidence(cell);
    if (marks && mark == MARK_UNKNOWN) {
        why = "may be read with a decimal mark or a thousands separator, and no other number of the file "
              "shows which: write it with a decimal point and without thousands separators";
        return 0;
    }
    const char32_t decimal = mark == MARK_COMMA ? U',' : U'.';
    std::size_t point_at = w.seps.size();
    char32_t group = 0;
    for (std::size_t j = 0; j < w.seps.size(); ++j) {
        if (w.seps[j] == decimal && j + 1 == w.seps.size()) point_at = j;
        else if (w.seps[j] == decimal || (group && w.seps[j] != group)) {
            why = "its separators fit no one way of writing numbers";
            return 0;
        } else group = w.seps[j];
    }
    for (std::size_t g = 1; g <= point_at && g < w.groups.size(); ++g) {
        if (w.groups[g].size() != 3 || w.groups[0].size() > 3 || w.groups[0][0] == '0') {
            why = "its digit groups are no groups of thousands";
            return 0;
        }
    }
    number = w.parentheses || (w.sign && is_minus(w.sign)) ? "-" : w.sign ? "+" : "";
    for (std::size_t g = 0; g < w.groups.size(); ++g) number += (g == point_at + 1 ? "." : "") + w.groups[g];
    number += w.exponent;
    if (is_number(number)) return 1;
    why = "no number tallix reads, and no mend of it is certain";
    return 0;
}
