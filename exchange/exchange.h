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
// It also owns the number syntax every TALLIX reader accepts and the
// "%.12g" format every writer and message uses, for other VORNAX helpers
// too. Neither depends on the C runtime's strtod/printf, so all platforms
// read and write exactly the same bytes. (Text mode, in which every TALLIX
// file is read, is the library's own: text_mode.h.)
//
// Each failure is told to the operator in a message box (caption "Error")
// before the operation returns 0. The library keeps one process-wide value:
// the exchange-file path, computed on its first successful use. (How it is
// found from the initialization file is the library's own: host_ini.h.)
#ifndef TALLIX_EXCHANGE_H
#define TALLIX_EXCHANGE_H

#include <cstddef>
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
/// other programs hold the file or the folder refuses new files; it writes
/// the registers with MEM1 = -1 first, so a failed one never leaves MEM1
/// = 1 beside this call's MEM). Returns 1 on success; 0 after showing the
/// reason: "Cannot open ... for writing." when nothing was written,
/// "Cannot write ..." when the write failed on the way.
int put_dose(const char* ini_path, const register_set& rs, int extended);

/// Forgets the exchange-file path kept since the first successful get_dose
/// or put_dose, so that the next call finds it again from its
/// initialization file. For programs that serve several initialization
/// files, and tests.
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

#endif
