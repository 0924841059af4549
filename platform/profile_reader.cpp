// The profile-file reader that stands in for GetPrivateProfileStringA on
// POSIX systems: the Windows rules TALLIX relies on, over a file's bytes,
// with the Windows-1252 code page for a UTF-16 file.
#include "platform/platform.h"
#include "platform/posix_stand_ins.h"

#include <cstring>

namespace {

bool equal_ignoring_case(const std::string& a, const char* b) {
    std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (lower_ascii(a[i]) != lower_ascii(b[i])) return false;
    return true;
}

// The blanks of a profile line, as the Windows reader trims them: white
// space and the Ctrl-Z that DOS editors leave at the end of a file.
bool is_profile_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1A; }

std::string trimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && is_profile_blank(s[b])) ++b;
    while (e > b && is_profile_blank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// What a C program makes of a text: everything before its first NUL.
std::string c_string(const std::string& s) { return s.substr(0, strnlen(s.c_str(), s.size())); }

// Windows-1252 for the code points 0x80 to 0x9F, where it is not Latin-1.
char ansi_of(unsigned code) {
    static const unsigned short high[32] = {
        0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
        0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return char(code);
    for (unsigned i = 0; i < 32; ++i)
        if (high[i] == code) return char(0x80 + i);
    return '?';
}

// The file's text in the ANSI code page: a file that starts with the
// UTF-16LE byte order mark (Notepad's "Unicode") is converted, any other is
// taken as it is (a UTF-8 mark, too, is text of the first line).
std::string profile_text(const std::string& bytes) {
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE') return bytes;
    std::string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += ansi_of(unsigned(static_cast<unsigned char>(bytes[i])) |
                        unsigned(static_cast<unsigned char>(bytes[i + 1])) << 8);
    return text;
}

// Cuts the next line off `text` at `pos`: a line ends at LF, CR LF or a CR
// alone. Returns false when nothing is left.
bool next_profile_line(const std::string& text, std::size_t& pos, std::string& line) {
    if (pos >= text.size()) return false;
    const std::size_t end = text.find_first_of("\r\n", pos);
    line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? text.size() : end + 1;
    if (end != std::string::npos && text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    return true;
}

}  // namespace

std::string profile_value(const std::string& bytes, const char* section, const char* key) {
    const std::string text = profile_text(bytes);

    // Only the first section of the name counts; within it the first key
    // wins. Names and values are C strings to the Windows reader's callers:
    // a NUL ends them, but not the line.
    enum { BEFORE, INSIDE, AFTER } where = BEFORE;
    std::string line, value;
    std::size_t pos = 0;
    while (where != AFTER && next_profile_line(text, pos, line)) {
        const std::string t = trimmed(line);
        if (t.empty() || t[0] == ';') continue;
        if (t[0] == '[') {
            // A section's name runs to the line's last ']'; a line without
            // one opens no section.
            const std::size_t close = t.rfind(']');
            if (close == std::string::npos) continue;
            const std::string name = c_string(trimmed(t.substr(1, close - 1)));
            if (where == INSIDE) where = AFTER;
            else if (equal_ignoring_case(name, section)) where = INSIDE;
            continue;
        }
        if (where != INSIDE) continue;
        // A line without '=' is a key without a value.
        const std::size_t eq = t.find('=');
        if (!equal_ignoring_case(c_string(trimmed(t.substr(0, eq))), key)) continue;
        value = eq == std::string::npos ? std::string() : c_string(trimmed(t.substr(eq + 1)));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        break;
    }
    if (value.size() > PROFILE_VALUE_MAX) value.resize(PROFILE_VALUE_MAX);
    return value;
}

