// One lookup from its arguments to the exit status, the run that tallix
// makes for VORNAX and tallix-check --lookup makes for the people who keep
// a data file: take the arguments, read the nominal and the registers,
// search the data file for as long as a report answers Retry, record the
// result in MEM and MEM1 and write the registers back. How the run meets
// the outside (dosdose.dat and the operator's boxes, or neither) is handed
// in as hooks with a context of the caller's.
#ifndef TALLIX_LOOKUP_RUN_H
#define TALLIX_LOOKUP_RUN_H

#include "lookup/lookup.h"
#include "lookup/search.h"

#include <string>

/// Where a run meets the outside; every hook gets `context`.
struct lookup_hooks {
    void* context = nullptr;
    /// Tells a failure once the registers are read (report_error in tallix).
    search_report report = nullptr;
    /// Tells a failure met before the registers were read
    /// (report_before_registers in tallix); `ini_path` may be null.
    int (*report_early)(void* context, const std::string& text, int retryable, const char* ini_path) = nullptr;
    /// Reads the registers (get_dose); returns 1, or 0 after its own message.
    int (*read_registers)(void* context, const char* ini_path, register_set& rs) = nullptr;
    /// Writes the registers (put_dose); returns 1, or 0 after its own message.
    int (*write_registers)(void* context, const char* ini_path, const register_set& rs) = nullptr;
    /// 1: the result's stop names its line (a count of every line end that
    /// tallix spares itself).
    int count_lines = 0;
};

/// tallix's hooks: dosdose.dat read and written, the operator asked.
lookup_hooks operator_hooks();

/// What a run leaves besides its exit status.
struct lookup_result {
    int outcome = OUTCOME_GIVE_UP;  ///< of the last attempt; OUTCOME_GIVE_UP when none was made
    double mem = 0;                 ///< MEM as written back
    search_stop stop;               ///< where the last attempt's search stopped
};

/// Cuts `text` in place at every run of spaces and commas and points
/// `args` at the first four tokens. Returns how many were found (0 to 4);
/// tokens after the fourth are ignored. One exception keeps a nominal
/// written with a decimal comma from being read as the whole number before
/// it: when the run before the nominal holds a blank and the nominal is a
/// whole number followed by a lone comma and a digit, the nominal runs on
/// over that comma and its group (to the next space or comma), and over
/// further such groups ("A7 0,5" gives the nominal "0,5";
/// "a.ini,refs.dat,A7,0,5" keeps the nominal 0).
int cut_arguments(std::string& text, const char* args[4]);

/// Runs one lookup on the first `count` of the arguments `args`
/// (initialization file, data file, asset, nominal text): a missing one is
/// told through report_early, as is a nominal that is no number; then the
/// registers are read, MEM1 set to -1, the data file searched (lookup_attempt)
/// until the report answers other than Retry, MEM1 set to 1 or -1 and the
/// registers written. Returns the exit status: 0 only when a value was found
/// and written back.
int run_lookup(const char* const args[4], int count, const lookup_hooks& hooks, lookup_result& result);

#endif
