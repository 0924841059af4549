// VORNAX's initialization file: telling that a file is VORNAX's, and
// finding the register exchange file `dosdose.dat` from it.
#include "exchange/error_box.h"
#include "exchange/exchange.h"
#include "exchange/host_ini.h"
#include "platform/platform.h"

namespace {

// Process-wide: the exchange-file path once computed, and the two directory
// values as last read. One run of TALLIX uses one thread.
std::string g_exchange_path;
std::string g_user_cwd;
std::string g_user_data_dir;

int read_directory_key(const char* ini_path, const char* key, std::string& kept, std::string& value) {
    if (!check_host_ini(ini_path)) return 0;
    kept = platform_profile_string(ini_path, "Startup", key);
    if (!kept.empty()) strip_trailing_separator(kept);
    value = kept;
    return 1;
}

}  // namespace

void show_library_error(const std::string& text) {
    platform_message_box(text.c_str(), "Error",
                         MB_STYLE_TASKMODAL | MB_STYLE_ICONERROR | MB_STYLE_OK);
}

std::string quoted_message(const char* before, const std::string& quoted, const char* after) {
    std::string s(before);
    s += '"';
    s += quoted;
    s += '"';
    s += after;
    return s;
}

int check_host_ini(const char* ini_path) {
    if (ini_path && ini_path[0] && platform_name_exists(ini_path) &&
        !platform_profile_string(ini_path, "Startup", "procdir").empty())
        return 1;
    show_library_error(quoted_message("", ini_path ? ini_path : "(null)",
                                      " is not a valid VORNAX initialization file."));
    return 0;
}

int read_user_cwd(const char* ini_path, std::string& value) {
    return read_directory_key(ini_path, "user_cwd", g_user_cwd, value);
}

int read_user_data_dir(const char* ini_path, std::string& value) {
    return read_directory_key(ini_path, "user_data_dir", g_user_data_dir, value);
}

void strip_trailing_separator(std::string& text) {
    if (!text.empty() && (text.back() == '/' || text.back() == '\\')) text.pop_back();
}

int exchange_file_path(const char* ini_path, std::string& path) {
    if (g_exchange_path.empty()) {
        std::string cwd, data_dir;
        if (!read_user_cwd(ini_path, cwd)) return 0;
        if (!read_user_data_dir(ini_path, data_dir)) return 0;
        // The path is never cut: a directory of any length is used whole.
        std::string p = !data_dir.empty() ? data_dir : cwd;
        if (!p.empty()) p += platform_path_separator();
        p += "dosdose.dat";
        g_exchange_path = p;
    }
    path = g_exchange_path;
    return 1;
}

void forget_exchange_file_path() { g_exchange_path.clear(); }
