// One lookup from the nominal value to the exit status: read the registers,
// search the data file for as long as the operator asks to retry, record the
// result in MEM and MEM1 and write the registers back.
#include "lookup/lookup.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstring>

namespace {

void internal_error(const char* text) {
    platform_message_box(text, "TALLIX Internal Error",
                         MB_STYLE_TASKMODAL | MB_STYLE_ICONERROR | MB_STYLE_OK);
}

// One attempt: open the data file and search it. Returns the outcome.
int attempt(const char* ini_path, const char* data_path, const char* asset, double nominal,
            register_set& rs) {
    errno = 0;
    std::FILE* file = std::fopen(data_path, "rb");
    if (!file) {
        int error_number = errno;
        return report_error(open_failure_text(data_path, error_number), 1, ini_path, rs);
    }
    int outcome = search_data_file(data_path, file, asset, nominal, ini_path, rs);
    std::fclose(file);
    return outcome;
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
