// Uses the installed header and library: writes a number as VORNAX's
// exchange file holds it and reads it back.
#include "exchange/exchange.h"

#include <cstdio>

int main() {
    const std::string text = format_number(1e20);
    const double back = read_register_line("2.5D2");
    if (text != "1e+020" || back != 250.0) {
        std::printf("unexpected: %s %g\n", text.c_str(), back);
        return 1;
    }
    std::puts("exchange library found and working");
    return 0;
}
