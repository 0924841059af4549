// The piece scanner: reads a data file in large blocks and hands, in file
// order, every piece whose first token may be the sought asset, with its
// line and piece number, to the search's examination. A piece is what a line-by-line reading of the file
// would take as a line (data_file.h); every other piece is passed over
// without being cut.
//
// Most of a large file is for other assets, so the scanner does not walk
// its lines: a byte filter finds the places where the asset's first and
// last characters stand, and only there does the scanner work out whether
// the place begins the first token of a piece. Where the filter passes
// nearly every line, it walks the pieces one by one for a while instead.
// Memory stays the same whatever the size of the file.
#ifndef TALLIX_LOOKUP_PIECE_SCAN_H
#define TALLIX_LOOKUP_PIECE_SCAN_H

#include "exchange/text_mode.h"

#include <cstddef>
#include <cstdio>
#include <string>

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
/// asset characters pass the filter or that holds a Ctrl-Z, or nullptr when
/// there is none. Only tells where to look closer: every start of the asset
/// and every Ctrl-Z passes, and others may.
const char* next_asset_candidate(const asset_filter& f, const char* p, const char* end);

/// The widest vector step this processor takes (32 with AVX2, 16 with
/// SSE2, else 1), which next_asset_candidate uses.
int asset_filter_widest_step();

/// next_asset_candidate with vector steps of at most `step` bytes (32, 16,
/// or 1 for none), so that the tests hold every width to the same answers.
const char* next_asset_candidate_in_steps(const asset_filter& f, const char* p, const char* end, int step);

/// A piece that may be for the asset: its characters (without the line
/// end), valid while the visitor looks at it, and where it stands. A piece
/// that begins inside a token cut by the piece before it is never handed
/// over: it is no line for any asset.
struct candidate_piece {
    const char* data = nullptr;
    std::size_t length = 0;
    long line = 0;   ///< line of the file, from 1; 0 when lines are not counted
    long piece = 0;  ///< piece of that line, from 1
    bool runs_on = false;  ///< its last token goes on in the next piece of the line
};

/// Where the scanner is in its reader's window. Offsets move down with the
/// window when it slides.
struct scan_place {
    std::size_t known = 0;    ///< an offset whose column is known ...
    std::size_t column = 0;   ///< ... and that column: characters since its line began
    std::size_t counted = 0;  ///< the line ends before this offset ...
    long lines = 0;           ///< ... are this many (only when lines are counted)
};

/// One scan of one file for one asset. Large: allocate it on the heap.
struct piece_scanner {
    text_reader reader;
    std::string folded;    ///< the asset in lower case
    asset_filter filter;
    bool can_match = false;  ///< the asset can begin a piece at all
    int count_lines = 1;
    scan_place at;
    std::size_t pos = 0;  ///< places before this offset have been looked at
    int walk = 0;         ///< pieces still to walk one by one; pos then begins a piece
    int dense = 0;        ///< places in a row close to the one before
    char before = '\n';   ///< the character just before the window (a line end at the file's start)
    std::size_t no_ctrl_z = 0;  ///< the window holds no Ctrl-Z before this offset (where looked for)
};

/// What to do with each candidate piece: returns PIECE_GO_ON to look on, or
/// any value of 0 or more, which ends the scan with it.
using piece_visitor = int (*)(const candidate_piece& c, void* context);

constexpr int PIECE_GO_ON = -1;        ///< a visitor's answer: look on
constexpr int PIECE_SCAN_END = -2;     ///< piece_scan_each: every candidate was visited
constexpr int PIECE_SCAN_FAILED = -3;  ///< piece_scan_each: reading failed (errno in s.reader.error)

/// Starts scanning `file` (open for reading at its start) for `asset`.
/// With `count_lines` 0 the candidates' line numbers are left 0, which
/// spares a count of every line end.
void piece_scan_start(piece_scanner& s, std::FILE* file, const char* asset, int count_lines);

/// Hands every piece whose first token may be the asset, in file order, to
/// `visit` (with `context`), until it answers other than PIECE_GO_ON.
/// Returns that answer, PIECE_SCAN_END after the last piece, or
/// PIECE_SCAN_FAILED when reading failed.
int piece_scan_each(piece_scanner& s, piece_visitor visit, void* context);

#endif
