// A file that fails to be read cannot be made on Windows (its C runtime has
// no cookie streams): one that never fails is a temporary file with the
// contents, and tests of read errors are skipped there.
#include "test_support.h"

#include <cstdio>

bool can_fail_reads() { return false; }

std::FILE* open_failing_source(failing_source& s) {
    if (s.fail_at < s.content.size()) return nullptr;
    std::FILE* f = std::tmpfile();
    if (!f) return nullptr;
    std::fwrite(s.content.data(), 1, s.content.size(), f);
    std::rewind(f);
    return f;
}
