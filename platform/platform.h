// The narrow door between TALLIX and the operating system.
//
// Everything TALLIX needs from the platform is one of the verbs below, in
// plain standard types: show a message box, read a key of a profile (INI)
// file, tell whether a name exists, and write a file so that it replaces
// another one in a single step. One source file per platform implements them
// (platform_posix.cpp, platform_win32.cpp); CMake compiles only the one that
// fits. No system header is included here, so nothing of the platform leaks
// into the exchange library or the lookup tool.
//
// The program start-up is platform code too: start_posix.cpp and
// start_win32.cpp each define the process entry point and hand the
// command-line text after the program's name to `tallix_entry`.
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
/// button; a number is returned as it is, as the id of the button an
/// automation tool pressed; anything else asks again). End of input answers
/// ANSWER_NONE.
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
/// that is missing, unreadable or a directory reads as the default.
std::string platform_profile_string(const char* ini_path, const char* section,
                                    const char* key);

/// Returns 1 when a file system object named `path` exists (a directory
/// counts; access rights are not tested), else 0.
int platform_name_exists(const char* path);

/// The character that joins a directory and a file name.
char platform_path_separator();

/// Writing dosdose.dat: platform_create_temp_beside, write, then
/// platform_commit_and_close and platform_replace_file.
///
/// Other programs may hold dosdose.dat or the temporary file open for a
/// moment (virus scanners, indexers, backup agents, editors). Where the
/// platform lets them block a step (Windows), the step is tried again after
/// growing pauses, about two seconds in all for one write, never more.

/// Creates a new, empty temporary file in the directory of `target`, opened
/// for binary writing, and stores its name in `temp_path`; this begins one
/// write of `target`. Returns nullptr (and leaves errno) when no such file
/// can be created, and at once, with errno EACCES, when `target` exists and
/// may not be written (Windows: its read-only attribute; POSIX: this
/// process has no write permission on it). The file carries the access
/// rights and (Windows) the hidden, system and archive attributes `target`
/// has, when it exists.
std::FILE* platform_create_temp_beside(const char* target, std::string& temp_path);

/// Flushes `file` through to the disk and closes it. Returns 1 when every
/// step succeeded, else 0; the file is closed in either case.
int platform_commit_and_close(std::FILE* file);

/// Replaces `target` by `source` in one step: a reader sees either the old
/// or the new file, never a mixture. Returns 1 on success (`source` is
/// gone), else 0 (and `source` is left where it was, `target` untouched).
///
/// Windows: while another program keeps `target` from being replaced, the
/// replacement is tried again within the write's two seconds. When it still
/// fails and that program lets others write `target`, the contents of
/// `source` are written into `target` in place as a last resort (every
/// byte, end of file set, flushed; not in one step, but the value is not
/// lost), and `source` is removed.
int platform_replace_file(const char* source, const char* target);

/// Removes the file `path`; returns 1 when it is gone. Windows: a file that
/// another program holds for a moment is tried again within what is left
/// of the write's two seconds.
int platform_remove_file(const char* path);

/// Takes the place of every pause between two tries of a blocked step, for
/// tests that must not sleep; nullptr restores real sleeping. Returns the
/// handler that was in place before.
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
