// What stands in on POSIX systems for what Windows itself gives TALLIX: its
// profile-file reader (GetPrivateProfileStringA) and its message box. Each
// is written once over plain text and standard streams, so that the native
// build reads VORNAX's initialization file and asks the operator as
// tallix.exe does. Private to the platform library; platform_posix.cpp
// hands its verbs to these.
#ifndef TALLIX_PLATFORM_POSIX_STAND_INS_H
#define TALLIX_PLATFORM_POSIX_STAND_INS_H

#include <string>

/// An ASCII letter in lower case; any other character as it is. Windows
/// compares profile names and box answers this way, whatever the locale.
inline char lower_ascii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

/// The value of `key` in `section` of a profile file whose bytes are
/// `bytes`, read by the Windows reader's rules: a UTF-16LE file with its
/// mark is converted to the ANSI code page, lines end at LF, CR LF or a CR
/// alone, blanks and Ctrl-Z are trimmed, `;` begins a comment, only the
/// first section of the name counts and within it the first key, names and
/// values end at a NUL, matching quotes around a value are removed, and a
/// value is cut to PROFILE_VALUE_MAX characters. Empty when the key is not
/// there.
std::string profile_value(const std::string& bytes, const char* section, const char* key);

/// A message box on the terminal: the caption and text on standard error,
/// then the buttons; the answer is a line of standard input (a word, or a
/// Windows button id as an automation tool sends it). Returns the button,
/// or ANSWER_NONE at the end of input.
int terminal_message_box(const char* text, const char* caption, unsigned style);

#endif
