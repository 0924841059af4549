// The readings of cells that go on the number before them (joins.h): digit
// groups parted by blanks, an exponent or a power of ten standing apart,
// and decimal commas and thousands separators on a line cut at commas.
#include "check/joins.h"

#include "check/cell_text.h"

#include <algorithm>
#include <cstring>

namespace {

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

}  // namespace

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
