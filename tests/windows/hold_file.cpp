// tallix_hold: a test-only Windows program that holds a file open the way
// virus scanners, indexers, backup agents and editors do, so that the Wine
// suite can see what tallix.exe makes of it.
//
//     tallix_hold FILE SHARE SECONDS [AFTER]
//
// Opens FILE for reading, letting others do what SHARE says (letters r, w
// and d: read, write, delete; "-" for nothing), prints "held", keeps it
// open for SECONDS and prints "released". With AFTER, a file-name pattern,
// the SECONDS start only once a file matching AFTER exists (at most 30 s
// later): so a hold can be made to begin while tallix.exe is writing.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool exists(const char* pattern) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: tallix_hold FILE SHARE SECONDS [AFTER]\n");
        return 2;
    }
    DWORD share = 0;
    for (const char* c = argv[2]; *c; ++c) {
        if (*c == 'r') share |= FILE_SHARE_READ;
        else if (*c == 'w') share |= FILE_SHARE_WRITE;
        else if (*c == 'd') share |= FILE_SHARE_DELETE;
    }
    HANDLE h = CreateFileA(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        std::printf("cannot open: error %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    if (argc == 5) {
        for (int waited = 0; waited < 30000 && !exists(argv[4]); waited += 2) Sleep(2);
        std::printf("seen %s\n", argv[4]);
        std::fflush(stdout);
    }
    Sleep(DWORD(std::atof(argv[3]) * 1000));
    CloseHandle(h);
    std::printf("released\n");
    std::fflush(stdout);
    return 0;
}
