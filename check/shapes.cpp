// A piece cut into the cells a lookup reads, and the survey of a whole file
// before its lines are judged: its encoding, how many lines have a nominal,
// how many of them look split at decimal commas, and the columns of a
// spreadsheet export. The judgments of one line live beside it:
// lost_lines.cpp, number_advice.cpp, misread.cpp, register_file.cpp.
#include "check/shapes.h"

#include "check/cell_text.h"
#include "check/export_columns.h"

#include "exchange/exchange.h"
#include "lookup/data_file.h"
#include "lookup/search.h"

#include <cerrno>
#include <memory>

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

    auto reader = new_text_reader();
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
