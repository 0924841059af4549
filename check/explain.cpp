// The --lookup mode: the very lookup tallix runs, with its failures
// recorded instead of asked, so the people who keep a data file can see
// which line a procedure's lookup takes and what the operator would be told.
#include "check/check.h"

#include "exchange/exchange.h"
#include "lookup/run.h"

#include <cstring>

namespace {

// The hooks of a lookup that writes no registers and shows no box: the text
// of a failure is recorded in the context (a std::string) and the run gives
// up, as an operator pressing Cancel would.
int record(void* context, const std::string& text, int, const char*, register_set&) {
    *static_cast<std::string*>(context) = text;
    return OUTCOME_GIVE_UP;
}

int record_early(void* context, const std::string& text, int, const char*) {
    *static_cast<std::string*>(context) = text;
    return OUTCOME_GIVE_UP;
}

// The registers start as a fresh record and go nowhere.
int fresh_registers(void*, const char*, register_set& rs) {
    rs = register_set();
    return 1;
}

int keep_registers(void*, const char*, const register_set&) { return 1; }

lookup_hooks recording_hooks(std::string& told) {
    lookup_hooks h;
    h.context = &told;
    h.report = record;
    h.report_early = record_early;
    h.read_registers = fresh_registers;
    h.write_registers = keep_registers;
    h.count_lines = 1;
    return h;
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

// Where tallix's own command-line cut gives other arguments than the two
// given (a comma or space inside one, one left empty), one line says what
// tallix reads instead, so nobody takes the two for the same lookup.
// `args` point into `text`, the cut copy of `given` after `skip` characters
// that stand for the two arguments before them.
void tell_cut(const std::string& given, const std::string& text, std::size_t skip, const char* asset,
              const char* nominal, const char* const args[2], int count, std::string& out) {
    if (count == 2 && std::strcmp(args[0], asset) == 0 && std::strcmp(args[1], nominal) == 0) return;
    out += "cut: tallix reads \"" + given + "\" as ";
    if (count == 0) {
        out += "no asset and no nominal\n";
        return;
    }
    out += "asset \"" + std::string(args[0]) + "\" and ";
    if (count == 1) {
        out += "no nominal\n";
        return;
    }
    out += "nominal \"" + std::string(args[1]) + "\"";
    const std::size_t end = std::size_t(args[1] - text.c_str()) - skip + std::strlen(args[1]);
    const std::size_t rest = given.find_first_not_of(" ,", end);
    if (rest != std::string::npos) out += "; \"" + given.substr(rest) + "\" is ignored";
    out += '\n';
}

}  // namespace

int explain_lookup(const char* asset_given, const char* nominal_given, const char* data_path,
                   std::string& out) {
    // tallix gets asset and nominal on one command line after the
    // initialization file and the data file, and cuts it at every run of
    // spaces and commas (a nominal with a decimal comma after a blank kept
    // whole): the same cut, after two stand-ins, so both read the same.
    const std::string before = "- - ";
    const std::string given = std::string(asset_given) + " " + nominal_given;
    std::string text = before + given;
    const char* cut[4];
    const int count = cut_arguments(text, cut) - 2;
    const char* const args[2] = {cut[2], cut[3]};
    tell_cut(given, text, before.size(), asset_given, nominal_given, args, count, out);

    // The lookup tallix runs, on the data file given and what tallix reads
    // of asset and nominal; there is no initialization file.
    const char* const run_args[4] = {nullptr, data_path, args[0], args[1]};
    std::string told;
    lookup_result result;
    const int status = run_lookup(run_args, 2 + count, recording_hooks(told), result);

    const search_stop& stop = result.stop;
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
    if (status != 0) return tell_failure(out, told);
    out += "value: ";
    append_number(out, result.mem);
    out += '\n';
    return 0;
}
