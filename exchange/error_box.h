// The library's one way of telling a failure: a plain error box with the
// caption "Error". Private to the exchange library.
#ifndef TALLIX_EXCHANGE_ERROR_BOX_H
#define TALLIX_EXCHANGE_ERROR_BOX_H

#include <string>

/// Shows `text` with the caption "Error", task-modal, icon error, OK.
void show_library_error(const std::string& text);

/// "<before>\"<quoted>\"<after>", built in full whatever the lengths.
std::string quoted_message(const char* before, const std::string& quoted, const char* after);

#endif
