// A scratch folder for the fuzz targets that need real files, made once per
// process, in memory (/dev/shm) where the machine has it.
#ifndef TALLIX_FUZZ_SCRATCH_H
#define TALLIX_FUZZ_SCRATCH_H

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

inline const std::string& fuzz_scratch_dir() {
    static const std::string dir = [] {
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
        pattern += "/tallix-fuzz-XXXXXX";
        if (!mkdtemp(&pattern[0])) std::abort();
        return pattern;
    }();
    return dir;
}

inline void fuzz_write_file(const std::string& path, const std::string& content) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (!content.empty() && std::fwrite(content.data(), 1, content.size(), f) != content.size()) std::abort();
    std::fclose(f);
}

inline std::string fuzz_read_file(const std::string& path) {
    std::string out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

#endif
