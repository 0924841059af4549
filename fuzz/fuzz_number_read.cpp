// The number reader against the independent model: a text is accepted to
// exactly the length the model accepts, and the value is the correctly
// rounded one, for the strtod and the atof reader alike.
#include "exchange/exchange.h"
#include "fuzz/number_model.h"
#include "lookup/search.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void mismatch(const char* what, const uint8_t* data, size_t size, double got,
                           double want) {
    std::fprintf(stderr, "number reader %s: got %.17g, model %.17g for \"%.*s\"\n", what, got,
                 want, int(size > 200 ? 200 : size), reinterpret_cast<const char*>(data));
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const model::number want = model::read(text, size);

    double got = 0;
    size_t length = scan_number(text, size, got, NUMBER_STRTOD);
    if (length != want.length) mismatch("length", data, size, double(length), double(want.length));
    if (!model::same_bits(got, want.strtod_value)) mismatch("strtod value", data, size, got, want.strtod_value);

    length = scan_number(text, size, got, NUMBER_ATOF);
    if (length != want.length) mismatch("atof length", data, size, double(length), double(want.length));
    if (!model::same_bits(got, want.atof_value)) mismatch("atof value", data, size, got, want.atof_value);

    // A token is a number only when the number runs to its end.
    double whole = 0;
    const int is_number = nr3_value(text, size, whole);
    if (is_number != (size > 0 && want.length == size ? 1 : 0))
        mismatch("whole token", data, size, is_number, want.length == size);
    return 0;
}
