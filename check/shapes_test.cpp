// The shapes of cut numbers: each kind of input written in the ways locales,
// spreadsheets and editors write it, at the nominal and at the value, with
// each separator between cells, and told with the number to write.
#include "check/shapes.h"
#include "exchange/exchange.h"
#include "lookup/search.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

piece_cells cells_of(const std::string& line) { return cut_cells(line.data(), line.data() + line.size()); }

bool is_number(const std::string& s) {
    double v = 0;
    return nr3_value(s.data(), s.size(), v) == 1;
}

// The file's survey, as the checks take it before the lines.
file_survey survey_of(const std::string& text) {
    file_survey survey;
    std::FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    int error_number = 0;
    EXPECT_EQ(survey_data_file(f, survey, error_number), 1);
    std::fclose(f);
    return survey;
}

struct finding {
    bool found = false;
    bool error = false;
    std::string text;
};

finding misread(const std::string& line, const file_survey& survey = file_survey()) {
    const piece_cells c = cells_of(line);
    finding f;
    f.found = misread_numbers(c, survey, c.cells[0] + " at " + c.cells[1], f.text, f.error);
    return f;
}

bool ends_with(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// "2 000.75" for 2000.75 with `sep` between groups of three.
std::string grouped(const std::string& whole, const std::string& sep) {
    std::string out;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) out += sep;
        out += whole[i];
    }
    return out;
}

const char* const CELL_SEPARATORS[] = {" ", "\t", ", ", "  ", "\t\t"};

// A cell after the nominal or value that can only go on it: digits led by
// a zero, an exponent alone, a power of ten. An error whose text names the
// value a lookup takes and ends with the number to write.
TEST(MisreadNumbers, CellsThatCanOnlyGoOnANumber) {
    const struct {
        std::string first, rest, meant;  // the number cut in two, and what it is
    } kinds[] = {
        {"2", "000.75", "2000.75"},      {"12", "000", "12000"},          {"123", "045 678", "123045678"},
        {"-4", "005", "-4005"},          {"1", "000 000.2", "1000000.2"}, {"2.00004", "00041", "2.0000400041"},
        {"10.5", "05", "10.505"},        {"7", "05", "705"},              {"2.00004", "E-3", "2.00004E-3"},
        {"5", "e+01", "5e+01"},          {"1.5", "D2", "1.5D2"},          {"-3", "E3", "-3E3"},
        {"2.5", "x 10-2", "2.5E-2"},     {"2.5", "x10^-2", "2.5E-2"},     {"7", "*10^-3", "7E-3"},
        {"4.1", "\xC2\xB7" "10\xC2\xB3", "4.1E3"}, {"9", "\xC3\x97 10^4", "9E4"}, {"1.25", "X 10", "1.25E1"},
    };
    for (const auto& k : kinds) {
        for (const char* sep : CELL_SEPARATORS) {
            // At the value, the nominal far from it or near it.
            for (const std::string& nominal : {std::string("1e9"), k.meant}) {
                const std::string line = std::string("R6") + sep + nominal + sep + k.first + " " + k.rest;
                const finding f = misread(line);
                EXPECT_TRUE(f.found && f.error) << line;
                EXPECT_EQ(f.text.rfind("R6 at " + nominal + " is read with value " + k.first + "; ", 0), 0u) << f.text;
                EXPECT_TRUE(ends_with(f.text, ": write " + k.meant)) << f.text;
            }
            // At the nominal: the line as it should be.
            const std::string line = std::string("R6") + sep + k.first + " " + k.rest + sep + k.meant;
            const piece_cells c = cells_of(line);
            const finding f = misread(line);
            EXPECT_TRUE(f.found && f.error) << line;
            EXPECT_EQ(f.text.rfind("R6 at " + k.first + " is read with nominal " + k.first + " and value " +
                                       c.cells[2] + "; ", 0), 0u) << f.text;
            EXPECT_TRUE(ends_with(f.text, ": write R6 " + k.meant + " " + k.meant)) << f.text;
        }
    }
}

// Decimal commas and thousands separators on a line that commas cut, line
// by line: a group led by a zero, a fraction after a group of three, a
// zero before the comma. A group of other digits on a line that reads
// right is a column of its own (AB12,10,10,3).
TEST(MisreadNumbers, CommaCutNumbersLineByLine) {
    const char* const wholes[] = {"1", "20", "300", "-5", "4711"};
    const char* const zero_led[] = {"05", "00041", "000", "0000013", "09"};
    const char* const lines[] = {"B7,%N,%V", "B7,%N, %V", "B7, %N,%V"};  // ", " only away from the value's comma
    for (const char* whole : wholes) {
        for (const char* group : zero_led) {
            const std::string meant = std::string(whole) + "." + group;
            for (std::string shape : lines) {
                // The nominal with its sign: the same number, in no
                // locale's thousands shape.
                shape.replace(shape.find("%N"), 2, (whole[0] == '-' ? "" : "+") + meant);
                const std::string line = shape.replace(shape.find("%V"), 2, std::string(whole) + "," + group);
                const finding f = misread(line);
                EXPECT_TRUE(f.found && f.error) << line;
                EXPECT_NE(f.text.find(" is read with value " + std::string(whole) + "; "), std::string::npos) << f.text;
                EXPECT_TRUE(ends_with(f.text, ": write " + meant)) << f.text;
                // The same with another group: a fourth column, no finding,
                // as long as the value reads near its nominal.
                const std::string column = "B7," + std::string(whole) + "," + whole + "," + std::to_string(3 + group[1] - '0');
                EXPECT_FALSE(misread(column).found) << column;
            }
        }
    }
    // Thousands separators with a fraction or exponent after them.
    // The nominal far from every reading, or at the meant one.
    for (const std::string whole : {"2000", "1000000", "-12345", "999999999"}) {
        const std::string written = grouped(whole[0] == '-' ? whole.substr(1) : whole, ",");
        for (const std::string tail : {".75", ".2", "E3"}) {
            const std::string value = (whole[0] == '-' ? "-" : "") + written + tail;
            for (const std::string& nominal : {std::string("1e-9"), whole + tail}) {
                const finding f = misread("R5," + nominal + "," + value);
                EXPECT_TRUE(f.found && f.error) << value;
                // "2,000E3" far from its nominal may be 2.000E3 as well.
                const bool either = tail == "E3" && whole.size() <= 4 && nominal == "1e-9";
                EXPECT_TRUE(either ? f.text.find(whole + tail) != std::string::npos
                                   : ends_with(f.text, ": write " + whole + tail)) << f.text;
            }
        }
    }
}

// A value far from its nominal whose cells joined lie near it: a decimal
// comma with nothing before it, a nominal and value both cut at their
// decimal commas. Read near, the same shapes stay clean.
TEST(MisreadNumbers, NearnessOfTheJoinedReading) {
    for (const std::string digits : {"250031", "5", "99987", "1000013"}) {
        const std::string meant = "0." + digits;
        for (const char* before : {" ", "\t", "  "}) {
            const std::string line = std::string("B6") + before + meant + before + "," + digits;
            const finding f = misread(line);
            EXPECT_TRUE(f.found && f.error) << line;
            EXPECT_NE(f.text.find("is read with value " + digits + "; \"," + digits + "\""), std::string::npos) << f.text;
            EXPECT_TRUE(ends_with(f.text, ": write " + meant)) << f.text;
            // Documented: commas before cells, read near.
            const std::string documented = std::string("AB12") + before + "," + digits + before + "," + digits + ".02";
            EXPECT_FALSE(misread(documented).found) << documented;
        }
    }
    for (int whole = 1; whole <= 9; whole += 2) {
        // Fractions whose digits read as a value far from the whole number.
        for (const std::string fraction : {"75", "125", "33"}) {
            const std::string w = std::to_string(whole);
            const std::string line = "B7," + w + "," + fraction + "," + w + "," + fraction + "0011";
            const finding f = misread(line);
            EXPECT_TRUE(f.found && f.error) << line;
            EXPECT_NE(f.text.find("is read with nominal " + w + " and value " + fraction + ";"), std::string::npos)
                << f.text;
            EXPECT_TRUE(ends_with(f.text, ": write B7 " + w + "." + fraction + " " + w + "." + fraction + "0011"))
                << f.text;
        }
    }
    // Written as documented: a value read near its nominal, whatever follows.
    for (const char* line : {"AB12,10,10.02,calibrated 2026", "R1 10 10 100", "AB12,10,10,3", "AB12 10 2.5D2 7",
                             "A7 100 99.9987 V", "AB12,10,10.02,3"})
        EXPECT_FALSE(misread(line).found) << line;
}

// Digit groups with a blank between them that may be one number or two: a
// warning that names the value read and the other reading.
TEST(MisreadNumbers, OneNumberOrTwoIsAWarning) {
    for (const std::string fraction : {"000", "500", "123456"}) {
        for (const std::string more : {"13", "7", "250"}) {
            for (const char* sep : CELL_SEPARATORS) {
                const std::string value = "10." + fraction;
                const std::string line = std::string("A7") + sep + "10" + sep + value + " " + more;
                const finding f = misread(line);
                EXPECT_TRUE(f.found) << line;
                EXPECT_FALSE(f.error) << line;
                EXPECT_EQ(f.text, "A7 at 10 is read with value " + value + "; \"" + value + " " + more + "\" may be " +
                                      value + more + " written with a blank in it: if so, write " + value + more);
            }
        }
    }
}

// A percent sign after the value: a warning with both numbers it may be.
TEST(MisreadNumbers, APercentSignAfterTheValueIsAWarning) {
    for (const std::string value : {"0.5", "50.00", "12.5", "100"}) {
        for (const char* sep : CELL_SEPARATORS) {
            const std::string line = std::string("P1") + sep + value + sep + value + " %";
            double v = 0;
            nr3_value(value.data(), value.size(), v);
            const finding f = misread(line);
            EXPECT_TRUE(f.found && !f.error) << line;
            EXPECT_EQ(f.text, "P1 at " + value + " is read with value " + value + "; the percent sign after it is "
                              "never read: write " + value + " if the value is meant in percent, or " +
                              format_number(v / 100) + " as a fraction");
        }
    }
}

// An empty cell among the first three of an export whose other lines hold
// the same number of single commas or tabs; a file aligned with double
// tabs everywhere, or lines of other widths, stay clean.
TEST(MisreadNumbers, AnEmptyCellInAnExport) {
    for (const std::string sep : {",", "\t"}) {
        const std::string name = sep == "," ? "comma" : "tab";
        for (int columns = 4; columns <= 6; ++columns) {
            for (int others = 2; others <= 4; ++others) {
                std::string text;
                for (int i = 0; i < others; ++i) {
                    std::string line = "A" + std::to_string(i) + sep + "10" + sep + "10.00013";
                    for (int k = 3; k < columns; ++k) line += sep + "x";
                    text += line + "\r\n";
                }
                std::string empty_value = "B8" + sep + "20" + sep + sep + "0.00007";
                for (int k = 4; k < columns; ++k) empty_value += sep + "x";
                const std::string empty_nominal = "B8" + sep + sep + "20" + sep + "0.00007";
                const file_survey survey = survey_of(text + empty_value + "\r\n");
                const finding f = misread(empty_value, survey);
                EXPECT_TRUE(f.found && f.error) << empty_value;
                EXPECT_EQ(f.text.rfind("B8 at 20 is read with value 0.00007 from column 4; column 3 is empty (two " +
                                           name + "s in a row), where " + std::to_string(others) + " other lines have " +
                                           std::to_string(columns - 1) + " single " + name + "s",
                                       0), 0u) << f.text;
                // A line of another width is not of the export.
                const finding other = misread(empty_value + sep + "y", survey);
                EXPECT_FALSE(other.found) << other.text;
                if (columns == 4) {
                    const finding n = misread(empty_nominal, survey_of(text + empty_nominal + "\r\n"));
                    EXPECT_TRUE(n.found && n.error) << empty_nominal;
                    EXPECT_NE(n.text.find("is read with nominal 20 from column 3 and value 0.00007 from column 4; "
                                          "column 2 is empty"), std::string::npos) << n.text;
                }
            }
        }
    }
    const std::string aligned = "A7\t\t10\t\t10.00013\r\nA8\t\t20\t\t20.5\r\nA9\t\t30\t\t30.5\r\n";
    EXPECT_FALSE(misread("A7\t\t10\t\t10.00013", survey_of(aligned)).found);
}

// A number as each locale writes it, in every place a lookup reads one:
// the finding (a number that is none, or one read in two) ends with the
// number to write.
TEST(NumberAdvice, EachLocalesNumbersTellTheNumberToWrite) {
    const struct {
        const char* name;
        const char* group;
        const char* decimal;
    } locales[] = {{"German", ".", ","}, {"Swiss", "'", "."}, {"Swiss typeset", "\xE2\x80\x99", "."},
                   {"French", "\xA0", ","}, {"French UTF-8", "\xC2\xA0", ","},
                   {"French narrow", "\xE2\x80\xAF", ","}, {"US", ",", "."}, {"decimal comma only", "", ","}};
    const char* const wholes[] = {"1", "12", "999", "1000", "65432", "1000000", "20000001"};
    const char* const fractions[] = {"", "5", "75", "00013"};
    int told = 0;
    for (const auto& l : locales) {
        for (const char* whole : wholes) {
            for (const char* fraction : fractions) {
                const std::string written = grouped(whole, l.group) + (*fraction ? l.decimal + std::string(fraction) : "");
                const std::string meant = std::string(whole) + (*fraction ? "." + std::string(fraction) : "");
                if (is_number(written) || written == meant) continue;  // nothing to mend
                for (const char* sep : {" ", "\t", ", "}) {
                    for (int at = 1; at <= 2; ++at) {
                        const std::string line = at == 2 ? std::string("R1") + sep + "5" + sep + written
                                                         : std::string("R1") + sep + written + sep + "5";
                        const piece_cells c = cells_of(line);
                        const std::string advice = is_number(c.cells[at]) ? std::string() : number_advice_at(c, at);
                        finding f;
                        if (advice.empty()) f = misread(line);
                        const std::string said = advice.empty() ? f.text : advice;
                        // "1,000" may be either: both are named.
                        const bool either = said.find(": write " + meant + " or ") != std::string::npos ||
                                            ends_with(said, " or " + meant);
                        EXPECT_TRUE(ends_with(said, ": write " + meant) || either || ends_with(said, " R1 " + meant + " 5"))
                            << l.name << ": " << line << "\n" << said;
                        ++told;
                    }
                }
            }
        }
    }
    EXPECT_GT(told, 400);
}

// Parentheses for a negative number, a percent sign, quotes around a
// number with a decimal comma: what tallix reads and the number to write.
TEST(NumberAdvice, AccountingPercentAndQuotes) {
    for (const std::string number : {"0,50001", "0.50001", "1,000.5", "12"}) {
        std::string plain;
        for (char ch : number) plain += ch == ',' ? (number.find('.') != std::string::npos ? "" : ".") : std::string(1, ch);
        for (const char* sep : {" ", ",", "\t"}) {
            const std::string line = std::string("B1") + sep + "-0.5" + sep + "(" + number + ")";
            const piece_cells c = cells_of(line);
            EXPECT_TRUE(ends_with(number_advice_at(c, 2), ": write -" + plain)) << line << number_advice_at(c, 2);
            if (number.find(',') == std::string::npos) continue;
            const std::string in_quotes = std::string("A7") + sep + "10" + sep + "\"" + number + "\"";
            const std::string advice = number_advice_at(cells_of(in_quotes), 2);
            EXPECT_NE(advice.find("; the quotes hold \"" + number + "\""), std::string::npos) << advice;
            EXPECT_TRUE(ends_with(advice, ": write " + plain)) << advice;
            const bool commas = std::string(sep) == ",";
            EXPECT_EQ(advice.find("removing the quotes alone would make tallix read ") != std::string::npos, commas)
                << advice;
        }
    }
    for (const std::string percent : {"50.00", "0.5", "12.5", "100"}) {
        double v = 0;
        nr3_value(percent.data(), percent.size(), v);
        const std::string advice = number_advice(percent + "%");
        EXPECT_NE(advice.find("percent sign"), std::string::npos) << advice;
        EXPECT_TRUE(ends_with(advice, ": write " + percent + " if the value is meant in percent, or " +
                                          format_number(v / 100) + " as a fraction")) << advice;
    }
}

const struct {
    const char* bytes;
    const char* named;
} INVISIBLE[] = {{"\xE2\x80\x8B", "U+200B zero-width space"}, {"\xC2\xAD", "U+00AD soft hyphen"},
                 {"\xAD", "U+00AD soft hyphen"}, {"\xE2\x80\xAF", "U+202F narrow non-breaking space"},
                 {"\xE2\x81\xA0", "U+2060 word joiner"}, {"\xEF\xBB\xBF", "U+FEFF zero-width no-break space"}};

// Invisible characters in a number and in an asset, named by their code
// point and column.
TEST(InvisibleCharacters, NamedWithTheirCodePointAndColumn) {
    for (const auto& inv : INVISIBLE) {
        for (const std::string number : {"10.5", "1000", "0.00013"}) {
            for (std::size_t at = 1; at < number.size(); ++at) {
                for (const char* sep : {" ", "\t", ","}) {
                    const std::string cell = number.substr(0, at) + inv.bytes + number.substr(at);
                    const std::string line = std::string("A7") + sep + "10" + sep + cell;
                    const std::string advice = number_advice_at(cells_of(line), 2);
                    const std::string column = std::to_string(2 + std::strlen(sep) * 2 + 2 + at + 1);
                    EXPECT_EQ(advice.rfind("; it holds " + std::string(inv.named) + " at column " + column, 0), 0u)
                        << line << "\n" << advice;
                    EXPECT_TRUE(ends_with(advice, ": write " + number)) << advice;
                }
            }
        }
        for (const std::string asset : {"AB12", "C301", "Q"}) {
            for (std::size_t at = 0; at <= asset.size(); ++at) {
                const std::string line = asset.substr(0, at) + inv.bytes + asset.substr(at) + " 10 5";
                shape_note note;
                EXPECT_TRUE(lost_line(cells_of(line), false, false, note)) << line;
                EXPECT_TRUE(note.error) << line;
                EXPECT_EQ(note.text.rfind(std::string(inv.named) + " at column " + std::to_string(at + 1), 0), 0u)
                    << note.text;
                EXPECT_NE(note.text.find("no lookup of " + asset + " finds this line"), std::string::npos) << note.text;
            }
        }
    }
    // A ligature: the letters to type; a non-breaking space before the
    // asset: the asset it hides.
    for (const std::string& before : {std::string("\xA0"), std::string("\xC2\xA0")}) {
        for (const std::string asset : {"AB12", "A7", "fin3"}) {
            shape_note note;
            EXPECT_TRUE(lost_line(cells_of(before + asset + "\t10\t5"), false, false, note));
            EXPECT_NE(note.text.find("before \"" + asset + "\""), std::string::npos) << note.text;
            EXPECT_NE(note.text.find("no lookup of " + asset + " finds"), std::string::npos) << note.text;
        }
    }
    shape_note note;
    EXPECT_TRUE(lost_line(cells_of("Pro\xEF\xAC\x81le 10 5"), false, false, note));
    EXPECT_EQ(note.text.rfind("U+FB01 ligature fi at column 4", 0), 0u) << note.text;
    EXPECT_TRUE(ends_with(note.text, "no lookup of Profile finds this line; type the letters fi")) << note.text;
    // UTF-8 text in an asset: a warning with its code point; the same
    // letter in Windows-1252 is no finding.
    EXPECT_TRUE(lost_line(cells_of("Pr\xC3\xBC" "fling 10 5"), false, false, note));
    EXPECT_FALSE(note.error);
    EXPECT_NE(note.text.find("UTF-8 text (U+00FC at column 3)"), std::string::npos) << note.text;
    EXPECT_FALSE(lost_line(cells_of("Pr\xFC" "fling 10 5"), false, false, note)) << note.text;
}

// The register exchange file, by its name in any case and folder.
TEST(RegisterFile, KnownByItsName) {
    for (const char* path : {"dosdose.dat", "DOSDOSE.DAT", "C:\\VORNAX\\DosDose.dat", "/tmp/x/dosdose.dat",
                             "C:dosdose.dat"})
        EXPECT_TRUE(register_file_name(path)) << path;
    for (const char* path : {"dosdose.dat.bak", "mydosdose.dat", "dosdose.txt", "dosdose", "refs.dat"})
        EXPECT_FALSE(register_file_name(path)) << path;
}

}  // namespace
