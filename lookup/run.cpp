// One lookup from the nominal value to the exit status: read the registers,
// search the data file for as long as the operator asks to retry, record the
// result in MEM and MEM1 and write the registers back.
#include "lookup/search.h"
#include "platform/platform.h"

#include <cstring>

namespace {

void internal_error(const char* text) {
    platform_message_box(text, "TALLIX Internal Error",
                         MB_STYLE_TASKMODAL | MB_STYLE_ICONERROR | MB_STYLE_OK);
}

// One attempt: open the data file and search it (read again while it
// changes). Returns the outcome.
int attempt(const char* ini_path, const char* data_path, const char* asset, double nominal,
            register_set& rs) {
    search_stop stop;
    return search_data_path({data_path, nullptr, asset, nominal, ini_path, report_error, 0}, rs, stop);
}

}  // namespace

int run_lookup(const char* ini_path, const char* data_path, const char* asset,
               const char* nominal_text) {
    double nominal = 0;
    if (!nr3_value(nominal_text, std::strlen(nominal_text), nominal)) {
        report_before_registers(invalid_number_text(nominal_text, std::strlen(nominal_text)), 1,
                                ini_path);
        return 1;
    }

    register_set rs;
    if (!get_dose(ini_path, rs, 0)) {
        internal_error("Function <get_dose> failed!");
        return 1;
    }
    rs.MEM1 = -1;

    int outcome;
    do {
        outcome = attempt(ini_path, data_path, asset, nominal, rs);
    } while (outcome == OUTCOME_RETRY);

    rs.MEM1 = outcome == OUTCOME_FOUND ? 1 : -1;
    // A value that did not reach dosdose.dat was not handed over: VORNAX
    // would read the registers it wrote before the call, perhaps with an
    // earlier lookup's MEM1 = 1.
    if (!put_dose(ini_path, rs, 0)) {
        internal_error("Function <put_dose> failed!");
        return 1;
    }
    return rs.MEM1 > 0 ? 0 : 1;
}
