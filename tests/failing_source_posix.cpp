// A file that fails to be read, on POSIX systems: a stdio cookie stream.
#include "test_support.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

bool can_fail_reads() { return true; }

namespace {

ssize_t failing_read(void* cookie, char* buf, std::size_t size) {
    auto* s = static_cast<failing_source*>(cookie);
    if (s->pos >= s->fail_at) {
        errno = EIO;
        return -1;
    }
    const std::size_t n = std::min(size, std::min(s->fail_at, s->content.size()) - s->pos);
    std::memcpy(buf, s->content.data() + s->pos, n);
    s->pos += n;
    return ssize_t(n);
}

}  // namespace

std::FILE* open_failing_source(failing_source& s) {
    cookie_io_functions_t io = {failing_read, nullptr, nullptr, nullptr};
    return fopencookie(&s, "r", io);
}
