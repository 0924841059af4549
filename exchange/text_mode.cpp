// Text mode over binary files, the same on every platform. VORNAX's files
// come from Windows: lines end in CR LF, and a Ctrl-Z may mark the end of
// the file. The reader works on large blocks and finds line ends with
// memchr, so a line costs little more than the copy of its characters.
#include "exchange/exchange.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr char CTRL_Z = 0x1A;

// Makes sure at least one unread character is in the buffer, keeping the
// unread tail. Returns false at end of file or on a read error.
bool fill(text_reader& r) {
    if (r.pos < r.len) return true;
    if (r.ended || r.error) return false;
    r.pos = 0;
    r.len = 0;
    errno = 0;
    std::size_t got = std::fread(r.buf, 1, sizeof r.buf, r.file);
    if (got == 0) {
        if (std::ferror(r.file)) r.error = errno ? errno : EIO;
        else r.ended = true;
        return false;
    }
    r.len = got;
    return true;
}

// Looks at the character after a CR at the end of the buffer: moves the CR
// to the front and reads more behind it. Returns the character after the
// CR, or -1 when there is none.
int peek_after_cr(text_reader& r) {
    if (r.pos + 1 < r.len) return static_cast<unsigned char>(r.buf[r.pos + 1]);
    r.buf[0] = '\r';
    r.pos = 0;
    r.len = 1;
    if (r.ended || r.error) return -1;
    errno = 0;
    std::size_t got = std::fread(r.buf + 1, 1, sizeof r.buf - 1, r.file);
    if (got == 0) {
        if (std::ferror(r.file)) r.error = errno ? errno : EIO;
        else r.ended = true;
        return -1;
    }
    r.len = 1 + got;
    return static_cast<unsigned char>(r.buf[1]);
}

}  // namespace

void text_reader_start(text_reader& r, std::FILE* file) {
    r.file = file;
    r.pos = 0;
    r.len = 0;
    r.ended = false;
    r.error = 0;
}

text_read_result text_read_line(text_reader& r, std::size_t limit, std::string& line,
                                bool& had_line_end) {
    line.clear();
    had_line_end = false;
    while (limit == 0 || line.size() < limit) {
        if (!fill(r)) break;
        const char* start = r.buf + r.pos;
        std::size_t avail = r.len - r.pos;
        if (limit != 0 && avail > limit - line.size()) avail = limit - line.size();

        // The run of ordinary characters ends at the first LF, CR or Ctrl-Z.
        std::size_t run = avail;
        if (const void* lf = std::memchr(start, '\n', run)) run = std::size_t(static_cast<const char*>(lf) - start);
        if (const void* cr = std::memchr(start, '\r', run)) run = std::size_t(static_cast<const char*>(cr) - start);
        if (const void* z = std::memchr(start, CTRL_Z, run)) run = std::size_t(static_cast<const char*>(z) - start);
        line.append(start, run);
        r.pos += run;
        if (run == avail) continue;

        const char c = r.buf[r.pos];
        if (c == '\n') {
            ++r.pos;
            had_line_end = true;
            break;
        }
        if (c == CTRL_Z) {
            r.ended = true;
            r.pos = r.len;  // nothing after a Ctrl-Z is ever read
            break;
        }
        // A CR: with an LF after it, the two are one line end.
        if (peek_after_cr(r) == '\n') {
            r.pos += 2;
            had_line_end = true;
            break;
        }
        line.push_back('\r');
        ++r.pos;
    }
    if (r.error) return TEXT_FAILED;
    if (line.empty() && !had_line_end) return TEXT_END;
    return TEXT_LINE;
}

int text_read_more(text_reader& r) {
    if (r.ended || r.error) return 0;
    const std::size_t tail = r.len - r.pos;
    if (tail && r.pos) std::memmove(r.buf, r.buf + r.pos, tail);
    r.pos = 0;
    r.len = tail;
    errno = 0;
    std::size_t got = std::fread(r.buf + tail, 1, sizeof r.buf - tail, r.file);
    if (got == 0) {
        if (std::ferror(r.file)) r.error = errno ? errno : EIO;
        else r.ended = true;
        return 0;
    }
    // Nothing after a Ctrl-Z is ever looked at: the block is cut there.
    if (const void* z = std::memchr(r.buf + tail, CTRL_Z, got)) {
        got = std::size_t(static_cast<const char*>(z) - (r.buf + tail));
        r.ended = true;
    }
    r.len = tail + got;
    return 1;
}

text_cut_result text_cut_piece(const char* p, std::size_t avail, std::size_t limit, bool at_end,
                               std::size_t& length, std::size_t& used, bool& had_line_end) {
    // A piece is at most `limit` characters, a line end counting as one;
    // the character after them tells whether a CR LF closes the piece.
    const std::size_t window = avail < limit + 1 ? avail : limit + 1;
    if (const void* lf = std::memchr(p, '\n', window)) {
        const std::size_t k = std::size_t(static_cast<const char*>(lf) - p);
        if (k > 0 && p[k - 1] == '\r' && k <= limit) {
            length = k - 1;
            had_line_end = true;
            used = k + 1;
        } else if (k < limit) {
            length = k;
            had_line_end = true;
            used = k + 1;
        } else {
            length = limit;
            had_line_end = false;
            used = limit;
        }
        return TEXT_CUT;
    }
    // Exactly `limit` characters without a line end: whatever follows, the
    // piece is those characters, unless the last is a CR that an LF may
    // join.
    if (avail > limit || (avail == limit && p[limit - 1] != '\r')) {
        length = limit;
        had_line_end = false;
        used = limit;
        return TEXT_CUT;
    }
    if (!at_end) return TEXT_CUT_NEEDS_MORE;
    if (avail == 0) return TEXT_CUT_NOTHING;
    length = avail;
    had_line_end = false;
    used = avail;
    return TEXT_CUT;
}

text_read_result text_read_piece(text_reader& r, std::size_t limit, const char*& data,
                                 std::size_t& length, bool& had_line_end) {
    for (;;) {
        data = r.buf + r.pos;
        std::size_t used = 0;
        const text_cut_result cut =
            text_cut_piece(data, r.len - r.pos, limit, r.ended, length, used, had_line_end);
        if (cut == TEXT_CUT) {
            r.pos += used;
            return TEXT_LINE;
        }
        if (cut == TEXT_CUT_NEEDS_MORE && text_read_more(r)) continue;
        if (r.error) return TEXT_FAILED;
        if (cut == TEXT_CUT_NOTHING || r.pos == r.len) return TEXT_END;
        // The end of the file came while more was wanted: cut again knowing it.
    }
}

void text_append_line(std::string& out, const std::string& text) {
    out += text;
    out += "\r\n";
}
