// The profile reader and the command-line cutting over arbitrary bytes.
// The whole input is VORNAX's initialization file, read for the three keys
// TALLIX uses, and is also cut as a command line (up to its first NUL, as
// the start-up hands over a C string) against a plain model of the cutting.
#include "exchange/exchange.h"
#include "exchange/host_ini.h"
#include "fuzz/fuzz_scratch.h"
#include "lookup/run.h"
#include "platform/platform.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

int answer_ok(const char*, const char*, unsigned) { return ANSWER_OK; }

[[noreturn]] void fault(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: \"%s\"\n", what, detail.c_str());
    std::abort();
}

void check_profile(const std::string& bytes) {
    const std::string path = fuzz_scratch_dir() + "/vornax.ini";
    fuzz_write_file(path, bytes);
    for (const char* key : {"procdir", "user_cwd", "user_data_dir"}) {
        const std::string value = platform_profile_string(path.c_str(), "Startup", key);
        if (value.size() > PROFILE_VALUE_MAX) fault("profile value longer than 259 characters", value);
        if (value.find_first_of(std::string("\n\0", 2)) != std::string::npos)
            fault("profile value holds a line end or a NUL", value);
        // A UTF-16 file is converted first; any other holds its values as they are.
        const bool utf16 = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
        if (!utf16 && !value.empty() && bytes.find(value) == std::string::npos)
            fault("profile value that is not in the file", value);
    }
    // Whatever the file says, the exchange-file path is a whole C string
    // ending in dosdose.dat.
    forget_exchange_file_path();
    std::string exchange;
    if (exchange_file_path(path.c_str(), exchange)) {
        if (std::strlen(exchange.c_str()) != exchange.size()) fault("exchange path cut by a NUL", exchange);
        if (exchange.size() < 11 || exchange.compare(exchange.size() - 11, 11, "dosdose.dat") != 0)
            fault("exchange path not ending in dosdose.dat", exchange);
    }
    forget_exchange_file_path();
}

void check_cutting(const std::string& bytes) {
    const std::string line = bytes.substr(0, bytes.find('\0'));
    // Tokens, with the runs of separators before each.
    std::vector<std::string> tokens, runs;
    std::string current, run;
    for (char c : line) {
        if (c == ' ' || c == ',') {
            if (!current.empty()) {
                tokens.push_back(current);
                current.clear();
                run.clear();
            }
            run += c;
        } else {
            if (current.empty()) runs.push_back(run);
            current += c;
        }
    }
    if (!current.empty()) tokens.push_back(current);
    // The fourth token after a run with a blank, when it is a whole number,
    // takes in the tokens after it that a lone comma joins and that begin
    // with a digit: "0,5" is one nominal.
    std::vector<std::string> want(tokens.begin(), tokens.begin() + std::min<std::size_t>(tokens.size(), 4));
    if (want.size() == 4 && runs[3].find(' ') != std::string::npos) {
        const std::string& t = want[3];
        const std::size_t sign = (t[0] == '+' || t[0] == '-') ? 1 : 0;
        if (t.size() > sign && t.find_first_not_of("0123456789", sign) == std::string::npos)
            for (std::size_t k = 4; k < tokens.size() && runs[k] == "," && tokens[k][0] >= '0' && tokens[k][0] <= '9'; ++k)
                want[3] += "," + tokens[k];
    }

    std::string text = line;
    const char* args[4];
    const int n = cut_arguments(text, args);
    if (n != int(want.size())) fault("wrong argument count", line);
    for (int i = 0; i < 4; ++i) {
        if (i < n && want[size_t(i)] != args[i]) fault("wrong argument", line);
        if (i >= n && args[i] != nullptr) fault("missing argument not null", line);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform_set_message_box_handler(answer_ok);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    check_profile(bytes);
    check_cutting(bytes);
    return 0;
}
