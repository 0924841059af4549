// POSIX implementation of the platform verbs and system calls: message
// boxes on the terminal, a profile-file reader that follows the Windows
// rules TALLIX relies on, regular files only for reading, and the file
// calls under the writing of dosdose.dat (rename(2)). Nothing here waits
// for other programs: POSIX systems do not let them block these calls.
#include "platform/platform_system.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// The blanks of a profile line, as the Windows reader trims them: white
// space and the Ctrl-Z that DOS editors leave at the end of a file.
bool is_profile_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1A; }

std::string trimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && is_profile_blank(s[b])) ++b;
    while (e > b && is_profile_blank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// What a C program makes of a text: everything before its first NUL.
std::string c_string(const std::string& s) { return s.substr(0, strnlen(s.c_str(), s.size())); }

// Windows-1252 for the code points 0x80 to 0x9F, where it is not Latin-1.
char ansi_of(unsigned code) {
    static const unsigned short high[32] = {
        0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
        0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return char(code);
    for (unsigned i = 0; i < 32; ++i)
        if (high[i] == code) return char(0x80 + i);
    return '?';
}

// The file's text in the ANSI code page: a file that starts with the
// UTF-16LE byte order mark (Notepad's "Unicode") is converted, any other is
// taken as it is (a UTF-8 mark, too, is text of the first line).
std::string profile_text(const std::string& bytes) {
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE') return bytes;
    std::string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += ansi_of(unsigned(static_cast<unsigned char>(bytes[i])) |
                        unsigned(static_cast<unsigned char>(bytes[i + 1])) << 8);
    return text;
}

// Cuts the next line off `text` at `pos`: a line ends at LF, CR LF or a CR
// alone. Returns false when nothing is left.
bool next_profile_line(const std::string& text, std::size_t& pos, std::string& line) {
    if (pos >= text.size()) return false;
    const std::size_t end = text.find_first_of("\r\n", pos);
    line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? text.size() : end + 1;
    if (end != std::string::npos && text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    return true;
}

}  // namespace

int system_message_box(const char* text, const char* caption, unsigned style) {
    return terminal_message_box(text, caption, style);
}

void system_sleep(unsigned milliseconds) {
    timespec t{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

std::string platform_profile_string(const char* ini_path, const char* section,
                                    const char* key) {
    struct stat st;
    if (!ini_path || stat(ini_path, &st) != 0 || !S_ISREG(st.st_mode)) return std::string();
    std::FILE* f = std::fopen(ini_path, "rb");
    if (!f) return std::string();
    std::string bytes;
    char buf[4096];
    std::size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, got);
    std::fclose(f);
    const std::string text = profile_text(bytes);

    // Only the first section of the name counts; within it the first key
    // wins. Names and values are C strings to the Windows reader's callers:
    // a NUL ends them, but not the line.
    enum { BEFORE, INSIDE, AFTER } where = BEFORE;
    std::string line, value;
    std::size_t pos = 0;
    while (where != AFTER && next_profile_line(text, pos, line)) {
        const std::string t = trimmed(line);
        if (t.empty() || t[0] == ';') continue;
        if (t[0] == '[') {
            // A section's name runs to the line's last ']'; a line without
            // one opens no section.
            const std::size_t close = t.rfind(']');
            if (close == std::string::npos) continue;
            const std::string name = c_string(trimmed(t.substr(1, close - 1)));
            if (where == INSIDE) where = AFTER;
            else if (equal_ignoring_case(name, section)) where = INSIDE;
            continue;
        }
        if (where != INSIDE) continue;
        // A line without '=' is a key without a value.
        const std::size_t eq = t.find('=');
        if (!equal_ignoring_case(c_string(trimmed(t.substr(0, eq))), key)) continue;
        value = eq == std::string::npos ? std::string() : c_string(trimmed(t.substr(eq + 1)));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        break;
    }
    if (value.size() > PROFILE_VALUE_MAX) value.resize(PROFILE_VALUE_MAX);
    return value;
}

int platform_name_exists(const char* path) {
    struct stat st;
    return path && stat(path, &st) == 0 ? 1 : 0;
}

char platform_path_separator() { return '/'; }

std::FILE* platform_open_disk_file(const char* path) {
    struct stat st;
    if (!path || stat(path, &st) != 0) {
        if (!path) errno = ENOENT;
        return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return nullptr;
    }
    // A FIFO nobody writes, a terminal or a serial line would keep the
    // lookup waiting for ever; opening some devices even disturbs them.
    if (!S_ISREG(st.st_mode)) {
        errno = ENODEV;
        return nullptr;
    }
    // Non-blocking, should the name have become a FIFO since the look.
    const int fd = open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = ENODEV;
        return nullptr;
    }
    (void)fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = fdopen(fd, "rb");
    if (!f) {
        const int saved = errno;
        close(fd);
        errno = saved;
    }
    return f;
}

int platform_file_version(std::FILE* file, file_version& version) {
    struct stat st;
    const int fd = file ? fileno(file) : -1;
    if (fd < 0 || fstat(fd, &st) != 0) return 0;
    version.identity[0] = st.st_dev;
    version.identity[1] = st.st_ino;
    version.size = (unsigned long long)st.st_size;
    version.changed[0] = (unsigned long long)st.st_mtim.tv_sec * 1000000000ull + st.st_mtim.tv_nsec;
    version.changed[1] = (unsigned long long)st.st_ctim.tv_sec * 1000000000ull + st.st_ctim.tv_nsec;
    return 1;
}

namespace {

unsigned long long ms_of(const timespec& t) {
    return (unsigned long long)t.tv_sec * 1000ull + (unsigned long long)t.tv_nsec / 1000000ull;
}

system_outcome outcome_of(int error) {
    if (error == EEXIST) return SYSTEM_TAKEN;
    return error == EACCES || error == EPERM ? SYSTEM_REFUSED : SYSTEM_FAILED;
}

void sync_folder_of(const std::string& target) {
    const std::size_t slash = target.find_last_of('/');
    const std::string dir =
        slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : target.substr(0, slash));
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)fsync(fd);
        close(fd);
    }
}

}  // namespace

bool system_names_fold_case() { return false; }

const char* system_path_separators() { return "/"; }

unsigned system_process_id() { return unsigned(getpid()); }

void system_inspect_target(const char* name, write_target& t) {
    t.path = name;
    struct stat st;
    t.exists = stat(name, &st) == 0;
    if (!t.exists) return;
    t.is_file = S_ISREG(st.st_mode);
    t.writable = !t.is_file || faccessat(AT_FDCWD, name, W_OK, AT_EACCESS) == 0;
    t.kept[0] = st.st_mode & 07777;
    t.kept[1] = st.st_uid;
    t.kept[2] = st.st_gid;
}

system_file system_create_new(const std::string& name, const write_target& t, system_outcome& why) {
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        why = outcome_of(errno);
        return NO_FILE;
    }
    // The new file takes over the old one's rights and, where this process
    // may give it, its owner and group; a new dosdose.dat gets what a plain
    // create would give.
    if (t.exists) {
        const mode_t mode = mode_t(t.kept[0]);
        (void)fchmod(fd, mode);
        if (fchown(fd, uid_t(t.kept[1]), gid_t(t.kept[2])) != 0) (void)fchown(fd, uid_t(-1), gid_t(t.kept[2]));
        (void)fchmod(fd, mode);  // a change of owner clears set-id bits
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        (void)fchmod(fd, 0666 & ~mask);
    }
    why = SYSTEM_DONE;
    return fd;
}

system_file system_open_in_place(const write_target& t, system_outcome& why) {
    const int fd = open(t.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    why = fd < 0 ? outcome_of(errno) : SYSTEM_DONE;
    return fd < 0 ? NO_FILE : fd;
}

bool system_write_all(system_file f, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = write(int(f), content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return true;
}

bool system_set_end(system_file f) {
    const off_t at = lseek(int(f), 0, SEEK_CUR);
    return at >= 0 && ftruncate(int(f), at) == 0;
}

bool system_rewind(system_file f) { return lseek(int(f), 0, SEEK_SET) == 0; }

bool system_flush(system_file f) { return fsync(int(f)) == 0; }

bool system_close(system_file f) { return close(int(f)) == 0; }

unsigned long long system_written_ms(system_file f) {
    struct stat st;
    return fstat(int(f), &st) == 0 ? ms_of(st.st_mtim) : 0;
}

void system_take_over_closed(const std::string&, const write_target&) {}

std::vector<folder_file> system_files_like(const std::string& folder, const std::string& stem) {
    std::vector<folder_file> files;
    DIR* d = opendir(folder.empty() ? "." : folder.c_str());
    if (!d) return files;
    while (dirent* e = readdir(d)) {
        if (std::strncmp(e->d_name, stem.c_str(), stem.size()) != 0 || std::strlen(e->d_name) != stem.size() + 3)
            continue;
        struct stat st;
        if (lstat((folder + e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            files.push_back({e->d_name, ms_of(st.st_mtim)});
    }
    closedir(d);
    return files;
}

system_outcome system_remove(const std::string& name) {
    return unlink(name.c_str()) == 0 ? SYSTEM_DONE : outcome_of(errno);
}

system_outcome system_replace(const std::string& temp, const write_target& t) {
    if (std::rename(temp.c_str(), t.path.c_str()) != 0) {
        // A sticky folder refuses to replace another user's file that this
        // process may still write.
        const system_outcome o = outcome_of(errno);
        return o == SYSTEM_REFUSED && !t.is_file ? SYSTEM_FAILED : o;
    }
    // Make the new directory entry durable too; failing here loses nothing
    // that the rename has not already made visible.
    sync_folder_of(t.path);
    return SYSTEM_DONE;
}

std::vector<std::string> platform_expand_file_pattern(const char* name) {
    return {name ? name : ""};
}
