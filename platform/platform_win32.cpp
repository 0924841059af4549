// Windows implementation of the platform verbs: the system's message boxes,
// the profile API on VORNAX's initialization file, file attributes for
// existence, the replacement of dosdose.dat with MoveFileExA (tried again
// while other programs hold it, written in place as a last resort), and the
// expansion of file-name patterns that Windows shells leave to programs.
#include "platform/platform.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>

namespace {

message_box_handler g_handler = nullptr;
pause_handler g_pause = nullptr;

// One write of dosdose.dat may pause about two seconds in all while other
// programs block it: growing pauses, from 10 ms up to half a second each.
constexpr unsigned WRITE_PAUSE_BUDGET_MS = 2000;
constexpr unsigned FIRST_PAUSE_MS = 10;
constexpr unsigned LONGEST_PAUSE_MS = 500;

struct retry_budget {
    unsigned spent_ms = 0;
    unsigned next_ms = FIRST_PAUSE_MS;
};

// The budget of the write in progress; platform_create_temp_beside starts a
// new one. TALLIX is single-threaded.
retry_budget g_write_budget;

// Temporary names are the target's name, the process id and a counter, so
// two TALLIX processes (or two writes in one) never pick the same name.
unsigned g_temp_counter = 0;

// Attributes of the old file that the new one takes over. Read-only is left
// out: the new file must stay writable until it is in place.
constexpr DWORD KEPT_ATTRIBUTES = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// What a virus scanner, indexer, backup agent or editor holding a file
// makes a step fail with; anything else will not go away by waiting.
bool held_by_another_program(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
           error == ERROR_LOCK_VIOLATION;
}

// Waits before the next try of a blocked step. Returns false, without
// waiting, when the write's budget is spent.
bool pause_before_retry(retry_budget& budget) {
    if (budget.spent_ms >= WRITE_PAUSE_BUDGET_MS) return false;
    const unsigned pause = std::min(budget.next_ms, WRITE_PAUSE_BUDGET_MS - budget.spent_ms);
    budget.spent_ms += pause;
    budget.next_ms = std::min(budget.next_ms * 2, LONGEST_PAUSE_MS);
    if (g_pause) g_pause(pause);
    else Sleep(pause);
    return true;
}

int errno_for(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    default:
        return EACCES;
    }
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
    char buf[PROFILE_VALUE_MAX + 1];
    // A longer value comes back cut to the buffer, as VORNAX's own reader has it.
    DWORD n = GetPrivateProfileStringA(section, key, "", buf, sizeof buf, full.c_str());
    return std::string(buf, n);
}

int platform_name_exists(const char* path) {
    return path && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

char platform_path_separator() { return '\\'; }

std::FILE* platform_create_temp_beside(const char* target, std::string& temp_path) {
    g_write_budget = retry_budget();
    DWORD old = GetFileAttributesA(target);
    // Windows will not replace a read-only file, and neither must we write
    // into it; the attribute is looked at itself because a process with
    // backup rights (or Wine running as root) would get past it.
    if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY) &&
        !(old & FILE_ATTRIBUTE_DIRECTORY)) {
        errno = EACCES;
        return nullptr;
    }
    DWORD attributes = old == INVALID_FILE_ATTRIBUTES ? FILE_ATTRIBUTE_NORMAL : (old & KEPT_ATTRIBUTES);
    if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;

    HANDLE h = INVALID_HANDLE_VALUE;
    std::string name;
    DWORD error = ERROR_FILE_EXISTS;
    // A name that is taken gets the next counter; a folder another program
    // blocks for a moment gets pauses from the write's budget.
    for (int tries = 0; tries < 100; ++tries) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%lx-%x", (unsigned long)GetCurrentProcessId(),
                      g_temp_counter++);
        name = std::string(target) + suffix;
        h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
        error = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        if (error == ERROR_SUCCESS) break;
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
        if (!held_by_another_program(error) || !pause_before_retry(g_write_budget)) break;
    }
    if (h == INVALID_HANDLE_VALUE) {
        errno = errno_for(error);
        return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        DeleteFileA(name.c_str());
        errno = EMFILE;
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, "wb");
    if (!f) {
        int saved = errno;
        _close(fd);
        DeleteFileA(name.c_str());
        errno = saved;
        return nullptr;
    }
    temp_path = name;
    return f;
}

int platform_commit_and_close(std::FILE* file) {
    int ok = std::fflush(file) == 0;
    if (ok && _commit(_fileno(file)) != 0) ok = 0;
    if (std::fclose(file) != 0) ok = 0;
    return ok;
}

namespace {

bool read_whole_file(const char* path, std::string& content) {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    content.clear();
    char buf[16384];
    DWORD got = 0;
    bool ok = true;
    for (;;) {
        if (!ReadFile(h, buf, sizeof buf, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        content.append(buf, got);
    }
    CloseHandle(h);
    return ok;
}

// The last resort when another program keeps `target` open without letting
// it be replaced but lets others write: the new contents go into the file
// itself. Opening it sharing everything is what lets this succeed beside
// such a holder; a holder that shares only reading makes the open fail, and
// then nothing has been written. Every step is checked.
bool write_in_place(const char* source, const char* target) {
    std::string content;
    if (!read_whole_file(source, content)) return false;
    HANDLE h = CreateFileA(target, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < content.size()) {
        const DWORD chunk = DWORD(std::min<std::size_t>(content.size() - done, 1u << 20));
        DWORD wrote = 0;
        ok = WriteFile(h, content.data() + done, chunk, &wrote, nullptr) && wrote > 0;
        done += wrote;
    }
    ok = ok && SetEndOfFile(h) && FlushFileBuffers(h);
    if (!CloseHandle(h)) ok = false;
    return ok;
}

// True unless a folder or a read-only file stands at `path`.
bool takes_a_file(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES ||
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
}

// Removes `path`, pausing from the write's budget while another program
// holds it without letting it be deleted.
bool remove_within_budget(const char* path) {
    for (;;) {
        if (DeleteFileA(path)) return true;
        if (!held_by_another_program(GetLastError()) || !pause_before_retry(g_write_budget)) return false;
    }
}

}  // namespace

int platform_replace_file(const char* source, const char* target) {
    DWORD error;
    for (;;) {
        if (MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 1;
        error = GetLastError();
        // A folder or a read-only file in the target's place is refused with
        // the same error a holder causes, but waiting will not change it.
        if (!held_by_another_program(error) || !takes_a_file(target) || !pause_before_retry(g_write_budget))
            break;
    }
    // Only a file that is there and held is written in place.
    const DWORD attributes = GetFileAttributesA(target);
    if (!held_by_another_program(error) || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return 0;
    if (!write_in_place(source, target)) return 0;
    // The value is delivered; a temporary file that cannot be removed now
    // (a scanner still reading it) is not worth losing the write over.
    (void)remove_within_budget(source);
    return 1;
}

int platform_remove_file(const char* path) { return remove_within_budget(path) ? 1 : 0; }

pause_handler platform_set_pause_handler(pause_handler handler) {
    pause_handler before = g_pause;
    g_pause = handler;
    return before;
}

namespace {

char fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

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
