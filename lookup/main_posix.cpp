// Program start on POSIX systems: the arguments arrive already split, so
// they are joined with single spaces into the one command-line text that
// TALLIX cuts itself, exactly as the Windows start-up hands it over.
#include "lookup/lookup.h"

#include <string>

int main(int argc, char** argv) {
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) command_line += ' ';
        command_line += argv[i];
    }
    return tallix_entry(command_line.c_str());
}
