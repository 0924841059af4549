// One lookup from its arguments to the exit status: read the nominal and
// the registers, search the data file for as long as the report answers
// Retry, record the result in MEM and MEM1 and write the registers back;
// and the hooks with which tallix does so for VORNAX.
#include "lookup/run.h"
#include "platform/platform.h"

#include <cstring>

namespace {

void internal_error(const char* text) {
    platform_message_box(text, "TALLIX Internal Error",
                         MB_STYLE_TASKMODAL | MB_STYLE_ICONERROR | MB_STYLE_OK);
}

int ask_operator(void*, const std::string& text, int retryable, const char* ini_path, register_set& rs) {
    return report_error(text, retryable, ini_path, rs);
}

int ask_operator_early(void*, const std::string& text, int retryable, const char* ini_path) {
    return report_before_registers(text, retryable, ini_path);
}

int read_dosdose(void*, const char* ini_path, register_set& rs) { return get_dose(ini_path, rs, 0); }

int write_dosdose(void*, const char* ini_path, const register_set& rs) { return put_dose(ini_path, rs, 0); }

// The attempts, while the report answers Retry: each opens the data file
// and searches it (again while it changes). Returns the last outcome.
int attempts(const char* const args[4], double nominal, const lookup_hooks& hooks, register_set& rs,
             search_stop& stop) {
    search_request q;
    q.data_path = args[1];
    q.asset = args[2];
    q.nominal = nominal;
    q.ini_path = args[0];
    q.report = hooks.report;
    q.report_context = hooks.context;
    q.count_lines = hooks.count_lines;
    int outcome;
    do {
        outcome = lookup_attempt(q, rs, stop);
    } while (outcome == OUTCOME_RETRY);
    return outcome;
}

}  // namespace

lookup_hooks operator_hooks() {
    lookup_hooks h;
    h.report = ask_operator;
    h.report_early = ask_operator_early;
    h.read_registers = read_dosdose;
    h.write_registers = write_dosdose;
    return h;
}

int run_lookup(const char* const args[4], int count, const lookup_hooks& hooks, lookup_result& result) {
    static const char* const missing[4] = {
        "VORNAX initialization file name required!",
        "Data file name required!",
        "Asset number required!",
        "Nominal value required!",
    };
    result = lookup_result();
    if (count < 4) {
        hooks.report_early(hooks.context, missing[count], 0, count > 0 ? args[0] : nullptr);
        return 1;
    }
    const char* const nominal_text = args[3];
    double nominal = 0;
    if (!nr3_value(nominal_text, std::strlen(nominal_text), nominal)) {
        hooks.report_early(hooks.context, invalid_number_text(nominal_text, std::strlen(nominal_text)), 1,
                           args[0]);
        return 1;
    }

    register_set rs;
    if (!hooks.read_registers(hooks.context, args[0], rs)) {
        internal_error("Function <get_dose> failed!");
        return 1;
    }
    rs.MEM1 = -1;
    result.outcome = attempts(args, nominal, hooks, rs, result.stop);
    rs.MEM1 = result.outcome == OUTCOME_FOUND ? 1 : -1;
    result.mem = rs.MEM;
    // A value that did not reach dosdose.dat was not handed over: VORNAX
    // would read the registers it wrote before the call, perhaps with an
    // earlier lookup's MEM1 = 1.
    if (!hooks.write_registers(hooks.context, args[0], rs)) {
        internal_error("Function <put_dose> failed!");
        return 1;
    }
    return rs.MEM1 > 0 ? 0 : 1;
}
