// Windows implementation of the platform verbs: the system's message boxes,
// the profile API on VORNAX's initialization file, file attributes for
// existence, and the replacement of dosdose.dat with MoveFileExA.
#include "platform/platform.h"

#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>

namespace {

message_box_handler g_handler = nullptr;

// Temporary names are the target's name, the process id and a counter, so
// two TALLIX processes (or two writes in one) never pick the same name.
unsigned g_temp_counter = 0;

// Attributes of the old file that the new one takes over. Read-only is left
// out: the new file must stay writable until it is in place.
constexpr DWORD KEPT_ATTRIBUTES = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

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
    DWORD old = GetFileAttributesA(target);
    DWORD attributes = old == INVALID_FILE_ATTRIBUTES ? FILE_ATTRIBUTE_NORMAL : (old & KEPT_ATTRIBUTES);
    if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;

    HANDLE h = INVALID_HANDLE_VALUE;
    std::string name;
    DWORD error = ERROR_FILE_EXISTS;
    for (int tries = 0; tries < 100 && error == ERROR_FILE_EXISTS; ++tries) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%lx-%x", (unsigned long)GetCurrentProcessId(),
                      g_temp_counter++);
        name = std::string(target) + suffix;
        h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
        error = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
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

int platform_replace_file(const char* source, const char* target) {
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 1 : 0;
}

int platform_remove_file(const char* path) { return DeleteFileA(path) ? 1 : 0; }
