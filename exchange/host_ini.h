// VORNAX's initialization file, the steps get_dose and put_dose take before
// they touch dosdose.dat: telling that a file is VORNAX's, reading the two
// folders it names, and finding the exchange-file path from them, which is
// kept for the rest of the process. Private to the exchange library (and
// its tests); not installed.
#ifndef TALLIX_EXCHANGE_HOST_INI_H
#define TALLIX_EXCHANGE_HOST_INI_H

#include "exchange/exchange.h"

#include <string>

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

#endif
