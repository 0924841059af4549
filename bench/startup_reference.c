/* The start-up floor for one lookup: a C program that opens and reads the
 * same three files tallix reads (the initialization file, dosdose.dat and
 * the data file) and does nothing else.
 *
 *     startup_reference vornax.ini dosdose.dat refs.dat
 */
#include <stdio.h>

int main(int argc, char** argv) {
    char buf[4096];
    int i;
    for (i = 1; i < argc; ++i) {
        FILE* f = fopen(argv[i], "rb");
        if (!f) return 1;
        while (fread(buf, 1, sizeof buf, f) == sizeof buf) {
        }
        fclose(f);
    }
    return 0;
}
