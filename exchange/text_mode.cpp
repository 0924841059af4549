// Text mode over binary files, the same on every platform. The reader works
// on large blocks: a Ctrl-Z is looked for once per block as it is read, and
// a piece is cut with memchr, so a line costs little more than a look at
// its characters.
#include "exchange/text_mode.h"

#include <cerrno>
#include <cstring>

void text_reader_start(text_reader& r, std::FILE* file) {
    r.file = file;
    r.pos = 0;
    r.len = 0;
    r.ended = false;
    r.error = 0;
    r.base = 0;
    r.ctrl_z = false;
    r.ctrl_z_at = 0;
    r.user_finds_ctrl_z = false;
}

int text_read_more(text_reader& r) {
    if (r.ended || r.error) return 0;
    const std::size_t tail = r.len - r.pos;
    if (tail && r.pos) std::memmove(r.buf, r.buf + r.pos, tail);
    r.base += r.pos;
    r.pos = 0;
    r.len = tail;
    errno = 0;
    std::size_t got = std::fread(r.buf + tail, 1, sizeof r.buf - tail, r.file);
    if (got == 0) {
        if (std::ferror(r.file)) r.error = errno ? errno : EIO;
        else r.ended = true;
        return 0;
    }
    r.len = tail + got;
    // Nothing after a Ctrl-Z is ever looked at: the block is cut there,
    // unless the reader's user cuts it where it finds one.
    if (r.user_finds_ctrl_z) return 1;
    if (const void* z = std::memchr(r.buf + tail, TEXT_END_OF_FILE, got))
        text_window_end_at(r, std::size_t(static_cast<const char*>(z) - r.buf));
    return 1;
}

void text_window_end_at(text_reader& r, std::size_t at) {
    r.len = at;
    r.ended = true;
    r.ctrl_z = true;
    r.ctrl_z_at = r.base + at;
}

int text_slide_window(text_reader& r, std::size_t keep_from) {
    r.pos = keep_from;
    return text_read_more(r);
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

text_read_result text_read_line(text_reader& r, std::string& line) {
    // Half a block a piece leaves room to move the rest of a line forward.
    constexpr std::size_t PIECE = sizeof r.buf / 2;
    line.clear();
    bool any = false;
    for (;;) {
        const char* data = nullptr;
        std::size_t length = 0;
        bool had_end = false;
        const text_read_result got = text_read_piece(r, PIECE, data, length, had_end);
        if (got == TEXT_FAILED) return TEXT_FAILED;
        if (got == TEXT_END) return any ? TEXT_LINE : TEXT_END;
        line.append(data, length);
        any = true;
        if (had_end) return TEXT_LINE;
    }
}

void text_end_line(std::string& out) { out += "\r\n"; }

void text_append_line(std::string& out, const std::string& text) {
    out += text;
    text_end_line(out);
}
