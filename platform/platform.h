// The narrow door between TALLIX and the operating system.
//
// Everything TALLIX needs from the platform is one of the verbs below, in
// plain standard types: show a message box, read a key of a profile (INI)
// file, tell whether a name exists, open a disk file for reading and tell
// whether it changed, and write a file so that it replaces another one in
// a single step. The rules every platform shares live in
// platform_common.cpp, over the system calls of platform_system.h, which one
// file per platform implements (platform_posix.cpp, platform_win32.cpp);
// CMake compiles only the one that fits. No system header is included here,
// so nothing of the platform leaks into the exchange library or the lookup
// tool, and nothing here knows of them: each program's start-up lives with
// the program (lookup/main_posix.cpp, lookup/main_win32.cpp).
#ifndef TALLIX_PLATFORM_H
#define TALLIX_PLATFORM_H

#include <cstdio>
#include <string>
#include <vector>

// Message box styles and answers, with the values VORNAX's Windows host uses.
enum : unsigned {
    MB_STYLE_OK = 0x0000u,
    MB_STYLE_RETRYCANCEL = 0x0005u,
    MB_STYLE_ICONERROR = 0x0010u,
    MB_STYLE_ICONEXCLAMATION = 0x0030u,
    MB_STYLE_TASKMODAL = 0x2000u,
};
enum : int {
    ANSWER_NONE = 0,  ///< no box could be shown
    ANSWER_OK = 1,
    ANSWER_CANCEL = 2,
    ANSWER_RETRY = 4,
};

/// Shows a task-modal message box without owner window and waits for the
/// operator. Returns the button pressed (ANSWER_OK, ANSWER_CANCEL,
/// ANSWER_RETRY), or ANSWER_NONE when no box could be shown.
///
/// POSIX: writes "<caption>: <text>" and then "[OK]" or "[Retry/Cancel]" to
/// standard error, and reads the answer as one line from standard input
/// (r/retry, c/cancel, o/ok, any case; an empty line takes the default
/// button; a Windows button id, 1 to 11 in digits, is returned as it is,
/// as the id of the button an automation tool pressed; anything else,
/// other numbers too, asks again). End of input answers ANSWER_NONE.
int platform_message_box(const char* text, const char* caption, unsigned style);

/// A replacement for the platform's own boxes, for programs that show no
/// boxes (tallix-check), fuzzers and tests.
using message_box_handler = int (*)(const char* text, const char* caption,
                                    unsigned style);

/// Makes every later platform_message_box call go to `handler` instead of
/// the platform's box; nullptr restores the platform's box. Returns the
/// handler that was in place before.
message_box_handler platform_set_message_box_handler(message_box_handler handler);

/// Longest profile value returned, as a 260-character buffer holds.
constexpr std::size_t PROFILE_VALUE_MAX = 259;

/// Reads `key` of `section` from the profile file `ini_path`, with the empty
/// string as default and at most PROFILE_VALUE_MAX characters kept. A file
/// that is missing, unreadable or a directory reads as the default; one
/// that another program holds is waited for (see below). A value ends at
/// its first NUL, as the C string a Windows program gets.
std::string platform_profile_string(const char* ini_path, const char* section,
                                    const char* key);

/// Returns 1 when a file system object named `path` exists (a directory
/// counts; access rights are not tested), else 0.
int platform_name_exists(const char* path);

/// The character that joins a directory and a file name.
char platform_path_separator();

/// Other programs may hold a file open for a moment: virus scanners,
/// indexers, backup agents, editors. Where the platform lets them block an
/// operation (Windows: access denied, sharing or lock violation), each
/// operation below is tried again after growing pauses, about two seconds
/// at most for that one operation; nothing is carried over to the next
/// one. POSIX systems do not block these operations, so nothing waits.

/// Opens the disk file `path` for binary reading: a data file or
/// dosdose.dat. Anything that is not a regular disk file is refused without
/// reading from it, with errno ENODEV: a device by any of its names (COM1,
/// AUX, NUL, com1.dat, \\.\COM1 ... on Windows, where such names are refused
/// before anything is opened), a pipe, a FIFO, a terminal. A folder gives
/// EISDIR (POSIX) or EACCES (Windows, as its C runtime has it). Returns
/// nullptr with errno set on failure.
std::FILE* platform_open_disk_file(const char* path);

/// What tells one version of a file from another: which file it is, its
/// size and its change times. Two readings of an unchanged file are equal.
struct file_version {
    unsigned long long identity[2] = {0, 0};
    unsigned long long size = 0;
    unsigned long long changed[2] = {0, 0};
};

/// Reads the version of the open file `file`. Returns 0 when it cannot be
/// told (a file that is not on a disk).
int platform_file_version(std::FILE* file, file_version& version);

inline bool same_file_version(const file_version& a, const file_version& b) {
    return a.identity[0] == b.identity[0] && a.identity[1] == b.identity[1] && a.size == b.size &&
           a.changed[0] == b.changed[0] && a.changed[1] == b.changed[1];
}

/// How platform_write_file ended.
enum write_result : int {
    WRITE_REFUSED = 0,  ///< nothing written: the file or its folder cannot be written
    WRITE_DONE = 1,     ///< `target` holds `content`
    WRITE_FAILED = 2,   ///< the write failed on the way; see platform_write_file
};

/// Writes `content` as the file `target` (dosdose.dat), so that a reader
/// finds the old file or the complete new one:
///
/// - The new contents go into a temporary file beside `target`, whose name
///   is never longer than the target's own (dosdose.dat: dosdose~ and three
///   letters or digits), so every path that can be read can be written.
///   Temporary files of killed runs that are a minute older than the new
///   one are removed on the way; a running write's file is never that old.
/// - The temporary file then takes the target's place in one step, keeping
///   what was set on the target: access rights, attributes, owner, and on
///   Windows its creation time (ReplaceFileA).
/// - Where that cannot be done because another program holds `target`
///   (Windows), or the folder lets no file be added or replaced but
///   `target` itself may be written, the contents are written into
///   `target` in place as the last resort. That is not one step, so it
///   goes in an order that a reader may meet at any moment: `target` is
///   emptied, `first_in_place` (contents that are safe to read when they
///   are all a reader gets; for dosdose.dat the registers with MEM1 = -1)
///   is written whole and flushed, and only then `content` over it, end of
///   file set, flushed. A write that fails part-way leaves `target` empty
///   or holding the start of `first_in_place`; `content` is the shorter
///   or the same length (MEM1 = 1 in place of -1), so it needs no more
///   room than `first_in_place` took, and only an I/O error can stop it
///   part-way. If the in-place write fails, the temporary file holds the
///   complete new contents and is left beside `target` (where there is
///   one). An empty `first_in_place` writes `content` alone.
///
/// Returns WRITE_DONE; WRITE_REFUSED when nothing was written (`target` is
/// read-only, its folder is missing or refuses a new file); WRITE_FAILED
/// when the write failed later, `target` then as it was, or left as above
/// by a failed in-place write.
write_result platform_write_file(const char* target, const std::string& content,
                                 const std::string& first_in_place = std::string());

/// Waits `milliseconds` (or calls the pause handler instead).
void platform_pause(unsigned milliseconds);

/// Takes the place of every pause (between two tries of a blocked
/// operation, before a changed data file is read again), for tests that
/// must not sleep; nullptr restores real sleeping. Returns the handler that
/// was in place before.
using pause_handler = void (*)(unsigned milliseconds);
pause_handler platform_set_pause_handler(pause_handler handler);

/// The files a file-name argument stands for. Windows shells hand `*` and
/// `?` to the program, so there a pattern in the last part of the name is
/// matched against the files of its folder (case ignored, folders left out,
/// in name order, each name with the pattern's folder part); a pattern that
/// matches nothing, or a name without a pattern, stands for itself. POSIX
/// shells have expanded patterns already: the name always stands for itself.
std::vector<std::string> platform_expand_file_pattern(const char* name);

#endif
