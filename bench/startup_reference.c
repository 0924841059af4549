/* The start-up floor for one lookup: a C program that opens and reads the
 * same three files tallix reads (the initialization file, dosdose.dat and
 * the data file) and does nothing else.
 *
 *     startup_reference vornax.ini dosdose.dat refs.dat
 *     startup_reference --replace vornax.ini dosdose.dat refs.dat
 *
 * With --replace it also writes dosdose.dat back the way tallix does: a new
 * file beside it, flushed to the disk, renamed over the old one, and the
 * folder flushed. That part costs what the disk's flush costs.
 */
#define _POSIX_C_SOURCE 200809L
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static char dose[64 * 1024];
static size_t dose_length;

static int replace(const char* path) {
    char temp[4096];
    FILE* f;
    int dir;
    if (strlen(path) + 8 >= sizeof temp) return 0;
    strcpy(temp, path);
    strcat(temp, ".new");
    f = fopen(temp, "wb");
    if (!f) return 0;
    fwrite(dose, 1, dose_length, f);
    if (fflush(f) != 0 || fsync(fileno(f)) != 0) {
        fclose(f);
        return 0;
    }
    fclose(f);
    if (rename(temp, path) != 0) return 0;
    dir = open(".", O_RDONLY);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return 1;
}

int main(int argc, char** argv) {
    char buf[4096];
    int i, first = 1, write_back = 0;
    if (argc > 1 && strcmp(argv[1], "--replace") == 0) {
        write_back = 1;
        first = 2;
    }
    for (i = first; i < argc; ++i) {
        FILE* f = fopen(argv[i], "rb");
        size_t got;
        if (!f) return 1;
        while ((got = fread(buf, 1, sizeof buf, f)) > 0)
            if (i == first + 1 && dose_length + got <= sizeof dose) {
                memcpy(dose + dose_length, buf, got);
                dose_length += got;
            }
        fclose(f);
    }
    if (write_back && argc - first >= 2 && !replace(argv[first + 1])) return 1;
    return 0;
}
