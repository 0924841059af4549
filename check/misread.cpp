// The readings of a line a lookup takes a value from that are not what its
// writer meant though every cell is a number (misread_numbers): cells that
// go on the nominal or value before them (joins.h), told as errors where
// they can only be one number or where the joined reading lies near its
// nominal and tallix's far from it (nearness); a thousands point before a
// decimal comma; decimal commas in a comma-separated file; an empty cell
// of a spreadsheet export (export_columns.h); and, as warnings, a percent
// sign or a unit after the value (unit_after_value), never read.
#include "check/shapes.h"

#include "check/cell_text.h"
#include "check/export_columns.h"
#include "check/joins.h"
#include "check/number_advice.h"

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

namespace {

// A reading of a line's nominal and value, at least one of them joined.
struct line_reading {
    joined nominal, value;
};

// Whether the reading's cells can only be one number.
bool strong(const line_reading& r) { return r.nominal.strong || r.value.strong; }

// Enough digits joined that nearness is no chance: three or more, or a
// decimal comma with nothing before it, which no column begins with.
bool telling(const line_reading& r) { return r.nominal.added + r.value.added >= 3 || r.nominal.bare || r.value.bare; }

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
        if (strong(r) && r.nominal.written == best.nominal.written && r.value.written == best.value.written &&
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
        const int rank = strong(r) && close                 ? 3
                         : close && read_far && telling(r) ? 2
                         : strong(r) && !read_near          ? 1
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
