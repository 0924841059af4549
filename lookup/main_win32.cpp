// Program start on Windows: a GUI-subsystem program without a window of its
// own. The C runtime hands over the command-line text after the program's
// name, exactly as VORNAX wrote it; TALLIX cuts it itself, and its result
// becomes the process exit status.
#include "lookup/lookup.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
    return tallix_entry(command_line);
}
