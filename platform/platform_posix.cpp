// POSIX implementation of the platform verbs: message boxes on the terminal,
// a profile-file reader that follows the Windows rules TALLIX relies on, and
// file replacement with rename(2).
#include "platform/platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

message_box_handler g_handler = nullptr;
pause_handler g_pause = nullptr;

char lower_ascii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool equal_ignoring_case(const std::string& a, const char* b) {
    std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (lower_ascii(a[i]) != lower_ascii(b[i])) return false;
    return true;
}

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

int terminal_message_box(const char* text, const char* caption, unsigned style) {
    const bool retry_cancel = (style & 0xFu) == MB_STYLE_RETRYCANCEL;
    std::fprintf(stderr, "%s: %s\n", caption, text);
    for (;;) {
        std::fputs(retry_cancel ? "[Retry/Cancel]\n" : "[OK]\n", stderr);
        std::fflush(stderr);
        std::string line;
        if (!read_answer_line(line)) return ANSWER_NONE;
        std::string a = lowered_and_trimmed(line);
        // A number is the id of the button pressed, as an automation tool
        // sends it: it is returned as it is, whatever buttons the box has.
        if (!a.empty() && a.find_first_not_of("-0123456789") == std::string::npos && a.size() < 10)
            return std::atoi(a.c_str());
        if (retry_cancel) {
            if (a.empty() || a == "r" || a == "retry") return ANSWER_RETRY;
            if (a == "c" || a == "cancel") return ANSWER_CANCEL;
        } else if (a.empty() || a == "o" || a == "ok") {
            return ANSWER_OK;
        }
    }
}

std::string trimmed(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return std::string();
    std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// Reads one line of `f` without its line end (LF or CR LF). Returns false
// when nothing is left.
bool read_profile_line(std::FILE* f, std::string& line) {
    line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(f)) != EOF) {
        any = true;
        if (c == '\n') break;
        line.push_back(char(c));
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

}  // namespace

int platform_message_box(const char* text, const char* caption, unsigned style) {
    if (g_handler) return g_handler(text, caption, style);
    return terminal_message_box(text, caption, style);
}

message_box_handler platform_set_message_box_handler(message_box_handler handler) {
    message_box_handler before = g_handler;
    g_handler = handler;
    return before;
}

std::string platform_profile_string(const char* ini_path, const char* section,
                                    const char* key) {
    struct stat st;
    if (!ini_path || stat(ini_path, &st) != 0 || !S_ISREG(st.st_mode)) return std::string();
    std::FILE* f = std::fopen(ini_path, "rb");
    if (!f) return std::string();

    // Only the first section of the name counts; within it the first key wins.
    enum { BEFORE, INSIDE, AFTER } where = BEFORE;
    std::string line, value;
    bool found = false;
    while (!found && where != AFTER && read_profile_line(f, line)) {
        // A profile line is text: what it says ends at a NUL, so no value
        // can carry one into a path.
        line.resize(strnlen(line.c_str(), line.size()));
        std::string t = trimmed(line);
        if (t.empty() || t[0] == ';') continue;
        if (t[0] == '[') {
            std::size_t close = t.find(']');
            std::string name = trimmed(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            if (where == INSIDE) where = AFTER;
            else if (equal_ignoring_case(name, section)) where = INSIDE;
            continue;
        }
        if (where != INSIDE) continue;
        std::size_t eq = t.find('=');
        if (eq == std::string::npos || !equal_ignoring_case(trimmed(t.substr(0, eq)), key)) continue;
        value = trimmed(t.substr(eq + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        found = true;
    }
    std::fclose(f);
    if (value.size() > PROFILE_VALUE_MAX) value.resize(PROFILE_VALUE_MAX);
    return value;
}

int platform_name_exists(const char* path) {
    struct stat st;
    return path && stat(path, &st) == 0 ? 1 : 0;
}

char platform_path_separator() { return '/'; }

std::FILE* platform_create_temp_beside(const char* target, std::string& temp_path) {
    // A dosdose.dat that this process may not write is not replaced behind
    // its owner's back, though the folder would allow the rename.
    struct stat existing;
    if (stat(target, &existing) == 0 && S_ISREG(existing.st_mode) &&
        faccessat(AT_FDCWD, target, W_OK, AT_EACCESS) != 0) {
        errno = EACCES;
        return nullptr;
    }
    std::string pattern = std::string(target) + ".XXXXXX";
    int fd = mkstemp(&pattern[0]);
    if (fd < 0) return nullptr;
    // mkstemp gives 0600; keep the rights VORNAX's file had, or what a plain
    // create would have given.
    struct stat st;
    mode_t mode;
    if (stat(target, &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    (void)fchmod(fd, mode);
    std::FILE* f = fdopen(fd, "wb");
    if (!f) {
        int saved = errno;
        close(fd);
        unlink(pattern.c_str());
        errno = saved;
        return nullptr;
    }
    temp_path = pattern;
    return f;
}

int platform_commit_and_close(std::FILE* file) {
    int ok = std::fflush(file) == 0;
    if (ok && fsync(fileno(file)) != 0) ok = 0;
    if (std::fclose(file) != 0) ok = 0;
    return ok;
}

int platform_replace_file(const char* source, const char* target) {
    if (std::rename(source, target) != 0) return 0;
    // Make the new directory entry durable too; failing here loses nothing
    // that the rename has not already made visible.
    std::string dir(target);
    std::size_t slash = dir.find_last_of('/');
    dir = slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : dir.substr(0, slash));
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        (void)fsync(fd);
        close(fd);
    }
    return 1;
}

int platform_remove_file(const char* path) { return std::remove(path) == 0 ? 1 : 0; }

// rename(2) and unlink(2) are not blocked by other programs holding a file,
// so nothing here pauses; the handler is kept for the same interface.
pause_handler platform_set_pause_handler(pause_handler handler) {
    pause_handler before = g_pause;
    g_pause = handler;
    return before;
}

std::vector<std::string> platform_expand_file_pattern(const char* name) {
    return {name ? name : ""};
}
