// The workings of the data-file search, for tallix-check, the tests, the
// fuzz targets and the benchmark: the search that tells where it stopped and
// reports through a hook, over the piece scanner (piece_scan.h) that finds
// the pieces it examines.
#ifndef TALLIX_LOOKUP_SEARCH_H
#define TALLIX_LOOKUP_SEARCH_H

#include "lookup/data_file.h"
#include "lookup/lookup.h"
#include "lookup/piece_scan.h"

#include <cstddef>
#include <cstdio>
#include <string>

/// Where a search stopped: the piece of the data file that found the value
/// or caused the report.
struct search_stop {
    long line = 0;      ///< line of the file (from 1) the piece belongs to; 0: end of file or not counted
    long piece = 0;     ///< piece of that line (from 1); a line longer than the limit has several
    std::string text;   ///< the piece as read, without its line end
};

/// How a search tells a failure: report_error in tallix; a checker that
/// writes no registers and shows no boxes records the text instead.
using error_reporter = int (*)(const std::string& text, int retryable, const char* ini_path,
                               register_set& rs);

/// One search: what is looked for, in which file, and how a failure is told.
struct search_request {
    const char* data_path = nullptr;  ///< only shown in messages
    std::FILE* file = nullptr;        ///< open for reading at its start
    const char* asset = nullptr;
    double nominal = 0;
    const char* ini_path = nullptr;        ///< for the registers the report saves
    error_reporter report = report_error;  ///< how a failure is told
    int count_lines = 1;  ///< 0: stop.line is left 0, which spares a count of every line end
};

/// search_data_file as `q` asks for it, also telling in `stop` where it
/// stopped.
int search_data_file_at(const search_request& q, register_set& rs, search_stop& stop);

/// How often a data file that changes while it is searched is read before
/// the lookup says it cannot be read ("errno = 16.", busy).
constexpr int DATA_FILE_READS = 5;

/// One attempt of a lookup: opens q.data_path as a disk file (q.file is
/// set here) and searches it. A file that cannot be opened is reported with
/// open_failure_text. One that changes while it is searched is read again
/// from its first line after a pause (50 ms, doubling each time), and after
/// DATA_FILE_READS readings reported as busy, so that a value is only ever
/// taken from one unchanged version of the file. Returns the outcome.
int search_data_path(search_request q, register_set& rs, search_stop& stop);

#endif
