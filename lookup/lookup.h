// The lookup tool: started by a VORNAX procedure with an initialization
// file, a data file, an asset number and a nominal value, it finds the value
// recorded for that asset at that nominal and hands it back in register MEM,
// with a success flag in MEM1.
//
// The tool's routines return an outcome code, the answer a message box gives
// for the operator's choice: found (also OK), give up (Cancel), try again
// (Retry). Only the entry (tallix_entry, which the platform's start-up
// calls) turns the run into an exit status. The search's workings, for
// tallix-check and the tests, are in search.h; the data-file rules in
// data_file.h.
#ifndef TALLIX_LOOKUP_H
#define TALLIX_LOOKUP_H

#include "exchange/exchange.h"
#include "platform/platform.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>

/// Outcome codes: the answers of the message boxes that ask for them, so
/// that a report can pass the operator's answer on as it is. Any other
/// value (a box that could not be shown gives ANSWER_NONE) counts as give
/// up. OUTCOME_FILE_CHANGED is no button: the search tells with it, before
/// any value or report, that the data file changed while it was read, so
/// that it is read again.
enum : int {
    OUTCOME_FOUND = ANSWER_OK,
    OUTCOME_GIVE_UP = ANSWER_CANCEL,
    OUTCOME_RETRY = ANSWER_RETRY,
    OUTCOME_FILE_CHANGED = 8,
};

// ------------------------------------------------------------ entry and run

/// The program's work for one command line (the text after the program's
/// name): cuts it into its four arguments and runs the lookup, or tells
/// which argument is missing. Returns the exit status: 0 when a value was
/// found and handed over, else 1. The platform's start-up calls it.
int tallix_entry(const char* command_line);

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

/// Runs the lookup from the nominal on (the arguments all present). Returns
/// the exit status.
int run_lookup(const char* ini_path, const char* data_path, const char* asset,
               const char* nominal_text);

// ----------------------------------------------------------------- report

/// Saves the registers with put_dose, then shows `text` (caption "TALLIX
/// Error"): Retry/Cancel when `retryable`, else OK. A Retry/Cancel box
/// returns OUTCOME_RETRY or OUTCOME_GIVE_UP, whatever else it answered; an
/// OK box returns the button pressed. When saving fails, shows "Function
/// <put_dose> failed!" instead and returns OUTCOME_GIVE_UP.
int report_error(const std::string& text, int retryable, const char* ini_path,
                 register_set& rs);

/// Reports a failure met before the registers were read. With an
/// initialization file, the registers are read first and written back with
/// MEM1 = -1, so that no earlier success flag is left behind; registers that
/// could not be read are not written. Returns as report_error does.
int report_before_registers(const std::string& text, int retryable, const char* ini_path);

/// "Can't open \"<data_path>\".  " followed by the reason for `error_number`.
std::string open_failure_text(const char* data_path, int error_number);

/// "\"<token>\" contains an invalid NR3 number."
std::string invalid_number_text(const char* token, std::size_t length);

/// "\"<token>\" is cut at column <column>: data lines are read in pieces of
/// 254 characters." A nominal or value that a long line's piece cut in two
/// is no number, and which number it was is not known.
std::string cut_cell_text(const char* token, std::size_t length, long column);

// ----------------------------------------------------------------- search

/// Converts a whole token as a number: stores the value of the number at
/// its start in `value` (0 when none) and returns 1 when the number runs to
/// the token's end, else 0.
int nr3_value(const char* token, std::size_t length, double& value);

/// The relative tolerance of a nominal match: the double nearest 1e-11.
constexpr double NOMINAL_TOLERANCE = 1e-11;

/// The lowest value in_tolerance accepts above `low`, and the highest below
/// `high`: each widened by NOMINAL_TOLERANCE of its own size.
inline double tolerance_floor(double low) { return low - std::fabs(low) * NOMINAL_TOLERANCE; }
inline double tolerance_ceiling(double high) { return high + std::fabs(high) * NOMINAL_TOLERANCE; }

/// Returns 1 when `value` lies within the range [low, high] widened by a
/// relative 1e-11 at each end, else 0.
int in_tolerance(double value, double low, double high);

/// Searches the data file `file` (open for reading at its start) for the
/// first line of `asset` at `nominal`. Returns OUTCOME_FOUND with the value
/// in rs.MEM, or the outcome of the report made. `data_path` is only shown.
/// When the file is found changed at the end (another size, change time or
/// file than at the start), nothing is reported and OUTCOME_FILE_CHANGED is
/// returned instead.
int search_data_file(const char* data_path, std::FILE* file, const char* asset,
                     double nominal, const char* ini_path, register_set& rs);

#endif
