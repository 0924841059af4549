// Helpers shared by the unit tests: scratch folders, whole-file reads and
// writes, and a message-box recorder that answers from a script.
#ifndef TALLIX_TEST_SUPPORT_H
#define TALLIX_TEST_SUPPORT_H

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

struct shown_box {
    std::string text;
    std::string caption;
    unsigned style;
};

/// Records every message box shown while it lives and answers each one with
/// the next scripted answer (0, "no box could be shown", when none is left).
/// Also forgets the library's kept exchange-file path on both ends.
struct box_script {
    explicit box_script(std::deque<int> answers = {});
    ~box_script();
    std::vector<shown_box> shown;
    std::deque<int> answers;
};

/// A new empty folder under the system's temporary folder.
std::string make_scratch_dir();

void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);
/// Names in folder `dir`, sorted.
std::vector<std::string> list_dir(const std::string& dir);

/// A file that gives `content` and then fails with EIO once `fail_at`
/// characters have been read (never when `fail_at` is past the end).
struct failing_source {
    std::string content;
    std::size_t fail_at;
    std::size_t pos = 0;
};

/// Opens `s` as a stdio file for reading; `s` must outlive the file.
/// Where the platform cannot make a read fail (can_fail_reads() false),
/// only a source that never fails can be opened; others give nullptr.
std::FILE* open_failing_source(failing_source& s);
bool can_fail_reads();

/// A VORNAX initialization file in `dir` whose user_data_dir is `dir`; returns its path.
std::string write_host_ini(const std::string& dir);

/// `name` in folder `dir`, joined as the exchange library joins them.
std::string in_dir(const std::string& dir, const char* name);

/// The text of a standard exchange file with MEM, MEM1, MEM2 and M 1..20 = 1..20.
std::string standard_dose(const std::string& mem, const std::string& mem1, const std::string& mem2);

#endif
