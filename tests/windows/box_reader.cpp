// tallix_boxes: a test-only Windows program that starts a program the way
// VORNAX does and reads every message box it shows, word for word.
//
//     tallix_boxes SECONDS PROGRAM HEXARGS
//
// Starts PROGRAM with the command line `"PROGRAM" ARGS`, ARGS being HEXARGS
// decoded from hexadecimal (so that any text reaches the program unchanged),
// in the current folder. Each message box of that process (a dialog of
// class #32770) is reported on standard output as one line
//
//     box <caption> <text> <buttons>
//
// each field in hexadecimal, the buttons' captions joined by "/" without
// their "&". Then one answer is read from standard input, "retry", "cancel"
// or "ok", and the box gets it as the button would give it (WM_COMMAND with
// IDRETRY, IDCANCEL or IDOK). When the program ends, "exit <status>" is
// printed; when neither a box nor the end comes for SECONDS, the program is
// ended and "timeout" printed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct search {
    DWORD process;
    std::vector<HWND> boxes;
};

BOOL CALLBACK collect_box(HWND hwnd, LPARAM param) {
    search& s = *reinterpret_cast<search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[16] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == s.process && std::strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd)) s.boxes.push_back(hwnd);
    return TRUE;
}

// The text of a window of another process: WM_GETTEXT is carried across
// processes by the system, GetWindowText is not for controls.
std::string text_of(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return "";
    std::vector<char> buf(length + 1, '\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                             SMTO_ABORTIFHUNG, 5000, &got))
        return "";
    return std::string(buf.data(), std::min<std::size_t>(got, length));
}

struct contents {
    std::string text;
    std::string buttons;
};

BOOL CALLBACK read_control(HWND hwnd, LPARAM param) {
    contents& c = *reinterpret_cast<contents*>(param);
    if (!IsWindowVisible(hwnd)) return TRUE;
    char cls[16] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") == 0) {
        std::string caption;
        for (char ch : text_of(hwnd))
            if (ch != '&') caption += ch;
        c.buttons += (c.buttons.empty() ? "" : "/") + caption;
    } else if (lstrcmpiA(cls, "Static") == 0 &&
               (GetWindowLongA(hwnd, GWL_STYLE) & SS_TYPEMASK) != SS_ICON && c.text.empty()) {
        c.text = text_of(hwnd);
    }
    return TRUE;
}

std::string hex(const std::string& s) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char ch : s) {
        out += digits[ch >> 4];
        out += digits[ch & 15];
    }
    return out.empty() ? "-" : out;
}

std::string unhex(const char* s) {
    std::string out;
    if (std::strcmp(s, "-") == 0) return out;
    for (std::size_t i = 0; s[i] && s[i + 1]; i += 2) {
        char pair[3] = {s[i], s[i + 1], '\0'};
        out += char(std::strtoul(pair, nullptr, 16));
    }
    return out;
}

int answer_id(const char* line) {
    if (std::strncmp(line, "retry", 5) == 0) return IDRETRY;
    if (std::strncmp(line, "cancel", 6) == 0) return IDCANCEL;
    return IDOK;
}

struct answered_box {
    HWND hwnd;
    int id;
    DWORD when;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: tallix_boxes SECONDS PROGRAM HEXARGS\n");
        return 2;
    }
    const DWORD timeout_ms = DWORD(std::atof(argv[1]) * 1000);
    std::string command = std::string("\"") + argv[2] + "\"";
    const std::string args = unhex(argv[3]);
    if (!args.empty()) command += " " + args;

    // The program ends with this one, should this one be ended first.
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job) SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si,
                        &pi)) {
        std::printf("cannot start: error %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    if (job) AssignProcessToJobObject(job, pi.hProcess);
    ResumeThread(pi.hThread);

    std::vector<answered_box> answered;
    DWORD last_event = GetTickCount();
    for (;;) {
        if (WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0) {
            DWORD status = 0;
            GetExitCodeProcess(pi.hProcess, &status);
            std::printf("exit %lu\n", (unsigned long)status);
            std::fflush(stdout);
            return 0;
        }
        search s{pi.dwProcessId, {}};
        EnumWindows(collect_box, reinterpret_cast<LPARAM>(&s));
        bool fresh = false;
        for (HWND box : s.boxes) {
            answered_box* seen = nullptr;
            for (answered_box& a : answered)
                if (a.hwnd == box) seen = &a;
            if (seen) {
                // An answer that did not take is given again.
                if (GetTickCount() - seen->when > 3000) {
                    PostMessageA(box, WM_COMMAND, MAKEWPARAM(seen->id, BN_CLICKED), 0);
                    seen->when = GetTickCount();
                }
                continue;
            }
            contents c;
            EnumChildWindows(box, read_control, reinterpret_cast<LPARAM>(&c));
            char caption[512] = "";
            GetWindowTextA(box, caption, sizeof caption);
            std::printf("box %s %s %s\n", hex(caption).c_str(), hex(c.text).c_str(), hex(c.buttons).c_str());
            std::fflush(stdout);
            char reply[64] = "";
            if (!std::fgets(reply, sizeof reply, stdin)) std::strcpy(reply, "cancel");
            const int id = answer_id(reply);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
            answered.push_back({box, id, GetTickCount()});
            fresh = true;
        }
        if (fresh) {
            last_event = GetTickCount();
        } else if (GetTickCount() - last_event > timeout_ms) {
            TerminateProcess(pi.hProcess, 255);
            std::printf("timeout\n");
            std::fflush(stdout);
            return 1;
        }
    }
}
