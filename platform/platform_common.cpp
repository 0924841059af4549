// The platform rules that are the same on every platform, over the system
// calls of platform_system.h: the hooks that let tests and tallix-check
// answer boxes and pauses, the pauses of an operation that other programs
// block, and the whole shape of writing dosdose.dat.
#include "platform/platform_system.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>

namespace {

message_box_handler g_handler = nullptr;
pause_handler g_pause = nullptr;

// One operation may pause about two seconds in all, half a second at most
// at a time.
constexpr unsigned PAUSE_BUDGET_MS = 2000;
constexpr unsigned LONGEST_PAUSE_MS = 500;

// Temporary files are named after the target: its name without its last
// four characters (".dat"), a "~" and three of TEMP_LETTERS, so that the
// name is never longer than the target's and every dosdose.dat that can be
// read can be written. Killed runs leave such files; one last written
// STALE_MS before a new temporary file is left over.
constexpr char TEMP_LETTERS[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr unsigned TEMP_NAMES = 36 * 36 * 36;
constexpr unsigned TEMP_TRIES = 200;
constexpr unsigned long long STALE_MS = 60 * 1000;

char fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Equal as the file system compares names.
bool same_name_char(char a, char b) { return system_names_fold_case() ? fold(a) == fold(b) : a == b; }

bool same_name(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!same_name_char(a[i], b[i])) return false;
    return true;
}

struct temp_place {
    std::string folder;  // with its final separator, or empty: the current folder
    std::string stem;    // the target's name without ".dat", then '~'
};

temp_place temp_place_of(const std::string& target) {
    const std::size_t sep = target.find_last_of(system_path_separators());
    const std::size_t cut = sep == std::string::npos ? 0 : sep + 1;
    const std::string name = target.substr(cut);
    return {target.substr(0, cut), (name.size() > 4 ? name.substr(0, name.size() - 4) : std::string()) + '~'};
}

bool is_temp_name(const std::string& name, const std::string& stem) {
    if (name.size() != stem.size() + 3 || !same_name(name.substr(0, stem.size()), stem)) return false;
    for (std::size_t i = stem.size(); i < name.size(); ++i) {
        const char c = system_names_fold_case() ? fold(name[i]) : name[i];
        if (c == '\0' || !std::strchr(TEMP_LETTERS, c)) return false;
    }
    return true;
}

// Creates a new temporary file beside the target. A name that is taken
// gets the next one; another program that blocks the folder for a moment
// gets pauses. Returns NO_FILE with the last outcome in `why`.
system_file create_temp(const temp_place& place, const write_target& t, std::string& name, system_outcome& why) {
    retry_budget budget;
    unsigned n = system_process_id() * 7919u +
                 unsigned(std::chrono::steady_clock::now().time_since_epoch().count() / 1000000);
    why = SYSTEM_TAKEN;
    for (unsigned tries = 0; tries < TEMP_TRIES; ++tries) {
        const unsigned k = n % TEMP_NAMES;
        name = place.folder + place.stem;
        name += TEMP_LETTERS[k / (36 * 36)];
        name += TEMP_LETTERS[k / 36 % 36];
        name += TEMP_LETTERS[k % 36];
        const system_file f = system_create_new(name, t, why);
        if (f != NO_FILE) return f;
        if (why == SYSTEM_TAKEN) {
            n += 7717u;
            continue;
        }
        if (!may_pass(why) || !pause_before_retry(budget)) break;
    }
    return NO_FILE;
}

// Removes the temporary files that killed runs left beside the target:
// those last written a minute before the one just made (times of one file
// system, so a network share's clock is compared with itself). A running
// write's file is younger, and where the platform lets it, kept from being
// deleted while it is written.
void remove_stale_temps(const temp_place& place, const std::string& mine, unsigned long long now_ms) {
    for (const folder_file& f : system_files_like(place.folder, place.stem)) {
        const std::string path = place.folder + f.name;
        if (!is_temp_name(f.name, place.stem) || same_name(path, mine)) continue;
        if (f.written_ms + STALE_MS < now_ms) (void)system_remove(path);
    }
}

// Removes the temporary file, pausing while another program holds it
// without letting it be deleted.
void remove_temp(const std::string& name) {
    retry_budget budget;
    for (system_outcome o; (o = system_remove(name)) != SYSTEM_DONE;)
        if (!may_pass(o) || !pause_before_retry(budget)) return;
}

// Puts the temporary file in the target's place, pausing while another
// program keeps that from happening. Returns the last outcome.
system_outcome put_in_place(const std::string& temp, const write_target& t) {
    retry_budget budget;
    for (;;) {
        const system_outcome o = system_replace(temp, t);
        if (!may_pass(o) || !pause_before_retry(budget)) return o;
    }
}

// The last resort: the contents written into the target itself, shared
// with every other program, which lets it succeed beside a holder that
// lets others write. The target is emptied first and given `first` whole
// before `content`, so that a write stopped on the way leaves a start of
// `first` and nothing of the old or the final contents. Every step is
// checked.
write_result write_in_place(const write_target& t, const std::string& content, const std::string& first) {
    retry_budget budget;
    system_outcome why;
    system_file f;
    while ((f = system_open_in_place(t, why)) == NO_FILE)
        if (!may_pass(why) || !pause_before_retry(budget)) return WRITE_REFUSED;
    bool ok = system_set_end(f);
    if (ok && !first.empty() && first != content)
        ok = system_write_all(f, first) && system_flush(f) && system_rewind(f);
    ok = ok && system_write_all(f, content) && system_set_end(f) && system_flush(f);
    if (!system_close(f)) ok = false;
    return ok ? WRITE_DONE : WRITE_FAILED;
}

// The in-place write after the temporary file could not take the target's
// place. After a write that failed part-way the temporary file is all that
// holds the complete new contents: it stays.
write_result in_place_instead(const write_target& t, const std::string& temp, const std::string& content,
                              const std::string& first) {
    const write_result in_place = write_in_place(t, content, first);
    if (in_place != WRITE_FAILED) remove_temp(temp);
    return in_place == WRITE_DONE ? WRITE_DONE : WRITE_FAILED;
}

bool refused(system_outcome o) { return o == SYSTEM_REFUSED || o == SYSTEM_DENIED; }

}  // namespace

int platform_message_box(const char* text, const char* caption, unsigned style) {
    if (g_handler) return g_handler(text, caption, style);
    return system_message_box(text, caption, style);
}

message_box_handler platform_set_message_box_handler(message_box_handler handler) {
    message_box_handler before = g_handler;
    g_handler = handler;
    return before;
}

void platform_pause(unsigned milliseconds) {
    if (g_pause) g_pause(milliseconds);
    else system_sleep(milliseconds);
}

pause_handler platform_set_pause_handler(pause_handler handler) {
    pause_handler before = g_pause;
    g_pause = handler;
    return before;
}

bool pause_before_retry(retry_budget& budget) {
    if (budget.spent_ms >= PAUSE_BUDGET_MS) return false;
    const unsigned pause = std::min(budget.next_ms, PAUSE_BUDGET_MS - budget.spent_ms);
    budget.spent_ms += pause;
    budget.next_ms = std::min(budget.next_ms * 2, LONGEST_PAUSE_MS);
    platform_pause(pause);
    return true;
}

write_result platform_write_file(const char* target_name, const std::string& content,
                                 const std::string& first_in_place) {
    write_target t;
    system_inspect_target(target_name, t);
    if (t.exists && !t.is_file) return WRITE_FAILED;
    // A dosdose.dat that may not be written is not replaced behind its
    // owner's back either, though its folder would allow it.
    if (t.exists && !t.writable) {
        errno = EACCES;
        return WRITE_REFUSED;
    }
    const temp_place place = temp_place_of(t.path);
    std::string temp;
    system_outcome why;
    const system_file f = create_temp(place, t, temp, why);
    if (f == NO_FILE) {
        // A folder that lets nobody add a file may still let its
        // dosdose.dat be written.
        if (t.exists && refused(why)) return write_in_place(t, content, first_in_place);
        return WRITE_REFUSED;
    }
    remove_stale_temps(place, temp, system_written_ms(f));
    bool ok = system_write_all(f, content) && system_flush(f);
    if (!system_close(f)) ok = false;
    if (!ok) {
        remove_temp(temp);
        return WRITE_FAILED;
    }
    if (t.exists) system_take_over_closed(temp, t);
    const system_outcome put = put_in_place(temp, t);
    if (put == SYSTEM_DONE) return WRITE_DONE;
    // Still held after the pauses, or a folder that lets the target be
    // written but not replaced.
    if (t.exists && (put == SYSTEM_HELD || refused(put))) return in_place_instead(t, temp, content, first_in_place);
    remove_temp(temp);
    return WRITE_FAILED;
}
