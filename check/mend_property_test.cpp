// The mend against the search, on random data files: clean records written
// out as each spreadsheet program or editor would write them (German Excel
// CSV and tab text, LibreOffice with quotes, Excel's "Unicode Text" and "CSV
// UTF-8", a Mac export with CR line ends, Swiss and French numbers, with or
// without a header row), mended, must give every lookup its record's value,
// with the number written as the record holds it, and check clean. Exports
// whose reading is not certain must be refused. The same files every run.
#include "check/check.h"
#include "check/mend.h"
#include "test_support.h"

#include "lookup/search.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

struct record {
    std::string asset, nominal, value;  // as tallix reads them
};

// How one program writes a file.
struct export_style {
    const char* name;
    char32_t separator;
    char32_t decimal;
    std::vector<char32_t> groups;  // thousands separators it may use (0: none)
    int encoding;                  // 0 Windows-1252, 1 UTF-8 with mark, 2 UTF-8, 3 UTF-16LE with mark
    const char* line_end;
    bool quoted;
    std::vector<char32_t> minus;   // '-', '(' for parentheses, U+2212, U+2013
};

const export_style STYLES[] = {
    {"German Excel CSV", ';', ',', {0, '.'}, 0, "\r\n", false, {'-', '('}},
    {"German tab text", '\t', ',', {0, '.'}, 0, "\r\n", false, {'-', 0x2013}},
    {"LibreOffice quoted", ';', ',', {0}, 2, "\n", true, {'-'}},
    {"Excel Unicode Text", '\t', ',', {0, '.'}, 3, "\r\n", false, {'-', 0x2212}},
    {"Excel CSV UTF-8", ';', ',', {0}, 1, "\r\n", false, {'-', 0x2212}},
    {"Mac export", '\t', '.', {0}, 0, "\r", false, {'-'}},
    {"Swiss", ';', '.', {'\'', 0x2019}, 0, "\r\n", false, {'-'}},
    {"French", ';', ',', {0xA0}, 0, "\r\n", false, {'-'}},
    {"French UTF-8", '\t', ',', {0x202F, 0x2009}, 1, "\r\n", false, {'-', 0x2212}},
};

std::string digits(std::mt19937& rng, int n, bool lead_zero) {
    std::string s;
    for (int i = 0; i < n; ++i) s += char('0' + (i == 0 && !lead_zero ? 1 + rng() % 9 : rng() % 10));
    return s;
}

// A number of varied magnitude, sign, exponent and 0 to 12 decimals; with
// `decimals` >= 0, exactly that many.
std::string random_number(std::mt19937& rng, int decimals = -1) {
    const int whole = 1 + int(rng() % 7);
    std::string s = rng() % 4 == 0 ? "-" : "";
    s += whole == 1 ? digits(rng, 1, true) : digits(rng, whole, false);
    const int n = decimals >= 0 ? decimals : int(rng() % 13);
    if (n > 0) s += "." + digits(rng, n, true);
    if (rng() % 6 == 0) s += std::string("E") + (rng() % 2 ? "-" : "+") + digits(rng, 2, true);
    return s;
}

bool meets(const std::vector<record>& rs, const std::string& asset, double nominal) {
    for (const record& r : rs) {
        double n = 0;
        nr3_value(r.nominal.data(), r.nominal.size(), n);
        if (r.asset == asset && (in_tolerance(n, nominal, nominal) || in_tolerance(nominal, n, n))) return true;
    }
    return false;
}

// Records with distinct assets and nominals; the first nominal has one or
// two decimals, so that the file shows its decimal mark.
std::vector<record> random_records(std::mt19937& rng) {
    std::vector<std::string> assets;
    for (int i = 0, n = 1 + int(rng() % 5); i < n; ++i) assets.push_back(std::string(1, char('A' + i)) + digits(rng, 1 + int(rng() % 3), false));
    std::vector<record> rs;
    for (int i = 0, n = 3 + int(rng() % 20); i < n; ++i) {
        record r;
        r.asset = assets[rng() % assets.size()];
        double nominal = 0;
        do {
            r.nominal = random_number(rng, i == 0 ? 1 + int(rng() % 2) : -1);
            nr3_value(r.nominal.data(), r.nominal.size(), nominal);
        } while (meets(rs, r.asset, nominal));
        r.value = random_number(rng);
        rs.push_back(r);
    }
    return rs;
}

// `number` as the style writes it.
std::u32string written(const std::string& number, const export_style& st, std::mt19937& rng) {
    if (number.empty() || number.back() == '%')
        return number.empty() ? U"" : written(number.substr(0, number.size() - 1), st, rng) + U"%";
    const bool negative = number[0] == '-';
    const std::size_t e = number.find('E');
    const std::string mantissa = number.substr(negative ? 1 : 0, e == std::string::npos ? std::string::npos : e - (negative ? 1 : 0));
    const std::size_t point = mantissa.find('.');
    const std::string whole = mantissa.substr(0, point);
    const char32_t group = e == std::string::npos ? st.groups[rng() % st.groups.size()] : 0;
    std::u32string out;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (group && i > 0 && (whole.size() - i) % 3 == 0) out += group;
        out += char32_t(whole[i]);
    }
    if (point != std::string::npos) out += st.decimal + std::u32string(mantissa.begin() + long(point) + 1, mantissa.end());
    if (e != std::string::npos) out += std::u32string(number.begin() + long(e), number.end());
    const char32_t minus = st.minus[rng() % st.minus.size()];
    if (!negative) return out;
    return minus == '(' ? U"(" + out + U")" : std::u32string(1, minus) + out;
}

std::string encoded(const std::u32string& text, int encoding) {
    std::string out = encoding == 1 ? "\xEF\xBB\xBF" : encoding == 3 ? "\xFF\xFE" : "";
    for (char32_t c : text) {
        if (encoding == 3) {
            out += char(c & 0xFF), out += char(c >> 8);
        } else if (encoding == 0) {
            out += c == 0x2019 ? '\x92' : c == 0x2013 ? '\x96' : char(c);
        } else if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6)), out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xE0 | (c >> 12)), out += char(0x80 | ((c >> 6) & 0x3F)), out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u32string cell(const std::u32string& text, const export_style& st) { return st.quoted ? U"\"" + text + U"\"" : text; }

std::string export_file(const std::vector<record>& rs, const export_style& st, bool header, std::mt19937& rng) {
    const std::u32string sep(1, st.separator), end(st.line_end, st.line_end + std::strlen(st.line_end));
    std::u32string text;
    if (header) text += cell(U"Pr\u00FCfling", st) + sep + cell(U"Nennwert", st) + sep + cell(U"Messwert", st) + end;
    for (const record& r : rs)
        text += cell(std::u32string(r.asset.begin(), r.asset.end()), st) + sep + cell(written(r.nominal, st, rng), st) +
                sep + cell(written(r.value, st, rng), st) + end;
    return encoded(text, st.encoding);
}

int no_report(void* context, const std::string& text, int, const char*, register_set&) {
    *static_cast<std::string*>(context) = text;
    return OUTCOME_GIVE_UP;
}

// Every record's lookup in the mended file delivers its value, from a line
// that holds its nominal and value as written, and the file checks clean.
void expect_same_lookups(const std::vector<record>& rs, const std::string& mended, const std::string& dir) {
    const std::string path = dir + "/mended.dat";
    write_file(path, mended);
    std::map<std::string, std::string> lines;
    for (std::size_t from = 0, to; (to = mended.find("\r\n", from)) != std::string::npos; from = to + 2) {
        const std::string line = mended.substr(from, to - from);
        const std::size_t a = line.find('\t'), b = line.find('\t', a + 1);
        lines[line.substr(0, b)] = line.substr(b + 1);
    }
    for (const record& r : rs) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        std::string message;
        search_request q;
        q.data_path = path.c_str();
        q.file = f;
        q.asset = r.asset.c_str();
        nr3_value(r.nominal.data(), r.nominal.size(), q.nominal);
        q.report = no_report;
        q.report_context = &message;
        register_set regs;
        search_stop stop;
        const int outcome = search_data_file(q, regs, stop);
        std::fclose(f);
        double value = 0;
        nr3_value(r.value.data(), r.value.size(), value);
        EXPECT_EQ(outcome, OUTCOME_FOUND) << r.asset << " " << r.nominal << ": " << message;
        EXPECT_EQ(regs.MEM, value) << r.asset << " " << r.nominal;
        EXPECT_EQ(lines[r.asset + "\t" + r.nominal], r.value) << r.asset << " " << r.nominal;
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string findings;
    check_totals totals;
    int error_number = 0;
    EXPECT_EQ(check_data_file(path.c_str(), f, findings, totals, error_number), 1);
    std::fclose(f);
    EXPECT_EQ(totals.errors + totals.warnings, 0) << findings;
}

TEST(MendProperty, EveryExportMendedGivesTheSameLookups) {
    const std::string dir = make_scratch_dir();
    for (const export_style& st : STYLES) {
        for (unsigned round = 1; round <= 40; ++round) {
            std::mt19937 rng(round * 7919u + unsigned(st.separator));
            const std::vector<record> rs = random_records(rng);
            const std::string file = export_file(rs, st, round % 2 == 0, rng);
            SCOPED_TRACE(std::string(st.name) + ", file " + std::to_string(round) + ":\n" + file);
            mend_result r;
            ASSERT_EQ(mend_data_file(file, r), 1) << r.refusals[0].line << ": " << r.refusals[0].text;
            expect_same_lookups(rs, r.text, dir);
        }
    }
}

// An export of one kind whose reading is not certain, from random records
// as German Excel writes them: 0 commas between cells and decimal commas, 1
// decimal points and commas mixed, 2 every number "1,000"-like, 3 an empty
// cell, 4 a percent sign, 5 two values for one asset at one nominal.
std::string uncertain_export(int kind, std::mt19937& rng) {
    export_style st = STYLES[rng() % 2];
    std::vector<record> rs = random_records(rng);
    const std::size_t k = rng() % rs.size();
    if (kind == 0) {
        st.separator = ',', st.groups = {0}, st.minus = {'-'};
        for (record& r : rs) r.value = random_number(rng, 1 + int(rng() % 12));
    } else if (kind == 2) {
        for (std::size_t i = 0; i < rs.size(); ++i) {
            rs[i].nominal = std::to_string(i + 1);
            rs[i].value = (rng() % 4 ? "" : "-") + digits(rng, 1 + int(rng() % 3), false) + "." + digits(rng, 3, true);
        }
        st.groups = {0};
    } else if (kind == 3) {
        (rng() % 2 ? rs[k].nominal : rs[k].value) = "";
    } else if (kind == 4) {
        rs[k].value += "%";
    } else if (kind == 5) {
        record again = rs[k];
        while (std::stod(again.value) == std::stod(rs[k].value)) again.value = random_number(rng);
        rs.insert(rs.begin() + long(k + 1 + rng() % (rs.size() - k)), again);
    }
    std::string file = export_file(rs, st, rng() % 2 == 0, rng);
    if (kind == 1) {
        export_style points = st;
        points.decimal = '.', points.groups = {0};
        file += export_file({{"Z9", random_number(rng, 1 + int(rng() % 2)), random_number(rng)}}, points, false, rng);
    }
    return file;
}

TEST(MendProperty, UncertainExportsAreRefused) {
    const char* const reasons[] = {"commas part the cells", "do not agree", "no other number of the file shows",
                                   "empty|no value", "percent", "every lookup delivers the first"};
    for (int kind = 0; kind < 6; ++kind) {
        for (unsigned round = 1; round <= 30; ++round) {
            std::mt19937 rng(round * 104729u + unsigned(kind));
            const std::string file = uncertain_export(kind, rng);
            SCOPED_TRACE("kind " + std::to_string(kind) + ", file " + std::to_string(round) + ":\n" + file);
            mend_result r;
            ASSERT_EQ(mend_data_file(file, r), 0) << r.text;
            EXPECT_EQ(r.text, "");
            std::string all;
            for (const mend_note& n : r.refusals) all += n.text + "\n";
            const std::string reason = reasons[kind];
            const std::size_t bar = reason.find('|');
            const bool named = all.find(reason.substr(0, bar)) != std::string::npos ||
                               (bar != std::string::npos && all.find(reason.substr(bar + 1)) != std::string::npos);
            EXPECT_TRUE(named) << all;
        }
    }
}

}  // namespace
