// Reading and writing the register exchange file `dosdose.dat`.
//
// Layout, one item a line: MEM, MEM1, MEM2 (free text), the numbered
// registers M 1 to 20 (or 255), and, only when there is one, the result
// text followed by PASS, FAIL or the result number.
#include "exchange/error_box.h"
#include "exchange/exchange.h"
#include "exchange/host_ini.h"
#include "exchange/text_mode.h"
#include "platform/platform.h"

#include <cstdio>
#include <memory>

namespace {

int register_count(int extended) { return extended ? REGISTERS_EXTENDED : REGISTERS_STANDARD; }

int fail_reading(std::FILE* f, const std::string& what, const std::string& path) {
    std::fclose(f);
    show_library_error(quoted_message(("Cannot get " + what + " from ").c_str(), path, "."));
    return 0;
}

std::string render(const register_set& rs, int count) {
    std::string out;
    append_number(out, rs.MEM);
    text_end_line(out);
    append_number(out, rs.MEM1);
    text_end_line(out);
    text_append_line(out, rs.MEM2);
    for (int i = 0; i < count; ++i) {
        append_number(out, rs.M[i]);
        text_end_line(out);
    }
    if (rs.result_kind != RESULT_NONE) {
        text_append_line(out, rs.result_text);
        if (rs.result_kind == RESULT_PASS) text_append_line(out, "PASS");
        else if (rs.result_kind == RESULT_FAIL) text_append_line(out, "FAIL");
        else if (rs.result_kind == RESULT_NUMBER) text_append_line(out, format_number(rs.result_value));
    }
    return out;
}

}  // namespace

int get_dose(const char* ini_path, register_set& rs, int extended) {
    const int count = register_count(extended);
    std::string path;
    if (!exchange_file_path(ini_path, path)) return 0;

    std::FILE* f = platform_open_disk_file(path.c_str());
    if (!f) {
        show_library_error(quoted_message("Cannot open ", path, " for reading."));
        return 0;
    }
    auto reader = new_text_reader();
    text_reader_start(*reader, f);
    std::string line;
    // A file that cannot be read at all (a directory, an I/O error) is told
    // as one that cannot be opened; running out of lines is told per line.
    auto take = [&](const std::string& what) -> int {
        text_read_result got = text_read_line(*reader, line);
        if (got == TEXT_LINE) return 1;
        if (got == TEXT_FAILED) {
            std::fclose(f);
            show_library_error(quoted_message("Cannot open ", path, " for reading."));
            return 0;
        }
        return fail_reading(f, what, path);
    };

    if (!take("MEM")) return 0;
    rs.MEM = read_register_line(line);
    if (!take("MEM1")) return 0;
    rs.MEM1 = read_register_line(line);
    if (!take("MEM2")) return 0;
    rs.MEM2 = line;
    for (int i = 0; i < count; ++i) {
        if (!take("M[" + std::to_string(i + 1) + "]")) return 0;
        rs.M[i] = read_register_line(line);
    }
    rs.result_text.clear();
    rs.result_kind = RESULT_NONE;
    std::fclose(f);
    return 1;
}

int put_dose(const char* ini_path, const register_set& rs, int extended) {
    std::string path;
    if (!exchange_file_path(ini_path, path)) return 0;
    const std::string content = render(rs, register_count(extended));
    // Should the last-resort in-place write stop part-way, what a reader
    // finds must never be this run's value with MEM1 = 1: that write puts
    // the registers with MEM1 = -1 in first, and the flag only after them.
    register_set not_yet = rs;
    not_yet.MEM1 = -1;
    const std::string first_in_place = render(not_yet, register_count(extended));

    const write_result written = platform_write_file(path.c_str(), content, first_in_place);
    if (written == WRITE_REFUSED) {
        show_library_error(quoted_message("Cannot open ", path, " for writing."));
        return 0;
    }
    if (written != WRITE_DONE) {
        show_library_error(quoted_message("Cannot write ", path, "."));
        return 0;
    }
    return 1;
}
