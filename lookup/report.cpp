// The lookup tool's one way of telling a failure: save the registers for
// VORNAX first, then ask the operator.
#include "lookup/lookup.h"
#include "platform/platform.h"

#include <cerrno>

namespace {

constexpr unsigned ERROR_OK_STYLE = MB_STYLE_TASKMODAL | MB_STYLE_ICONERROR | MB_STYLE_OK;
constexpr unsigned RETRY_CANCEL_STYLE =
    MB_STYLE_TASKMODAL | MB_STYLE_ICONEXCLAMATION | MB_STYLE_RETRYCANCEL;

// A Retry/Cancel box answers Retry or give up, nothing else: an OK that
// reaches it anyway (an Enter before the box has the focus, an automation
// tool pressing a button by its id) must never read as a value found. An OK
// box returns its button as it is.
int ask(const std::string& text, int retryable) {
    if (!retryable) return platform_message_box(text.c_str(), "TALLIX Error", ERROR_OK_STYLE);
    const int answer = platform_message_box(text.c_str(), "TALLIX Error", RETRY_CANCEL_STYLE);
    return answer == OUTCOME_RETRY ? OUTCOME_RETRY : OUTCOME_GIVE_UP;
}

}  // namespace

int report_error(const std::string& text, int retryable, const char* ini_path,
                 register_set& rs) {
    if (!put_dose(ini_path, rs, 0)) {
        platform_message_box("Function <put_dose> failed!", "TALLIX Error", ERROR_OK_STYLE);
        return OUTCOME_GIVE_UP;
    }
    return ask(text, retryable);
}

int report_before_registers(const std::string& text, int retryable, const char* ini_path) {
    if (ini_path) {
        register_set rs;
        if (get_dose(ini_path, rs, 0)) {
            rs.MEM1 = -1;
            return report_error(text, retryable, ini_path, rs);
        }
    }
    return ask(text, retryable);
}

std::string open_failure_text(const char* data_path, int error_number) {
    std::string text = "Can't open \"";
    text += data_path;
    text += "\".  ";
    switch (error_number) {
    case ENOENT: text += "No such file or directory."; break;
    case EBADF: text += "Bad file number."; break;
    case ENOMEM: text += "Not enough memory."; break;
    case EACCES: text += "Permission denied."; break;
    case EMFILE: text += "Too many files open."; break;
    default: text += "errno = " + std::to_string(error_number) + "."; break;
    }
    return text;
}

std::string invalid_number_text(const char* token, std::size_t length) {
    std::string text = "\"";
    text.append(token, length);
    text += "\" contains an invalid NR3 number.";
    return text;
}

std::string cut_cell_text(const char* token, std::size_t length, long column) {
    std::string text = "\"";
    text.append(token, length);
    text += "\" is cut at column " + std::to_string(column) + ": data lines are read in pieces of 254 characters.";
    return text;
}
