// The workings of the data-file search, for tallix-check, the tests, the
// fuzz targets and the benchmark: the cheap test that turns a piece of
// another asset away, the byte filter that finds where the asset may begin,
// and the search that tells where it stopped and reports through a hook.
#ifndef TALLIX_LOOKUP_SEARCH_H
#define TALLIX_LOOKUP_SEARCH_H

#include "lookup/data_file.h"
#include "lookup/lookup.h"

#include <cstddef>
#include <cstdio>
#include <string>

/// Returns 1 when the first token of the piece [p, end) may be the asset
/// `folded` (written in lower case) followed by a delimiter, so that the
/// piece has to be examined; 0 when it surely is for another asset or
/// carries nothing after the asset. Only tells what to skip cheaply.
int may_be_asset(const char* p, const char* end, const std::string& folded);

/// The byte filter that finds where the asset may begin: its first and last
/// characters, each as (byte | fold) == want, fold being 0x20 for a letter so
/// that both cases pass.
struct asset_filter {
    std::size_t length = 0;  ///< characters of the asset
    unsigned char first_fold = 0, first_want = 0;
    unsigned char last_fold = 0, last_want = 0;
};

/// Sets up `f` for the `length` characters of `asset`.
void make_asset_filter(const char* asset, std::size_t length, asset_filter& f);

/// Returns the first position q in [p, end - f.length] whose first and last
/// asset characters pass the filter, or nullptr when there is none. Only
/// tells where to look closer: every start of the asset passes, and others
/// may.
const char* next_asset_candidate(const asset_filter& f, const char* p, const char* end);

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

/// search_data_file with its failures told through `report`, also telling
/// in `stop` where it stopped. The line number costs a count of every line
/// end on the way; with `count_lines` 0 it is not counted and `stop.line`
/// is left 0.
int search_data_file_at(const char* data_path, std::FILE* file, const char* asset,
                        double nominal, const char* ini_path, register_set& rs,
                        search_stop& stop, error_reporter report, int count_lines = 1);

#endif
