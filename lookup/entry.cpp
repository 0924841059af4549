// The tool's entry: cut the command line into its four arguments and run
// the lookup on them with tallix's hooks (dosdose.dat and the operator).
#include "lookup/data_file.h"
#include "lookup/run.h"
#include "platform/platform.h"

namespace {

bool is_separator(char c) { return c == ' ' || c == ','; }

}  // namespace

int cut_arguments(std::string& text, const char* args[4]) {
    int count = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    bool blank = false;  // the run of separators before the token holds a space
    while (count < 4) {
        for (; i < n && is_separator(text[i]); ++i) blank = blank || text[i] == ' ';
        if (i >= n) break;
        const std::size_t start = i;
        args[count++] = text.c_str() + i;
        while (i < n && !is_separator(text[i])) ++i;
        // A nominal typed with a decimal comma ("A7 0,5") must not become
        // the whole number before it: after a run that holds a blank, a
        // whole number glued by lone commas to groups that begin with a
        // digit is one argument, which is no number and is reported.
        if (count == 4 && blank && is_whole_digits(text.data() + start, i - start))
            while (i + 1 < n && text[i] == ',' && text[i + 1] >= '0' && text[i + 1] <= '9')
                for (++i; i < n && !is_separator(text[i]);) ++i;
        blank = i < n && text[i] == ' ';
        if (i < n) text[i++] = '\0';
    }
    for (int k = count; k < 4; ++k) args[k] = nullptr;
    return count;
}

int tallix_entry(const char* command_line) {
    std::string text = command_line ? command_line : "";
    const char* args[4];
    const int count = cut_arguments(text, args);
    lookup_result result;
    return run_lookup(args, count, operator_hooks(), result);
}
