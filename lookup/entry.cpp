// The tool's entry: cut the command line into its four arguments and start
// the lookup, or tell the operator which argument is missing.
#include "lookup/lookup.h"
#include "platform/platform.h"

namespace {

bool is_separator(char c) { return c == ' ' || c == ','; }

}  // namespace

int cut_arguments(std::string& text, const char* args[4]) {
    int count = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (count < 4) {
        while (i < n && is_separator(text[i])) ++i;
        if (i >= n) break;
        args[count++] = text.c_str() + i;
        while (i < n && !is_separator(text[i])) ++i;
        if (i < n) text[i++] = '\0';
    }
    for (int k = count; k < 4; ++k) args[k] = nullptr;
    return count;
}

int tallix_entry(const char* command_line) {
    std::string text = command_line ? command_line : "";
    const char* args[4];
    const int count = cut_arguments(text, args);

    static const char* const missing[4] = {
        "VORNAX initialization file name required!",
        "Data file name required!",
        "Asset number required!",
        "Nominal value required!",
    };
    if (count < 4) {
        report_before_registers(missing[count], 0, args[0]);
        return 1;
    }
    return run_lookup(args[0], args[1], args[2], args[3]);
}
