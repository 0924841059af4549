// tallix-check: finds every problem in a VORNAX data file before an operator
// meets it at the bench, and shows which line a lookup would take.
//
// The checker reads a data file exactly as tallix's search does (the same
// text mode, pieces of DATA_LINE_LIMIT characters, tokens, number syntax,
// asset comparison and tolerance), so what it reports is what a lookup
// would meet. It writes no registers and shows no message boxes: every
// finding is a line of text, "<file>:<line>: error: ..." or
// "<file>:<line>: warning: ...", in the style editors understand. Line
// numbers are the physical lines of the file, from 1.
#ifndef TALLIX_CHECK_H
#define TALLIX_CHECK_H

#include <cstdio>
#include <string>

/// Exit statuses of tallix-check.
enum : int { CHECK_CLEAN = 0, CHECK_ERRORS = 1, CHECK_UNUSABLE = 2 };

/// What one or more checked files hold.
struct check_totals {
    long lines = 0;     ///< physical lines read (up to a Ctrl-Z)
    long assets = 0;    ///< different assets (ignoring case) with a line that has a nominal
    long nominals = 0;  ///< lines a lookup can take a value from
    long errors = 0;    ///< lines that make a lookup fail or hand over another value than recorded
    long warnings = 0;  ///< lines that mislead: never found, cut, or never read
};

/// Checks the data file `file` (open for binary reading at its start; it
/// must be seekable) and appends one line per finding to `out`, in the
/// order of the file's lines, each starting with `path`. A file in which no
/// lookup can find anything is told first: at line 1, or, when it holds no
/// line at all, as "<path>: error: ..." without a line. Adds the file's
/// counts to `totals`. Returns 1 when the whole file was read; 0 when
/// reading failed, with its errno in `error_number` (the findings up to
/// there are in `out` and counted).
int check_data_file(const char* path, std::FILE* file, std::string& out,
                    check_totals& totals, int& error_number);

/// Appends "<label>: N lines, N assets, N nominals, N errors, N warnings"
/// and a line end to `out`.
void append_summary(std::string& out, const std::string& label, const check_totals& totals);

/// Runs the lookup tallix would run for `asset` at the nominal text
/// `nominal_text` in the data file `data_path`, without registers or boxes.
/// The two are cut as tallix cuts its command line (at every run of spaces
/// and commas): where that gives other arguments, `out` first gets one line
/// "cut: tallix reads "<asset> <nominal>" as asset "..." and nominal
/// "..."", and the lookup runs on what tallix reads (a missing argument
/// gives tallix's "Asset number required!" or "Nominal value required!").
/// Then `out` gets the line the lookup stopped at, as
/// "<data_path>:<line>: <text>", then either "value: <value>" (as tallix
/// writes MEM) or "message: <text>" (the exact text tallix would show).
/// Returns the exit status tallix would end with: 0 found, 1 not.
int explain_lookup(const char* asset, const char* nominal_text, const char* data_path,
                   std::string& out);

/// Writes a mended copy of the data file `in_path` to `out_path` (mend.h):
/// in one step, never over `in_path` itself (the same file by any name) nor
/// over VORNAX's register exchange file. A file that checks clean is copied
/// unchanged. `out` gets every change made, as "<in_path>:<line>: <change>"
/// (without a line for the whole file), and a line saying what was written;
/// or, where a reading is not certain, "<in_path>:<line>: cannot mend: ..."
/// for each line that stops it and nothing is written. Returns CHECK_CLEAN
/// when the copy was written, CHECK_ERRORS when the mend was refused, and
/// CHECK_UNUSABLE (the reason in `err`) when `in_path` cannot be read,
/// `out_path` is refused as above or cannot be written.
int fix_data_file(const std::string& in_path, const std::string& out_path, std::string& out, std::string& err);

/// The whole program for one argument vector: diagnostics and the --lookup
/// report go to `out`, usage errors and unreadable files to `err`. Returns
/// the exit status: CHECK_CLEAN, CHECK_ERRORS, or CHECK_UNUSABLE for bad
/// usage or a file that cannot be read. --lookup returns tallix's status;
/// --fix that of fix_data_file, then, once the copy is written, that of
/// checking it.
int check_main(int argc, const char* const* argv, std::string& out, std::string& err);

#endif
