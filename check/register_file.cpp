// VORNAX's register exchange file (dosdose.dat) among data files: its name,
// and its lines of one number each (the free text MEM2 on line 3), which
// `*.dat` takes in beside the data files and which is no data file.
#include "check/shapes.h"

#include "check/cell_text.h"
#include "lookup/data_file.h"

#include <vector>

bool register_file_name(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\:");
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.size() != 11) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (fold_asset_char(name[i]) != "dosdose.dat"[i]) return false;
    return true;
}

namespace {

// A line of the register exchange file: one number, as VORNAX's runtime
// writes it (1.#INF for infinity).
bool register_number(const std::string& line) {
    const piece_cells c = cut_cells(line.data(), line.data() + line.size());
    if (c.cells.size() != 1) return false;
    const std::string& s = c.cells[0];
    return is_number(s) || s == "1.#INF" || s == "-1.#INF" || s == "+1.#INF";
}

}  // namespace

bool looks_like_register_file(std::FILE* file, bool named) {
    std::string head(64 * 1024, '\0');
    head.resize(std::fread(&head[0], 1, head.size(), file));
    std::clearerr(file);
    std::fseek(file, 0, SEEK_SET);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < head.size() && lines.size() < 64;) {
        std::size_t end = head.find('\n', at);
        if (end == std::string::npos) end = head.size();
        lines.push_back(head.substr(at, end - at));
        at = end + 1;
    }
    bool data_line = false;
    std::size_t numbers = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == 2) continue;  // MEM2, free text
        const piece_cells c = cut_cells(lines[i].data(), lines[i].data() + lines[i].size());
        data_line = data_line || (c.cells.size() >= 2 && is_number(c.cells[1]));
        numbers += i < 23 && register_number(lines[i]);
    }
    return named ? !data_line : lines.size() >= 23 && numbers == 22;
}
