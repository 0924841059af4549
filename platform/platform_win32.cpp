// Windows implementation of the platform verbs and system calls: the
// system's message boxes, the profile API on VORNAX's initialization file,
// file attributes for existence, disk files only for reading (device names
// refused before they are opened), the file calls under the writing of
// dosdose.dat (ReplaceFileA), and the expansion of file-name patterns that
// Windows shells leave to programs. Which failures are worth waiting for is
// decided in one place, outcome_of.
#include "platform/platform_system.h"

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

// Attributes of the old file that the new one takes over. Read-only is left
// out: the new file must stay writable until it is in place.
constexpr DWORD KEPT_ATTRIBUTES = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// What a failed file call on `path` means, and so whether it is worth
// waiting for: a virus scanner, indexer, backup agent or editor holding a
// file makes it fail with access denied, a sharing or a lock violation.
// Access denied is also what a folder in the way gives, or a read-only
// file to a writer; waiting will not change those.
system_outcome outcome_of(DWORD error, const char* path, bool writing) {
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return SYSTEM_TAKEN;
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
        return SYSTEM_FAILED;
    const DWORD attributes = GetFileAttributesA(path);
    const DWORD final = FILE_ATTRIBUTE_DIRECTORY | (writing ? FILE_ATTRIBUTE_READONLY : 0);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & final)) return SYSTEM_REFUSED;
    return error == ERROR_ACCESS_DENIED ? SYSTEM_DENIED : SYSTEM_HELD;
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

int system_message_box(const char* text, const char* caption, unsigned style) {
    // The button comes back as the system gives it; 0 (no box) and anything
    // that is not Retry count as giving up.
    return MessageBoxA(nullptr, text, caption, style);
}

void system_sleep(unsigned milliseconds) { Sleep(milliseconds); }

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
        if (!may_pass(outcome_of(GetLastError(), full.c_str(), false)) || !pause_before_retry(budget)) break;
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
        if (error != EACCES || !may_pass(outcome_of(ERROR_ACCESS_DENIED, path, false)) ||
            !pause_before_retry(budget)) {
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

HANDLE handle_of(system_file f) { return reinterpret_cast<HANDLE>(f); }

system_file file_of(HANDLE h) { return h == INVALID_HANDLE_VALUE ? NO_FILE : reinterpret_cast<system_file>(h); }

FILETIME filetime_of(unsigned long long t) {
    FILETIME f;
    f.dwLowDateTime = DWORD(t);
    f.dwHighDateTime = DWORD(t >> 32);
    return f;
}

// FILETIME counts 100 ns.
unsigned long long ms_of(FILETIME t) { return as_number(t) / 10000; }

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

}  // namespace

bool system_names_fold_case() { return true; }

const char* system_path_separators() { return "\\/:"; }

unsigned system_process_id() { return unsigned(GetCurrentProcessId()); }

void system_inspect_target(const char* name, write_target& t) {
    // ReplaceFileA wants whole paths: a bare dosdose.dat (VORNAX's current
    // folder) is made one.
    t.path = full_path_of(name);
    WIN32_FILE_ATTRIBUTE_DATA old;
    t.exists = GetFileAttributesExA(t.path.c_str(), GetFileExInfoStandard, &old) != 0;
    if (!t.exists) return;
    t.is_file = !(old.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    // Windows will not replace a read-only file; the attribute is looked at
    // itself because a process with backup rights (or Wine running as root)
    // would get past it.
    t.writable = !(old.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
    t.kept[0] = old.dwFileAttributes & KEPT_ATTRIBUTES;
    t.kept[1] = as_number(old.ftCreationTime);
}

system_file system_create_new(const std::string& name, const write_target& t, system_outcome& why) {
    const DWORD attributes = t.kept[0] ? DWORD(t.kept[0]) : FILE_ATTRIBUTE_NORMAL;
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        why = outcome_of(GetLastError(), name.c_str(), true);
        return NO_FILE;
    }
    // The target's creation time goes with its contents, also where the
    // replacement itself does not carry it over.
    if (t.exists) {
        const FILETIME created = filetime_of(t.kept[1]);
        (void)SetFileTime(h, &created, nullptr, nullptr);
    }
    why = SYSTEM_DONE;
    return file_of(h);
}

system_file system_open_in_place(const write_target& t, system_outcome& why) {
    // Sharing everything is what lets this succeed beside a holder that
    // lets others write; one that shares only reading makes it fail.
    HANDLE h = CreateFileA(t.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    why = h == INVALID_HANDLE_VALUE ? outcome_of(GetLastError(), t.path.c_str(), true) : SYSTEM_DONE;
    return file_of(h);
}

bool system_write_all(system_file f, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const DWORD chunk = DWORD(std::min<std::size_t>(content.size() - done, 1u << 20));
        DWORD wrote = 0;
        if (!WriteFile(handle_of(f), content.data() + done, chunk, &wrote, nullptr) || wrote == 0) return false;
        done += wrote;
    }
    return true;
}

bool system_set_end(system_file f) { return SetEndOfFile(handle_of(f)) != 0; }

bool system_rewind(system_file f) {
    return SetFilePointer(handle_of(f), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool system_flush(system_file f) { return FlushFileBuffers(handle_of(f)) != 0; }

bool system_close(system_file f) { return CloseHandle(handle_of(f)) != 0; }

unsigned long long system_written_ms(system_file f) {
    FILETIME written;
    return GetFileTime(handle_of(f), nullptr, nullptr, &written) ? ms_of(written) : 0;
}

void system_take_over_closed(const std::string& name, const write_target& t) {
    copy_access_rights(t.path.c_str(), name.c_str());
}

std::vector<folder_file> system_files_like(const std::string& folder, const std::string& stem) {
    std::vector<folder_file> files;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + stem + "???").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back({data.cFileName, ms_of(data.ftLastWriteTime)});
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return files;
}

system_outcome system_remove(const std::string& name) {
    if (DeleteFileA(name.c_str())) return SYSTEM_DONE;
    return outcome_of(GetLastError(), name.c_str(), true);
}

system_outcome system_replace(const std::string& temp, const write_target& t) {
    const char* const target = t.path.c_str();
    DWORD error = 0;
    if (GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES) {
        // A target that is not there is simply named.
        if (MoveFileExA(temp.c_str(), target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return SYSTEM_DONE;
        error = GetLastError();
    } else if (!openable_for_replacing(target, error)) {
        // Held: found out before ReplaceFileA, which may leave a file of
        // its own behind each time it fails (Wine's does).
    } else {
        // ReplaceFileA keeps what was set on the target (access rights,
        // attributes, creation time, short name).
        if (ReplaceFileA(target, temp.c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr))
            return SYSTEM_DONE;
        error = GetLastError();
        // The old file was taken away but the new one not named: the next
        // try names it.
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            return SYSTEM_HELD;
        if (error == ERROR_UNABLE_TO_REMOVE_REPLACED) error = ERROR_SHARING_VIOLATION;
    }
    return outcome_of(error, target, true);
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
