// The lookup tool: started by a VORNAX procedure with an initialization
// file, a data file, an asset number and a nominal value, it finds the value
// recorded for that asset at that nominal and hands it back in register MEM,
// with a success flag in MEM1.
//
// This header is the tool's contract: the entry, the outcome codes its
// routines return, and its one way of telling a failure. The run that
// tallix and tallix-check --lookup share is in run.h, the search in
// search.h, the data-file rules in data_file.h.
#ifndef TALLIX_LOOKUP_H
#define TALLIX_LOOKUP_H

#include "exchange/exchange.h"
#include "platform/platform.h"

#include <cstddef>
#include <string>

/// Outcome codes: the answers of the message boxes that ask for them, so
/// that a report can pass the operator's answer on as it is. Any other
/// value (a box that could not be shown gives ANSWER_NONE) counts as give
/// up.
enum : int {
    OUTCOME_FOUND = ANSWER_OK,
    OUTCOME_GIVE_UP = ANSWER_CANCEL,
    OUTCOME_RETRY = ANSWER_RETRY,
};

/// The program's work for one command line (the text after the program's
/// name): cuts it into its four arguments and runs the lookup, or tells
/// which argument is missing. Returns the exit status: 0 when a value was
/// found and handed over, else 1. The program's start-up calls it.
int tallix_entry(const char* command_line);

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

#endif
