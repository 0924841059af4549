// The message box that stands in for MessageBoxA on POSIX systems: two
// lines on standard error, the answer a line of standard input.
#include "platform/platform.h"
#include "platform/posix_stand_ins.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Reads one line of standard input without its line end. Returns false at
// end of input or on a read error.
bool read_answer_line(std::string& line) {
    line.clear();
    for (;;) {
        int c = std::fgetc(stdin);
        if (c == EOF) return !std::ferror(stdin) && !line.empty();
        if (c == '\n') break;
        line.push_back(char(c));
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

std::string lowered_and_trimmed(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return std::string();
    std::size_t e = s.find_last_not_of(" \t");
    std::string out = s.substr(b, e - b + 1);
    for (char& c : out) c = lower_ascii(c);
    return out;
}

// The button id that `answer` is (Windows' IDOK 1 to IDCONTINUE 11, plain
// digits, leading zeros as many as typed: "4", "04" and "004" alike), or 0
// when it is none: "-", "4-", "-4", "0" and "12" are no button of any box,
// and neither are IDCLOSE 8 and IDHELP 9, which a Windows message box
// ignores when a program sends them.
int button_id(const std::string& answer) {
    if (answer.empty() || answer.find_first_not_of("0123456789") != std::string::npos) return 0;
    const std::size_t first = answer.find_first_not_of('0');
    if (first == std::string::npos || answer.size() - first > 2) return 0;
    const int id = std::atoi(answer.c_str() + first);
    return id >= 1 && id <= 11 && id != 8 && id != 9 ? id : 0;
}

}  // namespace

int terminal_message_box(const char* text, const char* caption, unsigned style) {
    const bool retry_cancel = (style & 0xFu) == MB_STYLE_RETRYCANCEL;
    std::fprintf(stderr, "%s: %s\n", caption, text);
    for (;;) {
        std::fputs(retry_cancel ? "[Retry/Cancel]\n" : "[OK]\n", stderr);
        std::fflush(stderr);
        std::string line;
        if (!read_answer_line(line)) return ANSWER_NONE;
        std::string a = lowered_and_trimmed(line);
        // A button id, as an automation tool sends it, is returned as it
        // is, whatever buttons the box has; any other number asks again.
        const int id = button_id(a);
        if (id != 0) return id;
        if (retry_cancel) {
            if (a.empty() || a == "r" || a == "retry") return ANSWER_RETRY;
            if (a == "c" || a == "cancel") return ANSWER_CANCEL;
        } else if (a.empty() || a == "o" || a == "ok") {
            return ANSWER_OK;
        }
    }
}

