// The data-file search: the first line of an asset whose nominal lies within
// a relative 1e-11 of the sought one gives the value. One search reads an
// open file once (search_data_file); one attempt of a lookup opens the file
// and searches it, again while it changes (lookup_attempt). Both tell where
// they stopped and report through a hook with a context of the caller's, so
// that tallix asks the operator and tallix-check records the text. Used by
// the run (run.h), tallix-check, the tests, the fuzz targets and the
// benchmark; the pieces a search examines come from the piece scanner
// (piece_scan.h).
#ifndef TALLIX_LOOKUP_SEARCH_H
#define TALLIX_LOOKUP_SEARCH_H

#include "lookup/data_file.h"
#include "lookup/lookup.h"
#include "lookup/piece_scan.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>

// ------------------------------------------------------ numbers and match

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

// ----------------------------------------------------------------- search

/// Where a search stopped: the piece of the data file that found the value
/// or caused the report.
struct search_stop {
    long line = 0;      ///< line of the file (from 1) the piece belongs to; 0: end of file or not counted
    long piece = 0;     ///< piece of that line (from 1); a line longer than the limit has several
    std::string text;   ///< the piece as read, without its line end
};

/// How a search tells a failure, with the context its caller handed in:
/// report_error in tallix; tallix-check records the text. Returns the
/// outcome.
using search_report = int (*)(void* context, const std::string& text, int retryable, const char* ini_path,
                              register_set& rs);

/// One search: what is looked for, in which file, and how a failure is
/// told. Fill it by field names.
struct search_request {
    const char* data_path = nullptr;  ///< only shown in messages
    std::FILE* file = nullptr;        ///< open for reading at its start (lookup_attempt opens it)
    const char* asset = nullptr;
    double nominal = 0;
    const char* ini_path = nullptr;      ///< handed to the report, for the registers it saves
    search_report report = nullptr;      ///< how a failure is told ...
    void* report_context = nullptr;      ///< ... with what
    int count_lines = 1;  ///< 0: stop.line is left 0, which spares a count of every line end
};

/// What search_data_file returns, besides an outcome, when the file was
/// found changed at the end (another size, change time or file than at the
/// start): nothing was reported, and the file must be read again. No button
/// id (1 to 11) and no answer of a report; like every result of an
/// examination, 0 or more, so that it ends the scan.
constexpr int SEARCH_FILE_CHANGED = 100;

/// Searches q.file for the first line of q.asset at q.nominal. Returns
/// OUTCOME_FOUND with the value in rs.MEM, the outcome of the report made,
/// or SEARCH_FILE_CHANGED; `stop` tells where it stopped.
int search_data_file(const search_request& q, register_set& rs, search_stop& stop);

/// How often a data file that changes while it is searched is read before
/// the lookup says it cannot be read ("errno = 16.", busy).
constexpr int DATA_FILE_READS = 5;

/// One attempt of a lookup: opens q.data_path as a disk file (q.file is
/// set here) and searches it. A file that cannot be opened is reported with
/// open_failure_text. One that changes while it is searched is read again
/// from its first line after a pause (50 ms, doubling each time), and after
/// DATA_FILE_READS readings reported as busy, so that a value is only ever
/// taken from one unchanged version of the file. Returns the outcome.
int lookup_attempt(search_request q, register_set& rs, search_stop& stop);

#endif
