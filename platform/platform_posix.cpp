// POSIX implementation of the platform verbs and system calls: the
// message box and the profile reader handed to their stand-ins
// (posix_stand_ins.h), regular files only for reading, and the file calls
// under the writing of dosdose.dat (rename(2)). Nothing here waits for
// other programs: POSIX systems do not let them block these calls.
#include "platform/platform_system.h"
#include "platform/posix_stand_ins.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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
    return profile_value(bytes, section, key);
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
