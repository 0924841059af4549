// The record of one data file's check as its pieces are read: where each
// line was met, the lines of each asset as its lookups meet them, the
// physical line being read with the findings that wait for its end, and
// the runs of CRs and UTF-16 lines not yet told. Shared by the walk of the
// file (diagnose.cpp), the checks of one line (line_checks.cpp) and the
// findings about physical lines (physical_lines.cpp); private to them.
#ifndef TALLIX_CHECK_FILE_CHECK_H
#define TALLIX_CHECK_FILE_CHECK_H

#include "check/check.h"
#include "check/reach.h"
#include "check/shapes.h"

#include <cstddef>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

// Where a line of the file was met: its physical line and its piece.
struct place {
    long line = 0;
    long piece = 0;
};

// The value cell of a line as a lookup meets it.
struct line_value {
    bool present = false;
    bool cut = false;     // cut by the end of its piece: no number
    bool number = false;  // a number to its end
    double value = 0;
    std::string text;
};

// The first line of one exact nominal of an asset.
struct nominal_line {
    place at;
    long order = 0;  // pieces in file order, for the earliest of several matches
    std::string token;
    double nominal = 0;
    line_value value;
};

struct asset_lines {
    std::map<double, nominal_line> by_nominal;  // lines with a number, first of each nominal
    taken_ranges taken;                         // sought nominals those lines take
    bool has_number = false;                    // the +infinity lookup's line ...
    nominal_line first_number;                  // ... is the first with a number
    long blocked_at = 0;  // first line whose nominal stops every lookup; 0: none
    place blocked;
    std::string blocked_why;  // "nominal "ten" is not a number"
};

// A further piece of a long line, as the long-line warning describes it.
struct further_piece {
    long piece = 0;
    std::string asset;  // empty: not read as a line for any asset
};

// How a piece meets its neighbours in a line longer than a piece.
struct piece_edges {
    bool begins_inside = false;  // its first token is the rest of one the piece before cut
    std::string cut_first;       // ... that whole token
    bool runs_on = false;        // its last token goes on in the next piece
    std::string cut_last;        // ... that whole token
    bool rest_of_cell = false;   // the token it begins inside is the nominal or value before
};

struct file_check {
    const char* path = nullptr;
    std::string* out = nullptr;
    std::size_t out_start = 0;  // where this file's findings begin in *out
    check_totals counts;
    std::map<std::string, asset_lines> assets;
    std::set<std::string> meant;  // assets of lines that are not header rows or comments
    long order = 0;
    // The physical line being read: its findings wait until the line is
    // complete, so that the long-line warning comes first.
    long line = 0;
    std::size_t line_length = 0;
    std::vector<further_piece> further;
    std::string findings;
    std::string carry;    // the token that runs from the pieces before into this one ...
    bool carry_is_cell = false;  // ... the nominal or value of the piece before
    bool further_text = false;   // a further piece of the line holds more than blanks
    // CRs without an LF in the line: text mode keeps them in the line.
    long crs_waiting = 0;       // not yet followed by text
    long first_waiting = 0;     // column of the first of those
    long crs_joining = 0;       // followed by text: they join what looks like two lines
    long first_joining = 0;     // column of the first of those
    file_survey survey;
    bool seen_text = false;   // a line with a cell has been read
    bool any_line = false;    // a piece with an asset and a nominal that is a number
    bool quiet_line = false;  // the line is lost to its writer's asset: one finding says why ...
    bool quiet_errors = false;  // ... but a lookup of an asset others write for stops there
    // Lines in UTF-16, which say nothing to a lookup.
    bool utf16_line = false;  // the line being read
    long utf16_first = 0, utf16_last = 0;  // the run of such lines not yet told
    long utf16_tail = 0;  // the line after them, begun by the NUL of their last line end
    bool utf16_told = false;
    bool read_text = false;  // a line with a cell that is not UTF-16
};

// ------------------------------------------------ the findings (diagnose.cpp)

/// Appends the finding "<path>:<line>: error: <text>" (or "warning:"; no
/// line when `line` is 0) to `to` and counts it.
void add_finding(file_check& fc, std::string& to, long line, bool error, const std::string& text);

/// A finding about the line being read, at `at`: it waits in fc.findings
/// until the line is complete, and says which piece it is in. Told only
/// when the line is not lost to its writer's asset (or, for an error, when
/// a lookup of an asset others write for stops there).
void finding(file_check& fc, const place& at, bool error, std::string text);

// ------------------------------------------- one line (line_checks.cpp)

/// Judges the piece `text` (as read, without its line end) at `at`, whose
/// meeting with the pieces around it is `e`: its shape, its nominal and
/// value, and the lookups that reach it. Records the line for the lines of
/// its asset after it.
void check_piece(file_check& fc, const place& at, const std::string& text, const piece_edges& e);

// --------------------------------------- physical lines (physical_lines.cpp)

/// Tells of a NUL at `said` (the length the piece says) when text was
/// meant after it.
void check_nul(file_check& fc, const place& at, const std::string& text, std::size_t said);

/// Notes the CRs without an LF in the piece's `length` said characters,
/// and which of them text follows, for the line's finding.
void note_lone_crs(file_check& fc, const place& at, const char* text, std::size_t length);

/// Ends the physical line being read: tells a line longer than a piece and
/// lone CRs that join lines, then the line's waiting findings.
void finish_line(file_check& fc);

/// Returns true for a line of UTF-16 text read one byte a character: every
/// other byte a NUL, so that it says at most the one character before its
/// first NUL and is no line for any asset.
bool utf16_bytes(const std::string& text);

/// Returns true for a piece of a UTF-16 line (`utf16_line`) that says
/// nothing either: its first piece, or one of UTF-16 bytes.
bool utf16_piece(bool utf16_line, long piece, const std::string& text);

/// Returns true when the piece `text` at `at` is left unjudged as part of
/// a run of UTF-16 lines (the line is UTF-16 text, or begins with the
/// second byte of the last one's line end); at a piece that says
/// something, the run ends and is told.
bool in_utf16_run(file_check& fc, const place& at, const std::string& text);

/// Tells of a run of UTF-16 lines, once it has ended: at the end of the
/// file (`at_end`) with no other text, the whole file, first of its
/// findings; else the lines lost while the others are read.
void tell_utf16(file_check& fc, bool at_end);

/// Tells of the Ctrl-Z at byte `offset` of `file` that ended the reading,
/// when text follows it: its line and column and the bytes never read.
/// Returns 1, or 0 when reading failed (its errno in `error_number`).
int tell_ctrl_z(file_check& fc, std::FILE* file, unsigned long long offset, int& error_number);

#endif
