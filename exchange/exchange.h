// The register exchange library: the program's side of VORNAX's register
// exchange file `dosdose.dat`.
//
// VORNAX hands the registers of a running procedure to a helper program in
// `dosdose.dat` and reads them back when the helper ends. This library checks
// that the initialization file named on the command line is VORNAX's, finds
// `dosdose.dat` from it, reads every register into a `register_set`
// (`get_dose`) and writes one back (`put_dose`) so that the file is always
// either the old one or the complete new one.
//
// It also owns the number syntax every TALLIX reader accepts, the "%.12g"
// format every writer and message uses, and the text mode in which every
// TALLIX file is read and written. None of these depend on the C runtime's
// strtod/printf, so all platforms read and write exactly the same bytes.
//
// Each failure is told to the operator in a message box (caption "Error")
// before the operation returns 0. The library keeps one process-wide value:
// the exchange-file path, computed on its first successful use.
#ifndef TALLIX_EXCHANGE_H
#define TALLIX_EXCHANGE_H

#include <cstddef>
#include <cstdio>
#include <string>

// ---------------------------------------------------------------- registers

/// Numbered registers exchanged in the standard and the extended exchange.
constexpr int REGISTERS_STANDARD = 20;
constexpr int REGISTERS_EXTENDED = 255;

/// Result kinds of the optional result section.
constexpr int RESULT_NONE = -1;
constexpr int RESULT_PASS = 1;
constexpr int RESULT_FAIL = 2;
constexpr int RESULT_NUMBER = 3;

/// VORNAX's registers, as one plain record owned by the caller.
struct register_set {
    double MEM = 0;          ///< register MEM
    double MEM1 = 0;         ///< register MEM1 (TALLIX: +1 found, -1 not)
    std::string MEM2;        ///< register MEM2, one line of free text
    double M[REGISTERS_EXTENDED] = {};  ///< M[0] is register M 1, M[254] is M 255
    std::string result_text;  ///< optional result: a text line (71 characters fit VORNAX)
    double result_value = 0;  ///< optional result: a number
    int result_kind = RESULT_NONE;  ///< RESULT_NONE, _PASS, _FAIL, _NUMBER, other: text only
};

/// Reads the registers from the exchange file into `rs`: 20 numbered
/// registers, or 255 when `extended` is non-zero. Returns 1 on success, with
/// `result_text` empty and `result_kind` RESULT_NONE. Returns 0 after showing
/// the reason; the registers before the missing line then hold the file's
/// values.
int get_dose(const char* ini_path, register_set& rs, int extended);

/// Replaces the exchange file by the contents of `rs`. The new file is
/// written beside the old one and put in its place only once every byte is
/// on the disk, so VORNAX finds either the old file or the complete new one
/// (platform_write_file tells the last resort, an in-place write, when
/// other programs hold the file). Returns 1 on success; 0 after showing the
/// reason: "Cannot open ... for writing." when nothing was written,
/// "Cannot write ..." when the write failed on the way.
int put_dose(const char* ini_path, const register_set& rs, int extended);

// ------------------------------------------- the initialization file, paths

/// Returns 1 when `ini_path` is VORNAX's initialization file: present, not
/// empty, an existing name (a directory counts) and with a non-empty
/// Startup/procdir. Otherwise shows "\"%s\" is not a valid VORNAX
/// initialization file." (an absent path printed as "(null)") and returns 0.
int check_host_ini(const char* ini_path);

/// Validates the file again and reads Startup/user_cwd into `value`, with
/// one final separator stripped. Returns 0 (after the message) when the file
/// is not valid.
int read_user_cwd(const char* ini_path, std::string& value);

/// As read_user_cwd, for Startup/user_data_dir.
int read_user_data_dir(const char* ini_path, std::string& value);

/// Removes one final slash or backslash from a non-empty `text`.
void strip_trailing_separator(std::string& text);

/// Stores the exchange-file path in `path`: computed from the initialization
/// file on the first success (user_data_dir, else user_cwd, else the current
/// directory, then "dosdose.dat") and kept for the rest of the process.
/// Returns 0 (after the message) when the file is not valid; the next call
/// then tries again.
int exchange_file_path(const char* ini_path, std::string& path);

/// Forgets the kept exchange-file path, so that the next call computes it
/// again. For programs that serve several initialization files, and tests.
void forget_exchange_file_path();

// ------------------------------------------------------------------ numbers

/// Which C library reader a number conversion stands for. They differ only
/// below the smallest normal double: `strtod` (arguments, data files) gives
/// +0, `atof` (the exchange file) keeps the denormal value.
enum number_reader { NUMBER_STRTOD, NUMBER_ATOF };

/// Reads the number at the start of `text` (at most `length` characters):
/// optional white space (space, tab to CR), an optional sign, digits with at
/// most one full stop and at least one digit, an optional exponent (e, E, d
/// or D, optional sign, digits). The value is correctly rounded; too large
/// reads as infinity of its sign. Returns how many characters the number
/// took, 0 when the text does not start with a number (`value` is then 0).
std::size_t scan_number(const char* text, std::size_t length, double& value,
                        number_reader reader);

/// Reads an exchange-file number line as VORNAX's runtime does: the number
/// at its start, 0 when there is none, and 1.#INF, +1.#INF, -1.#INF (as
/// written by append_number) as infinities.
double read_register_line(const std::string& line);

/// Appends `value` as "%.12g" writes it on VORNAX's runtime: 12 significant
/// digits rounded half-up on the exact decimal value, trailing zeros
/// removed, exponent form below 1e-4 and from 1e12 with a sign and at least
/// three digits (1e+020), zero (also -0) as 0, infinities as 1.#INF and
/// -1.#INF.
void append_number(std::string& out, double value);

/// append_number into a fresh string.
std::string format_number(double value);

// ---------------------------------------------------------------- text mode

/// Reading a file in text mode, the same on every platform: CR LF is one
/// line end, a CR not followed by LF stays in the line, and Ctrl-Z (0x1A)
/// ends the file. The file is read in large blocks; memory use is constant.
struct text_reader {
    std::FILE* file = nullptr;
    std::size_t pos = 0;
    std::size_t len = 0;
    bool ended = false;   ///< end of file or Ctrl-Z reached
    int error = 0;        ///< errno of a failed read, 0 when none
    char buf[64 * 1024];
};

enum text_read_result { TEXT_END = 0, TEXT_LINE = 1, TEXT_FAILED = 2 };

/// Starts reading `file` from its current position.
void text_reader_start(text_reader& r, std::FILE* file);

/// Reads the next line into `line`, without its line end. With a non-zero
/// `limit` at most `limit` characters are taken, the line end counting as
/// one, so a longer line comes back in pieces of `limit` characters, each
/// one line. `had_line_end` tells whether the line end was taken.
/// Returns TEXT_LINE, TEXT_END when nothing is left, or TEXT_FAILED on a
/// read error (`r.error` holds its errno).
text_read_result text_read_line(text_reader& r, std::size_t limit, std::string& line,
                                bool& had_line_end);

/// Reads the next line exactly as text_read_line does with the same `limit`,
/// without copying it: `data` points into the reader's buffer at the
/// line's `length` characters and stays valid until the next read from `r`.
/// `limit` must be at least 1 and below the buffer's size. A Ctrl-Z is
/// looked for once per block as the block is read, so a reader is read
/// with text_read_piece or with text_read_line, not with both.
text_read_result text_read_piece(text_reader& r, std::size_t limit, const char*& data,
                                 std::size_t& length, bool& had_line_end);

/// Moves the unread characters (from `r.pos` on) to the front of the buffer
/// and reads more behind them. A Ctrl-Z among the new characters ends the
/// file there: the block is cut at it. Returns 1 when new characters came,
/// 0 at the end of the file, after a Ctrl-Z, or on a read error (`r.error`).
int text_read_more(text_reader& r);

enum text_cut_result { TEXT_CUT_NOTHING = 0, TEXT_CUT = 1, TEXT_CUT_NEEDS_MORE = 2 };

/// Cuts the piece that starts at `p`, with `avail` characters known there,
/// exactly as text_read_piece reads it: sets `length` (its characters,
/// without the line end), `used` (the characters it takes, line end
/// included) and `had_line_end`, and returns TEXT_CUT. Returns
/// TEXT_CUT_NEEDS_MORE when the characters after `avail` could change the
/// piece and `at_end` does not say that none come, TEXT_CUT_NOTHING when
/// nothing is left at the end.
text_cut_result text_cut_piece(const char* p, std::size_t avail, std::size_t limit, bool at_end,
                               std::size_t& length, std::size_t& used, bool& had_line_end);

/// Appends `text` and a CR LF line end, as text mode writes a line.
void text_append_line(std::string& out, const std::string& text);

#endif
