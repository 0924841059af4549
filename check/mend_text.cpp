// The text layer of the mend (mend.h): a file's bytes read as characters,
// whatever its writer saved it as (UTF-16 in either byte order, UTF-8,
// Windows-1252), cut into lines at every line end an editor writes, and
// written back as Windows-1252, the code page tallix reads.
#include "check/mend.h"

#include "check/cell_text.h"

#include <cstddef>

namespace {

// Windows-1252 at 0x80 to 0x9F; the five bytes without a character stand
// for themselves, so that every byte reads back as it was.
const char32_t HIGH_1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

unsigned char byte_at(const std::string& s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

// The line (from 1) of the character at `at` of `text`.
long line_at(const std::u32string& text, std::size_t at) {
    long line = 1;
    for (std::size_t i = 0; i < at && i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
    return line;
}

// Decodes UTF-8 from `from`: returns false at the first broken sequence,
// with its offset in `bad`.
bool decode_utf8(const std::string& s, std::size_t from, std::u32string& out, std::size_t& bad) {
    for (std::size_t i = from; i < s.size();) {
        const unsigned char b = byte_at(s, i);
        const std::size_t n = b < 0x80 ? 1 : (b >= 0xC2 && b < 0xE0) ? 2 : (b >= 0xE0 && b < 0xF0) ? 3
                            : (b >= 0xF0 && b < 0xF5) ? 4 : 0;
        if (n == 0 || i + n > s.size()) {
            bad = i;
            return false;
        }
        char32_t code = n == 1 ? b : b & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            if ((byte_at(s, i + k) & 0xC0) != 0x80) {
                bad = i;
                return false;
            }
            code = (code << 6) | (byte_at(s, i + k) & 0x3F);
        }
        const bool overlong = (n == 3 && code < 0x800) || (n == 4 && code < 0x10000);
        if (overlong || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) {
            bad = i;
            return false;
        }
        out += code;
        i += n;
    }
    return true;
}

// Decodes UTF-16 from `from` in the byte order `little`; returns false at
// a lone surrogate or an odd last byte, with the characters so far in `out`.
bool decode_utf16(const std::string& s, std::size_t from, bool little, std::u32string& out) {
    auto unit = [&](std::size_t i) -> char32_t {
        return little ? char32_t(byte_at(s, i) | byte_at(s, i + 1) << 8) : char32_t(byte_at(s, i) << 8 | byte_at(s, i + 1));
    };
    if ((s.size() - from) % 2 != 0) return false;
    for (std::size_t i = from; i < s.size(); i += 2) {
        const char32_t u = unit(i);
        if (u >= 0xDC00 && u < 0xE000) return false;
        if (u < 0xD800 || u >= 0xDC00) {
            out += u;
            continue;
        }
        if (i + 3 >= s.size() || unit(i + 2) < 0xDC00 || unit(i + 2) >= 0xE000) return false;
        out += 0x10000 + ((u - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
        i += 2;
    }
    return true;
}

// UTF-16 without a byte order mark: at the file's start, at least three in
// four characters below U+0100 (Latin text: every other byte NUL), none of
// them NUL. Returns 1 little-endian, 2 big-endian, 0 neither.
int bare_utf16(const std::string& s) {
    const std::size_t n = s.size() < 64 ? s.size() - s.size() % 2 : 64;
    if (n < 4) return 0;
    std::size_t low = 0, high = 0;
    for (std::size_t i = 0; i < n; i += 2) {
        if (byte_at(s, i) == 0 && byte_at(s, i + 1) == 0) return 0;
        low += byte_at(s, i + 1) == 0 ? 1 : 0;
        high += byte_at(s, i) == 0 ? 1 : 0;
    }
    const std::size_t units = n / 2;
    return low * 4 >= units * 3 ? 1 : high * 4 >= units * 3 ? 2 : 0;
}

}  // namespace

int decode_file(const std::string& bytes, decoded_file& file, mend_note& refusal) {
    file = decoded_file();
    const bool le_mark = bytes.size() >= 2 && byte_at(bytes, 0) == 0xFF && byte_at(bytes, 1) == 0xFE;
    const bool be_mark = bytes.size() >= 2 && byte_at(bytes, 0) == 0xFE && byte_at(bytes, 1) == 0xFF;
    const int bare = le_mark || be_mark ? 0 : bare_utf16(bytes);
    if (le_mark || be_mark || bare) {
        const bool little = le_mark || bare == 1;
        file.encoding = little ? MEND_UTF16LE : MEND_UTF16BE;
        file.byte_order_mark = le_mark || be_mark;
        if (decode_utf16(bytes, file.byte_order_mark ? 2 : 0, little, file.text)) return 1;
        refusal.line = line_at(file.text, file.text.size());
        refusal.text = "the UTF-16 text is broken here (a lone surrogate or an odd byte at the end): "
                       "save the file again";
        return 0;
    }
    const bool utf8_mark = bytes.size() >= 3 && byte_at(bytes, 0) == 0xEF && byte_at(bytes, 1) == 0xBB &&
                           byte_at(bytes, 2) == 0xBF;
    std::u32string utf8;
    std::size_t bad = 0;
    const bool valid = decode_utf8(bytes, utf8_mark ? 3 : 0, utf8, bad);
    if (utf8_mark && !valid) {
        decode_utf8(bytes.substr(0, bad), 3, file.text, bad);
        refusal.line = line_at(file.text, file.text.size());
        refusal.text = "the file begins with a UTF-8 byte order mark, but this line is no UTF-8 text: "
                       "save the file again with one encoding";
        return 0;
    }
    if (utf8_mark || (valid && utf8.size() != bytes.size())) {
        file.encoding = MEND_UTF8;
        file.byte_order_mark = utf8_mark;
        file.text = std::move(utf8);
        return 1;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char b = byte_at(bytes, i);
        file.text += (b >= 0x80 && b < 0xA0) ? HIGH_1252[b - 0x80] : char32_t(b);
    }
    return 1;
}

int to_windows_1252(const std::u32string& text, std::string& out, char32_t& missing) {
    for (char32_t c : text) {
        if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
            out += char(c);
            continue;
        }
        int byte = -1;
        for (int k = 0; k < 32 && byte < 0; ++k)
            if (HIGH_1252[k] == c) byte = 0x80 + k;
        if (byte < 0) {
            missing = c;
            return 0;
        }
        out += char(byte);
    }
    return 1;
}

std::string shown_text(const std::u32string& text) {
    std::string out;
    for (char32_t c : text) {
        char32_t missing = 0;
        if (!to_windows_1252(std::u32string(1, c), out, missing)) out += "<" + code_point(missing) + ">";
    }
    return out;
}

std::vector<text_line> split_lines(const std::u32string& text) {
    std::vector<text_line> lines;
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        text_line line;
        line.text = text.substr(from, i - from);
        line.number = long(lines.size()) + 1;
        line.lf_alone = text[i] == '\n';
        line.ended_by = text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n') ? U'\r' : U'\n';
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        lines.push_back(std::move(line));
        from = i + 1;
    }
    if (from < text.size()) {
        text_line line;
        line.text = text.substr(from);
        line.number = long(lines.size()) + 1;
        lines.push_back(std::move(line));
    }
    return lines;
}
