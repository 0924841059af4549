// get_dose over arbitrary exchange files, standard and extended (the first
// byte chooses), against a plain model of the file; every file that reads
// is written back with put_dose, read again and written again, which must
// give the same registers and the same bytes.
#include "exchange/exchange.h"
#include "fuzz/fuzz_scratch.h"
#include "fuzz/number_model.h"
#include "platform/platform.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_boxes;

int record_box(const char* text, const char* caption, unsigned) {
    g_boxes.push_back(std::string(caption) + ": " + text);
    return ANSWER_OK;
}

[[noreturn]] void fault(const char* what) {
    std::fprintf(stderr, "get_dose: %s\n", what);
    for (const std::string& b : g_boxes) std::fprintf(stderr, "  box %s\n", b.c_str());
    std::abort();
}

// The exchange file in text mode, as whole lines: Ctrl-Z ends it, CR LF and
// LF end a line, a last line without a line end still counts.
std::vector<std::string> model_lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string line;
    bool open = false;
    for (size_t i = 0; i < bytes.size() && bytes[i] != '\x1A'; ++i) {
        if (bytes[i] == '\n' || (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) {
            if (bytes[i] == '\r') ++i;
            lines.push_back(line);
            line.clear();
            open = false;
            continue;
        }
        line += bytes[i];
        open = true;
    }
    if (open) lines.push_back(line);
    return lines;
}

double model_register(const std::string& line) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || (line[i] >= 9 && line[i] <= 13))) ++i;
    size_t j = i;
    bool negative = false;
    if (j < line.size() && (line[j] == '+' || line[j] == '-')) negative = line[j++] == '-';
    if (line.compare(j, 6, "1.#INF") == 0) return negative ? -HUGE_VAL : HUGE_VAL;
    return model::read(line.data(), line.size()).atof_value;
}

bool same_registers(const register_set& a, const register_set& b, int count) {
    if (!model::same_bits(a.MEM, b.MEM) || !model::same_bits(a.MEM1, b.MEM1) || a.MEM2 != b.MEM2) return false;
    for (int i = 0; i < count; ++i)
        if (!model::same_bits(a.M[i], b.M[i])) return false;
    return true;
}

int temp_files_left(const std::string& dir) {
    int n = 0;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name).rfind("dosdose~", 0) == 0) ++n;
        closedir(d);
    }
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string& dir = fuzz_scratch_dir();
    static const std::string ini = [&] {
        std::string path = dir + "/vornax.ini";
        fuzz_write_file(path, "[Startup]\r\nprocdir=C:\\VORNAX\r\nuser_data_dir=" + dir + "\r\n");
        return path;
    }();
    const std::string dose = dir + "/dosdose.dat";
    platform_set_message_box_handler(record_box);

    const int extended = data[0] & 1;
    const int count = extended ? REGISTERS_EXTENDED : REGISTERS_STANDARD;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    fuzz_write_file(dose, bytes);
    g_boxes.clear();

    register_set rs;
    rs.result_kind = 3;
    rs.result_text = "left over";
    const int ok = get_dose(ini.c_str(), rs, extended);

    const std::vector<std::string> lines = model_lines(bytes);
    const size_t needed = 3 + size_t(count);
    if (lines.size() < needed) {
        if (ok) fault("read a file that is short of lines");
        const size_t missing = lines.size();
        std::string what = missing == 0 ? "MEM" : missing == 1 ? "MEM1" : missing == 2 ? "MEM2"
                         : "M[" + std::to_string(missing - 2) + "]";
        if (g_boxes.size() != 1 || g_boxes[0] != "Error: Cannot get " + what + " from \"" + dose + "\".")
            fault("wrong message for a short file");
        return 0;
    }
    if (!ok || !g_boxes.empty()) fault("failed on a file with every line");
    register_set want;
    want.MEM = model_register(lines[0]);
    want.MEM1 = model_register(lines[1]);
    want.MEM2 = lines[2];
    for (int i = 0; i < count; ++i) want.M[i] = model_register(lines[3 + size_t(i)]);
    if (!same_registers(rs, want, count)) fault("registers differ from the model");
    if (rs.result_kind != RESULT_NONE || !rs.result_text.empty()) fault("result section not cleared");

    // Written back: the registers rounded to 12 digits, which then stay.
    if (!put_dose(ini.c_str(), rs, extended)) fault("put_dose failed");
    const std::string first = fuzz_read_file(dose);
    register_set again;
    if (!get_dose(ini.c_str(), again, extended)) fault("cannot read what put_dose wrote");
    if (again.MEM2 != rs.MEM2) fault("MEM2 changed on the way back");
    for (int i = 0; i < count; ++i)
        if (format_number(again.M[i]) != format_number(rs.M[i])) fault("a register changed on the way back");
    if (!put_dose(ini.c_str(), again, extended)) fault("second put_dose failed");
    if (fuzz_read_file(dose) != first) fault("writing what was read back changed the file");
    if (temp_files_left(dir) != 0) fault("temporary file left behind");
    return 0;
}
