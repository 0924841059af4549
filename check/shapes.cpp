// The shapes that spreadsheet programs and editors leave in data files, each
// recognised on the cells a lookup reads and told in the writer's terms.
#include "check/shapes.h"

#include "exchange/exchange.h"
#include "lookup/data_file.h"

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

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

// "1.000" and "12.345.678": a whole number written with thousands points.
bool thousands_points(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && is_digit(s[i])) ++i;
    if (i == 0 || i > 3 || i == s.size()) return false;
    while (i < s.size()) {
        if (s[i] != '.' || i + 4 > s.size()) return false;
        for (std::size_t k = 1; k <= 3; ++k)
            if (!is_digit(s[i + k])) return false;
        i += 4;
    }
    return true;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// The asset its writer meant: the cell without the quotes or the text after
// a semicolon or a non-breaking space.
std::string meant_asset(const std::string& cell, std::size_t from, std::size_t to) {
    std::string a = cell.substr(from, to - from);
    if (!a.empty() && a.back() == '\xC2') a.pop_back();  // the first byte of a UTF-8 NBSP
    return a;
}

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

}  // namespace

piece_cells cut_cells(const char* p, const char* end) {
    piece_cells c;
    data_cells cells = data_cells_of(p, end);
    std::size_t n = 0;
    for (const char* before = cells.p; const char* cell = next_data_cell(cells, n); before = cells.p) {
        c.runs.emplace_back(before, cell);
        c.cells.emplace_back(cell, n);
    }
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

// An asset cell that holds more than the asset: the cells after it joined
// by semicolons, quotes around it, a non-breaking space after it.
bool asset_with_more(const piece_cells& c, shape_note& note) {
    const std::string& a = c.cells[0];
    const bool more = c.cells.size() > 1;
    const std::size_t semicolon = a.find(';');
    const std::size_t nbsp = a.find('\xA0');
    if (semicolon != std::string::npos && semicolon > 0 && has_digit(a.substr(semicolon))) {
        note.error = true;
        note.text = "cells separated by semicolons: tallix cuts cells only at blanks, tabs and commas, so this "
                    "line is read as an asset " + quoted(a) + " and no lookup of " + meant_asset(a, 0, semicolon) +
                    " finds it; save the file as \"Text (Tab delimited)\", with decimal points";
        return true;
    }
    if (a[0] == '"' && a.size() > 1 && more) {
        const std::size_t close = a.find('"', 1);
        note.error = true;
        note.text = "cells in quotes: tallix keeps the quotes as part of the asset, so no lookup of " +
                    meant_asset(a, 1, close == std::string::npos ? a.size() : close) +
                    " finds this line; save the file without quotes around cells";
        return true;
    }
    if (nbsp == std::string::npos || (!more && !has_digit(a.substr(nbsp)))) return false;
    note.text = "a non-breaking space (byte A0) after \"" + meant_asset(a, 0, nbsp) +
                "\" is no blank to tallix: the asset is read together with what follows it, so no lookup of " +
                meant_asset(a, 0, nbsp) + " finds this line; type a plain blank or tab";
    return true;
}

}  // namespace

bool lost_line(const piece_cells& c, bool first_text, bool at_file_start, shape_note& note) {
    note = shape_note();
    if (c.cells.empty()) return false;
    return (at_file_start && byte_order_mark(c, note)) || header_or_comment(c, first_text, note) ||
           asset_with_more(c, note);
}

std::string number_advice(const std::string& cell) {
    if (cell.empty()) return "";
    if (cell.front() == '"' || cell.back() == '"') return "; remove the quotes around the cell";
    if (cell.find('\xA0') != std::string::npos)
        return "; it holds a non-breaking space (byte A0), which is no blank to tallix: type a plain blank";
    if (is_unit(cell)) return "; a unit between the cells? tallix reads it in the place of the number: remove it";
    if (cell.find(';') != std::string::npos)
        return "; semicolons between cells? tallix cuts cells only at blanks, tabs and commas";

    // A whole number, comma groups of digits, perhaps a unit: a number
    // written with a decimal comma or thousands separators.
    std::size_t i = (cell[0] == '+' || cell[0] == '-') ? 1 : 0;
    const std::size_t int_start = i;
    while (i < cell.size() && is_digit(cell[i])) ++i;
    const std::string whole = cell.substr(0, i);
    std::vector<std::string> groups;
    while (i + 1 < cell.size() && cell[i] == ',' && is_digit(cell[i + 1])) {
        const std::size_t from = ++i;
        while (i < cell.size() && is_digit(cell[i])) ++i;
        groups.push_back(cell.substr(from, i - from));
    }
    std::size_t unit = i;
    while (unit < cell.size() && is_letter(cell[unit])) ++unit;
    if (i > int_start && !groups.empty() && unit == cell.size()) {
        const std::string with_unit = i < cell.size() ? " and a unit" : "";
        bool thousands = true;
        std::string joined = whole;
        for (const std::string& g : groups) {
            thousands = thousands && g.size() == 3;
            joined += g;
        }
        if (groups.size() == 1 && thousands)
            return "; it looks like a thousands separator or a decimal comma" + with_unit + ": write " + joined +
                   " or " + whole + "." + groups[0];
        if (groups.size() == 1) return "; it looks like a decimal comma" + with_unit + ": write " + whole + "." + groups[0];
        if (thousands) return "; it looks like thousands separators" + with_unit + ": write " + joined;
        return "; write numbers with a decimal point and without thousands separators";
    }

    // A number with a unit glued on.
    double value = 0;
    const std::size_t number = scan_number(cell.data(), cell.size(), value, NUMBER_STRTOD);
    if (number > 0 && number < cell.size() && is_unit(cell.substr(number)))
        return "; a unit glued to the number? write the number alone: " + cell.substr(0, number);
    return "";
}

bool misread_numbers(const piece_cells& c, const file_survey& survey, const std::string& what,
                     std::string& text) {
    // A thousands point before a decimal comma, on a line of blank-separated
    // cells: the comma cuts the number in two.
    for (std::size_t i = 1; i <= 2 && i + 1 < c.cells.size(); ++i) {
        if (c.runs[i].find_first_of(" \t") == std::string::npos || !thousands_points(c.cells[i]) ||
            c.runs[i + 1] != "," || !all_digits(c.cells[i + 1]))
            continue;
        std::string meant;
        for (char ch : c.cells[i])
            if (ch != '.') meant += ch;
        text = what + " is read with " +
               (i == 1 ? "nominal " + c.cells[1] + " and value " + c.cells[2] : "value " + c.cells[2]) + "; " +
               quoted(c.cells[i] + "," + c.cells[i + 1]) +
               " looks like a number with a thousands point and a decimal comma: write " + meant + "." +
               c.cells[i + 1];
        return true;
    }

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

std::string unit_after_value(const piece_cells& c) {
    return c.cells.size() >= 4 && is_unit(c.cells[3]) ? c.cells[3] : "";
}
