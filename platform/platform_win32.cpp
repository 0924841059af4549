// Windows implementation of the platform verbs: the system's message boxes,
// the profile API on VORNAX's initialization file, file attributes for
// existence, disk files only for reading (device names refused before they
// are opened), the replacement of dosdose.dat with ReplaceFileA (every
// operation tried again while other programs hold a file, written in place
// as a last resort), and the expansion of file-name patterns that Windows
// shells leave to programs.
#include "platform/platform.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>

namespace {

message_box_handler g_handler = nullptr;
pause_handler g_pause = nullptr;

// One operation may pause about two seconds in all while other programs
// block it: growing pauses, from 10 ms up to half a second each. Each
// operation has a budget of its own.
constexpr unsigned PAUSE_BUDGET_MS = 2000;
constexpr unsigned FIRST_PAUSE_MS = 10;
constexpr unsigned LONGEST_PAUSE_MS = 500;

struct retry_budget {
    unsigned spent_ms = 0;
    unsigned next_ms = FIRST_PAUSE_MS;
};

// Attributes of the old file that the new one takes over. Read-only is left
// out: the new file must stay writable until it is in place.
constexpr DWORD KEPT_ATTRIBUTES = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// What a virus scanner, indexer, backup agent or editor holding a file
// makes an operation fail with; anything else will not go away by waiting.
bool held_by_another_program(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
           error == ERROR_LOCK_VIOLATION;
}

// Waits before the next try of a blocked operation. Returns false, without
// waiting, when the operation's budget is spent.
bool pause_before_retry(retry_budget& budget) {
    if (budget.spent_ms >= PAUSE_BUDGET_MS) return false;
    const unsigned pause = std::min(budget.next_ms, PAUSE_BUDGET_MS - budget.spent_ms);
    budget.spent_ms += pause;
    budget.next_ms = std::min(budget.next_ms * 2, LONGEST_PAUSE_MS);
    platform_pause(pause);
    return true;
}

bool is_folder(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Access denied is also what a folder or a read-only file in the way gives;
// waiting will not change those.
bool worth_waiting(DWORD error, const char* path) {
    if (!held_by_another_program(error)) return false;
    const DWORD attributes = GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES ||
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
}

char fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool same_ignoring_case(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

// Names that Windows opens as devices in every folder, whatever follows
// them after a full stop (com1.dat is COM1 before Windows 11): opening a
// serial port can hang the lookup on an idle line and disturb an
// instrument, so such a name is never opened. \\.\ names the devices
// themselves.
bool names_a_device(const char* path) {
    if ((path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/') && path[2] == '.' &&
        (path[3] == '\\' || path[3] == '/'))
        return true;
    const char* name = path;
    for (const char* c = path; *c; ++c)
        if (*c == '\\' || *c == '/' || *c == ':') name = c + 1;
    std::string stem(name, std::strcspn(name, "."));
    while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.pop_back();
    static const char* const devices[] = {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"};
    for (const char* d : devices)
        if (same_ignoring_case(stem, d)) return true;
    // COM1 to COM9 and LPT1 to LPT9, also with the superscript digits
    // 1, 2 and 3 of the ANSI code page.
    if (stem.size() == 4 && (same_ignoring_case(stem.substr(0, 3), "com") || same_ignoring_case(stem.substr(0, 3), "lpt"))) {
        const unsigned char digit = static_cast<unsigned char>(stem[3]);
        return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    }
    return false;
}

unsigned long long as_number(FILETIME t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// The profile API looks a name without a folder up in the Windows folder,
// not the current one; VORNAX names its initialization file relative to the
// current folder, so the full path is what must be handed over.
std::string full_path_of(const char* path) {
    char buf[MAX_PATH];
    DWORD n = GetFullPathNameA(path, sizeof buf, buf, nullptr);
    if (n == 0) return path;
    if (n < sizeof buf) return std::string(buf, n);
    std::string longer(n, '\0');
    DWORD m = GetFullPathNameA(path, n, &longer[0], nullptr);
    if (m == 0 || m >= n) return path;
    longer.resize(m);
    return longer;
}

}  // namespace

int platform_message_box(const char* text, const char* caption, unsigned style) {
    if (g_handler) return g_handler(text, caption, style);
    // The button comes back as the system gives it; 0 (no box) and anything
    // that is not Retry count as giving up.
    return MessageBoxA(nullptr, text, caption, style);
}

message_box_handler platform_set_message_box_handler(message_box_handler handler) {
    message_box_handler before = g_handler;
    g_handler = handler;
    return before;
}

std::string platform_profile_string(const char* ini_path, const char* section,
                                    const char* key) {
    if (!ini_path || !ini_path[0]) return std::string();
    const std::string full = full_path_of(ini_path);
    // The profile API reads a file that another program holds without
    // sharing it as one without the key; wait for it as for dosdose.dat, so
    // that a scanner's moment is not told as an invalid file.
    retry_budget budget;
    for (;;) {
        HANDLE h = CreateFileA(full.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            break;
        }
        if (!worth_waiting(GetLastError(), full.c_str()) || !pause_before_retry(budget)) break;
    }
    char buf[PROFILE_VALUE_MAX + 1] = "";
    // A longer value comes back cut to the buffer, as VORNAX's own reader
    // has it; like VORNAX, TALLIX takes the value as a C string.
    GetPrivateProfileStringA(section, key, "", buf, sizeof buf, full.c_str());
    buf[PROFILE_VALUE_MAX] = '\0';
    return std::string(buf);
}

int platform_name_exists(const char* path) {
    return path && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

char platform_path_separator() { return '\\'; }

std::FILE* platform_open_disk_file(const char* path) {
    if (!path) {
        errno = ENOENT;
        return nullptr;
    }
    if (names_a_device(path)) {
        errno = ENODEV;
        return nullptr;
    }
    // A path longer than the system's file calls take cannot be written
    // either, so it is not read, whatever the C runtime would let through.
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILENAME_EXCED_RANGE) {
        errno = ENOENT;
        return nullptr;
    }
    retry_budget budget;
    for (;;) {
        errno = 0;
        // The C runtime's own open, so that a failure carries its errno
        // (a folder: EACCES; *.dat: EINVAL), the reasons the box tells.
        std::FILE* f = std::fopen(path, "rb");
        if (f) {
            // A name can still lead to a device or a pipe (a share's named
            // pipe, a link): only a disk file is read.
            const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
            if (GetFileType(h) == FILE_TYPE_DISK) return f;
            std::fclose(f);
            errno = ENODEV;
            return nullptr;
        }
        const int error = errno;
        // EACCES stands for access denied, a sharing or a lock violation.
        if (error != EACCES || is_folder(path) || !pause_before_retry(budget)) {
            errno = error;
            return nullptr;
        }
    }
}

int platform_file_version(std::FILE* file, file_version& version) {
    const int fd = file ? _fileno(file) : -1;
    if (fd < 0) return 0;
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    BY_HANDLE_FILE_INFORMATION info;
    if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &info)) return 0;
    version.identity[0] = info.dwVolumeSerialNumber;
    version.identity[1] = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    version.size = (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    version.changed[0] = as_number(info.ftLastWriteTime);
    version.changed[1] = as_number(info.ftCreationTime);
    return 1;
}

namespace {

// Temporary files are named after the target: its name without its last
// four characters (".dat"), a "~" and three of TEMP_LETTERS, so that the
// name is never longer than the target's and every dosdose.dat that can be
// read can be written. Killed runs leave such files; one that was last
// written STALE_AGE before a new temporary file was made is left over.
constexpr char TEMP_LETTERS[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr unsigned TEMP_NAMES = 36 * 36 * 36;
constexpr unsigned long long STALE_AGE = 60ull * 10000000ull;  // a minute in 100 ns

struct temp_place {
    std::string folder;  // with its final separator, or empty
    std::string stem;    // the target's name without ".dat", then '~'
};

temp_place temp_place_of(const std::string& target) {
    const std::size_t sep = target.find_last_of("\\/:");
    const std::size_t cut = sep == std::string::npos ? 0 : sep + 1;
    const std::string name = target.substr(cut);
    return {target.substr(0, cut), (name.size() > 4 ? name.substr(0, name.size() - 4) : std::string()) + '~'};
}

bool is_temp_name(const char* name, const std::string& stem) {
    if (std::strlen(name) != stem.size() + 3) return false;
    for (std::size_t i = 0; i < stem.size(); ++i)
        if (fold(name[i]) != fold(stem[i])) return false;
    for (const char* c = name + stem.size(); *c; ++c)
        if (!std::strchr(TEMP_LETTERS, fold(*c))) return false;
    return true;
}

// Creates a new temporary file beside the target, for writing and kept from
// every other program while it is written. A name that is taken gets the
// next one; a folder another program blocks for a moment gets pauses.
HANDLE create_temp(const temp_place& place, DWORD attributes, std::string& name, DWORD& error) {
    retry_budget budget;
    unsigned n = unsigned(GetCurrentProcessId()) * 7919u + unsigned(GetTickCount());
    error = ERROR_FILE_EXISTS;
    for (unsigned tries = 0; tries < 200; ++tries) {
        const unsigned k = n % TEMP_NAMES;
        name = place.folder + place.stem;
        name += TEMP_LETTERS[k / (36 * 36)];
        name += TEMP_LETTERS[k / 36 % 36];
        name += TEMP_LETTERS[k % 36];
        HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
        if (h != INVALID_HANDLE_VALUE) return h;
        error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
            n += 7717u;
            continue;
        }
        if (!held_by_another_program(error) || !pause_before_retry(budget)) break;
    }
    return INVALID_HANDLE_VALUE;
}

// Removes the temporary files that killed runs left beside the target: those
// last written a minute before the one just made (times of one file system,
// so a network share's clock is compared with itself). A running write's
// file is younger, and while it is written nobody may delete it.
void remove_stale_temps(const temp_place& place, const std::string& mine, unsigned long long now) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((place.folder + place.stem + "???").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !is_temp_name(data.cFileName, place.stem)) continue;
        const std::string path = place.folder + data.cFileName;
        if (!same_ignoring_case(path, mine.c_str()) && as_number(data.ftLastWriteTime) + STALE_AGE < now)
            (void)DeleteFileA(path.c_str());
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

bool write_all(HANDLE h, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const DWORD chunk = DWORD(std::min<std::size_t>(content.size() - done, 1u << 20));
        DWORD wrote = 0;
        if (!WriteFile(h, content.data() + done, chunk, &wrote, nullptr) || wrote == 0) return false;
        done += wrote;
    }
    return true;
}

// The last resort when another program keeps `target` from being replaced
// but lets others write it, or the folder lets no file be added: the new
// contents go into the file itself. Opening it sharing everything is what
// lets this succeed beside such a holder; one that shares only reading
// makes the open fail (tried again for a moment), and then nothing has
// been written. The file is emptied first and given `first` whole before
// `content`, so that a write stopped on the way leaves a start of `first`
// and nothing of the old or the final contents. Every step is checked.
write_result write_in_place(const char* target, const std::string& content, const std::string& first) {
    retry_budget budget;
    HANDLE h;
    for (;;) {
        h = CreateFileA(target, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) break;
        if (!worth_waiting(GetLastError(), target) || !pause_before_retry(budget)) return WRITE_REFUSED;
    }
    bool ok = SetEndOfFile(h) != 0;
    if (ok && !first.empty() && first != content)
        ok = write_all(h, first) && FlushFileBuffers(h) &&
             SetFilePointer(h, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
    ok = ok && write_all(h, content) && SetEndOfFile(h) && FlushFileBuffers(h);
    if (!CloseHandle(h)) ok = false;
    return ok ? WRITE_DONE : WRITE_FAILED;
}

// Removes `path`, pausing while another program holds it without letting
// it be deleted.
bool remove_file(const char* path) {
    retry_budget budget;
    for (;;) {
        if (DeleteFileA(path)) return true;
        if (!held_by_another_program(GetLastError()) || !pause_before_retry(budget)) return false;
    }
}

// Gives `to` the access rights (the DACL) that IT set on `from`. The
// replacement carries them over as well; this holds them also where it
// does not (Wine). A failure leaves the rights a new file gets.
void copy_access_rights(const char* from, const char* to) {
    DWORD need = 0;
    GetFileSecurityA(from, DACL_SECURITY_INFORMATION, nullptr, 0, &need);
    if (need == 0) return;
    std::vector<char> descriptor(need);
    if (GetFileSecurityA(from, DACL_SECURITY_INFORMATION, descriptor.data(), need, &need))
        (void)SetFileSecurityA(to, DACL_SECURITY_INFORMATION, descriptor.data());
}

enum put_in_place { PUT_DONE, PUT_HELD, PUT_FAILED };

// Opens `target` the way the replacement must (to delete it, sharing
// everything); false, with the error, while another program keeps that
// from happening.
bool openable_for_replacing(const char* target, DWORD& error) {
    HANDLE h = CreateFileA(target, DELETE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    CloseHandle(h);
    return true;
}

// Puts the complete temporary file in the target's place in one step.
// ReplaceFileA keeps what was set on the target (access rights, attributes,
// creation time, short name); a target that is not there is simply named.
put_in_place replace_target(const char* temp, const char* target) {
    retry_budget budget;
    for (;;) {
        DWORD error;
        if (GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES) {
            if (MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return PUT_DONE;
            error = GetLastError();
        } else if (!openable_for_replacing(target, error)) {
            // Held: found out before ReplaceFileA, which may leave a file of
            // its own behind each time it fails (Wine's does).
        } else {
            if (ReplaceFileA(target, temp, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                             nullptr, nullptr))
                return PUT_DONE;
            error = GetLastError();
            // The old file was taken away but the new one not named: the
            // next round names it.
            if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
                if (!pause_before_retry(budget)) return PUT_FAILED;
                continue;
            }
            if (error == ERROR_UNABLE_TO_REMOVE_REPLACED) error = ERROR_SHARING_VIOLATION;
        }
        if (!worth_waiting(error, target)) return PUT_FAILED;
        if (!pause_before_retry(budget)) return PUT_HELD;
    }
}

}  // namespace

write_result platform_write_file(const char* target_name, const std::string& content,
                                 const std::string& first_in_place) {
    // ReplaceFileA wants whole paths: a bare dosdose.dat (VORNAX's current
    // folder) is made one.
    const std::string full = full_path_of(target_name);
    const char* const target = full.c_str();
    WIN32_FILE_ATTRIBUTE_DATA old;
    const bool exists = GetFileAttributesExA(target, GetFileExInfoStandard, &old) != 0;
    if (exists && (old.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return WRITE_FAILED;
    // Windows will not replace a read-only file, and neither must we write
    // into it; the attribute is looked at itself because a process with
    // backup rights (or Wine running as root) would get past it.
    if (exists && (old.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
        errno = EACCES;
        return WRITE_REFUSED;
    }
    DWORD attributes = exists ? (old.dwFileAttributes & KEPT_ATTRIBUTES) : 0;
    if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;

    const temp_place place = temp_place_of(target);
    std::string temp;
    DWORD error = 0;
    HANDLE h = create_temp(place, attributes, temp, error);
    if (h == INVALID_HANDLE_VALUE) {
        // A folder that lets nobody add a file may still let its
        // dosdose.dat be written.
        if (exists && error == ERROR_ACCESS_DENIED) return write_in_place(target, content, first_in_place);
        return WRITE_REFUSED;
    }
    FILETIME created, written;
    if (GetFileTime(h, &created, nullptr, &written)) remove_stale_temps(place, temp, as_number(created));
    bool ok = write_all(h, content) && FlushFileBuffers(h);
    // The target's creation time goes with its contents, also where the
    // replacement itself does not carry it over.
    if (ok && exists) (void)SetFileTime(h, &old.ftCreationTime, nullptr, nullptr);
    if (!CloseHandle(h)) ok = false;
    if (ok && exists) copy_access_rights(target, temp.c_str());
    if (!ok) {
        (void)remove_file(temp.c_str());
        return WRITE_FAILED;
    }

    const put_in_place put = replace_target(temp.c_str(), target);
    if (put == PUT_DONE) return WRITE_DONE;
    if (put == PUT_HELD) {
        const write_result in_place = write_in_place(target, content, first_in_place);
        // After a write that failed part-way the temporary file is all that
        // holds the complete new contents: it stays.
        if (in_place != WRITE_FAILED) (void)remove_file(temp.c_str());
        return in_place == WRITE_DONE ? WRITE_DONE : WRITE_FAILED;
    }
    (void)remove_file(temp.c_str());
    return WRITE_FAILED;
}

void platform_pause(unsigned milliseconds) {
    if (g_pause) g_pause(milliseconds);
    else Sleep(milliseconds);
}

pause_handler platform_set_pause_handler(pause_handler handler) {
    pause_handler before = g_pause;
    g_pause = handler;
    return before;
}

namespace {

// `*` any run of characters, `?` any one character, case ignored, as the
// Windows shells match long names.
bool matches(const char* pattern, const char* name) {
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == '?' || (*pattern && fold(*pattern) == fold(*name))) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

bool name_order(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i)
        if (fold(a[i]) != fold(b[i])) return (unsigned char)fold(a[i]) < (unsigned char)fold(b[i]);
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

}  // namespace

std::vector<std::string> platform_expand_file_pattern(const char* name) {
    const std::string whole = name ? name : "";
    const std::size_t cut = whole.find_last_of("\\/:");
    const std::string folder = cut == std::string::npos ? std::string() : whole.substr(0, cut + 1);
    const std::string last = whole.substr(folder.size());
    if (last.find_first_of("*?") == std::string::npos || folder.find_first_of("*?") != std::string::npos)
        return {whole};

    // The system's own matching also looks at short 8.3 names (*.dat would
    // take report.data); only the long name decides here.
    std::vector<std::string> found;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((folder + "*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && matches(last.c_str(), data.cFileName))
                found.push_back(folder + data.cFileName);
        } while (FindNextFileA(h, &data));
        FindClose(h);
    }
    if (found.empty()) return {whole};
    std::sort(found.begin(), found.end(), name_order);
    return found;
}
