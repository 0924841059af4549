// The --lookup mode: the very lookup tallix runs, with its failures
// recorded instead of asked, so the people who keep a data file can see
// which line a procedure's lookup takes and what the operator would be told.
#include "check/check.h"

#include "exchange/exchange.h"
#include "lookup/search.h"

#include <cstring>

namespace {

// The text of the failure the search would have shown. The search takes
// its reporter as a plain function, so the text waits here; one lookup
// runs at a time.
std::string g_reported;

// Records the text and gives up, as an operator pressing Cancel would; no
// register is written and no box is shown.
int record_report(const std::string& text, int, const char*, register_set&) {
    g_reported = text;
    return OUTCOME_GIVE_UP;
}

// The piece as read, with control characters other than tab made visible
// so that a stray CR or NUL cannot garble the report.
std::string visible(const std::string& text) {
    static const char hex[] = "0123456789abcdef";
    std::string shown;
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7f) {
            shown += "\\x";
            shown += hex[u >> 4];
            shown += hex[u & 15];
        } else {
            shown += c;
        }
    }
    return shown;
}

int tell_failure(std::string& out, const std::string& message) {
    out += "message: ";
    out += message;
    out += '\n';
    return 1;
}

}  // namespace

int explain_lookup(const char* asset, const char* nominal_text, const char* data_path,
                   std::string& out) {
    double nominal = 0;
    if (!nr3_value(nominal_text, std::strlen(nominal_text), nominal))
        return tell_failure(out, invalid_number_text(nominal_text, std::strlen(nominal_text)));

    // The attempt tallix makes, a data file that changes on the way read
    // again as tallix reads it.
    register_set rs;
    search_stop stop;
    g_reported.clear();
    const int outcome = search_data_path({data_path, nullptr, asset, nominal, nullptr, record_report}, rs, stop);

    if (stop.line > 0) {
        out += data_path;
        out += ':';
        out += std::to_string(stop.line);
        out += ": ";
        if (stop.piece > 1)
            out += "piece " + std::to_string(stop.piece) + " from column " +
                   std::to_string(piece_first_column(stop.piece)) + ": ";
        out += visible(stop.text);
        out += '\n';
    }
    if (outcome != OUTCOME_FOUND) return tell_failure(out, g_reported);
    out += "value: ";
    append_number(out, rs.MEM);
    out += '\n';
    return 0;
}
