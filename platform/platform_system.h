// The system calls under the platform verbs. The rules that are the same
// on every platform live once, in platform_common.cpp: the hooks for tests,
// the pauses while other programs hold a file, the names of temporary files
// and the removal of those that killed runs left, and the shape of writing
// dosdose.dat (a temporary file put in the target's place, in place as the
// last resort). Each platform file (platform_posix.cpp, platform_win32.cpp)
// implements the calls below with its own system calls and nothing else.
// Private to the platform library.
#ifndef TALLIX_PLATFORM_SYSTEM_H
#define TALLIX_PLATFORM_SYSTEM_H

#include "platform/platform.h"

#include <cstdint>
#include <string>
#include <vector>

// ------------------------------------------------------- boxes and pauses

/// The platform's own message box (platform_message_box without a handler).
int system_message_box(const char* text, const char* caption, unsigned style);

/// Sleeps `milliseconds` (platform_pause without a handler).
void system_sleep(unsigned milliseconds);

/// The pauses of one operation that other programs block: growing pauses,
/// from 10 ms up to half a second each, about two seconds in all. Each
/// operation has a budget of its own.
struct retry_budget {
    unsigned spent_ms = 0;
    unsigned next_ms = 10;
};

/// Waits before the next try of a blocked operation (through
/// platform_pause). Returns false, without waiting, when the budget is spent.
bool pause_before_retry(retry_budget& budget);

// --------------------------------------------------- writing dosdose.dat

/// An open file of the system: a descriptor or a handle.
using system_file = std::intptr_t;
constexpr system_file NO_FILE = -1;

/// What is known of the target of a write before it is written.
struct write_target {
    std::string path;      ///< as the system calls want it (Windows: a full path)
    bool exists = false;   ///< something of that name is there ...
    bool is_file = false;  ///< ... and it is a file, not a folder
    bool writable = true;  ///< this process may write it (not read-only)
    /// What the new file takes over from the old one: mode, owner and group
    /// (POSIX); attributes and creation time (Windows).
    unsigned long long kept[3] = {0, 0, 0};
};

/// Looks at `name`, the target of a write, and fills `t`.
void system_inspect_target(const char* name, write_target& t);

/// Returns true when file names equal but for case name the same file on
/// this platform's file systems.
bool system_names_fold_case();

/// This process's id: with the time, where temporary names start.
unsigned system_process_id();

/// The characters after which a file name begins.
const char* system_path_separators();

/// How a system call on a file ended. Where the platform lets other
/// programs block an operation (Windows), HELD and DENIED are worth a pause
/// and another try; DENIED, which a holder and a lack of rights both give,
/// counts as REFUSED once the pauses are spent.
enum system_outcome {
    SYSTEM_DONE = 0,     ///< the call did what it was asked
    SYSTEM_TAKEN = 1,    ///< the name exists already (creating a new file)
    SYSTEM_HELD = 2,     ///< another program blocks it for now (a sharing or lock violation)
    SYSTEM_DENIED = 3,   ///< access denied: another program, or no right to do it
    SYSTEM_REFUSED = 4,  ///< no right to do it (a folder that lets no file be added, a file not to be replaced)
    SYSTEM_FAILED = 5,   ///< anything else
};

/// Returns true when `o` may pass with a pause.
inline bool may_pass(system_outcome o) { return o == SYSTEM_HELD || o == SYSTEM_DENIED; }

/// Creates the new file `name` for writing, kept from every other program
/// while it is written, with what `t` keeps (its rights, attributes,
/// owner). Returns the file, or NO_FILE with `why`.
system_file system_create_new(const std::string& name, const write_target& t, system_outcome& why);

/// Opens the existing target for writing in place, sharing it with every
/// other program. Returns the file, or NO_FILE with `why`.
system_file system_open_in_place(const write_target& t, system_outcome& why);

bool system_write_all(system_file f, const std::string& content);
/// Sets the end of the file where the next write would go.
bool system_set_end(system_file f);
/// Moves to the start of the file.
bool system_rewind(system_file f);
/// Flushes everything written to the disk.
bool system_flush(system_file f);
bool system_close(system_file f);

/// When the file was last written, in milliseconds on the file system's own
/// clock; 0 when it cannot be told.
unsigned long long system_written_ms(system_file f);

/// After the new file's contents are complete: gives it, by name, what must
/// be set when it is closed (Windows: the target's access rights).
void system_take_over_closed(const std::string& name, const write_target& t);

/// A file in a folder: its name and when it was last written (as
/// system_written_ms).
struct folder_file {
    std::string name;
    unsigned long long written_ms = 0;
};

/// The files (not folders, not links) in `folder` (with its final
/// separator, or empty for the current folder) whose names begin with
/// `stem` and have three characters more.
std::vector<folder_file> system_files_like(const std::string& folder, const std::string& stem);

/// Removes the file `name`.
system_outcome system_remove(const std::string& name);

/// Puts the complete file `temp` in the target's place in one step, keeping
/// what was set on the target. Returns SYSTEM_DONE; SYSTEM_HELD or
/// SYSTEM_DENIED while another program keeps the target from being
/// replaced; SYSTEM_REFUSED when the folder lets this process write the
/// target but not replace it; SYSTEM_FAILED otherwise. Pauses are the
/// caller's.
system_outcome system_replace(const std::string& temp, const write_target& t);

#endif
