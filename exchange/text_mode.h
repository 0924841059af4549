// Text mode over binary files, the same on every platform: how every file
// TALLIX reads (dosdose.dat, data files, the checker's input) is cut into
// lines. VORNAX's files come from Windows: CR LF is one line end, a CR not
// followed by LF stays in the line, and a Ctrl-Z (0x1A) ends the file. The
// file is read in large blocks; memory use is constant.
//
// Used by the exchange library and the lookup tool; not part of the
// library's installed interface.
#ifndef TALLIX_EXCHANGE_TEXT_MODE_H
#define TALLIX_EXCHANGE_TEXT_MODE_H

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

/// The character that ends a file in text mode: nothing after it is read.
constexpr char TEXT_END_OF_FILE = 0x1A;

/// How much of a file is read at a time. Each read is a system call whose
/// cost does not grow with its size, while the bytes it brings are looked at
/// right after, still in the processor's cache: 256 KiB keeps a lookup in a
/// large file near the time it takes to read the file at all (bench/README.md).
constexpr std::size_t TEXT_BLOCK = 256 * 1024;

/// A file being read in text mode.
struct text_reader {
    std::FILE* file = nullptr;
    std::size_t pos = 0;
    std::size_t len = 0;
    bool ended = false;   ///< end of file or Ctrl-Z reached
    int error = 0;        ///< errno of a failed read, 0 when none
    unsigned long long base = 0;   ///< offset in the file of buf[0]
    bool ctrl_z = false;           ///< the file was ended by a Ctrl-Z ...
    unsigned long long ctrl_z_at = 0;  ///< ... at this offset in the file
    /// The reader's user finds a Ctrl-Z itself as it passes over the window
    /// and ends the window there (text_window_end_at), so that each block
    /// is looked at once; otherwise every block is cut at a Ctrl-Z as it
    /// is read.
    bool user_finds_ctrl_z = false;
    char buf[TEXT_BLOCK];
};

enum text_read_result { TEXT_END = 0, TEXT_LINE = 1, TEXT_FAILED = 2 };

/// A reader on the heap, its buffer left as it is: value-initializing it
/// (std::make_unique) would write the whole buffer, at every start, before
/// a small file uses a page of it.
inline std::unique_ptr<text_reader> new_text_reader() { return std::unique_ptr<text_reader>(new text_reader); }

/// Starts reading `file` from its current position (taken as offset 0).
void text_reader_start(text_reader& r, std::FILE* file);

/// Reads the next piece of a line without copying it: at most `limit`
/// characters, the line end counting as one, so a longer line comes back
/// in pieces of `limit` characters. `data` points into the reader's buffer
/// at the piece's `length` characters (without the line end) and stays
/// valid until the next read from `r`; `had_line_end` tells whether the
/// line end was taken. `limit` must be at least 1 and below the buffer's
/// size. Returns TEXT_LINE, TEXT_END when nothing is left, or TEXT_FAILED
/// on a read error (`r.error` holds its errno).
text_read_result text_read_piece(text_reader& r, std::size_t limit, const char*& data,
                                 std::size_t& length, bool& had_line_end);

/// Reads the next whole line into `line`, however long, without its line
/// end: the pieces of text_read_piece joined.
text_read_result text_read_line(text_reader& r, std::string& line);

/// Moves the unread characters (from `r.pos` on) to the front of the buffer
/// and reads more behind them. A Ctrl-Z among the new characters ends the
/// file there: the block is cut at it. Returns 1 when new characters came,
/// 0 at the end of the file, after a Ctrl-Z, or on a read error (`r.error`).
int text_read_more(text_reader& r);

/// The window of a reader that cuts pieces itself (the data-file search):
/// the characters read and not yet given up, which it may look at as it
/// likes, and whether the file ends after them.
inline const char* text_window(const text_reader& r) { return r.buf; }
inline std::size_t text_window_size(const text_reader& r) { return r.len; }
inline bool text_window_is_last(const text_reader& r) { return r.ended; }

/// Gives up the window's first `keep_from` characters and reads more behind
/// the rest, which then begins the window. Returns as text_read_more.
int text_slide_window(text_reader& r, std::size_t keep_from);

/// For a reader whose user finds a Ctrl-Z itself: the window's character
/// at `at` is a Ctrl-Z, so the file ends there. Nothing from there on is in
/// the window any more, and nothing more is read.
void text_window_end_at(text_reader& r, std::size_t at);

enum text_cut_result { TEXT_CUT_NOTHING = 0, TEXT_CUT = 1, TEXT_CUT_NEEDS_MORE = 2 };

/// Cuts the piece that starts at `p`, with `avail` characters known there,
/// as text_read_piece reads it: sets `length` (its characters, without the
/// line end), `used` (the characters it takes, line end included) and
/// `had_line_end`, and returns TEXT_CUT. Returns TEXT_CUT_NEEDS_MORE when
/// the characters after `avail` could change the piece and `at_end` does
/// not say that none come, TEXT_CUT_NOTHING when nothing is left at the end.
text_cut_result text_cut_piece(const char* p, std::size_t avail, std::size_t limit, bool at_end,
                               std::size_t& length, std::size_t& used, bool& had_line_end);

/// Appends a line end as text mode writes it: CR LF.
void text_end_line(std::string& out);

/// Appends `text` and a line end, as text mode writes a line.
void text_append_line(std::string& out, const std::string& text);

#endif
