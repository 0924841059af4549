// The findings about the physical lines of a data file, which the search
// cannot tell: a line longer than a piece, CRs without an LF that join what
// looks like two lines, a NUL that ends what a line says, lines in UTF-16
// among the others (or a whole file of them), and a Ctrl-Z that hides the
// rest of the file.
#include "check/file_check.h"

#include "lookup/search.h"

#include <cerrno>
#include <vector>

namespace {

// The warning of CRs without an LF that join what looks like two lines.
std::string lone_cr_text(const file_check& fc) {
    const std::string line = std::to_string(fc.line);
    if (fc.crs_joining == 1)
        return "a CR without an LF at column " + std::to_string(fc.first_joining) +
               " does not end the line; the text after it is read as part of line " + line;
    return std::to_string(fc.crs_joining) + " CRs without an LF, from column " + std::to_string(fc.first_joining) +
           " on, do not end lines (are the line ends CR alone?); the text after them is read as part of line " +
           line + "; save the file with Windows line ends (CR LF)";
}

// The long-line warning: where each further piece starts and whether a
// lookup reads it as a line; runs of pieces that are no line go together.
std::string long_line_text(const file_check& fc) {
    std::string text = "line of " + std::to_string(fc.line_length) +
                       " characters is read in pieces of " + std::to_string(DATA_LINE_LIMIT);
    const char* joint = ": ";
    for (std::size_t i = 0; i < fc.further.size(); ++i) {
        const further_piece& f = fc.further[i];
        text += joint;
        joint = "; ";
        const std::string column = std::to_string(piece_first_column(f.piece));
        if (!f.asset.empty()) {
            text += "piece " + std::to_string(f.piece) + " starts at column " + column +
                    " and is read as a line for asset " + f.asset;
            continue;
        }
        std::size_t last = i;
        while (last + 1 < fc.further.size() && fc.further[last + 1].asset.empty()) ++last;
        if (last == i) {
            text += "piece " + std::to_string(f.piece) + " starts at column " + column +
                    " and is not read as a line for any asset";
            continue;
        }
        text += "pieces " + std::to_string(f.piece) + " to " +
                std::to_string(fc.further[last].piece) + " start at columns " + column + " to " +
                std::to_string(piece_first_column(fc.further[last].piece)) +
                " and are not read as lines for any asset";
        i = last;
    }
    return text;
}

// Where the Ctrl-Z that ended the reading stands (line and column), and
// whether anything but blanks and line ends follows it.
struct ctrl_z_place {
    long line = 1;
    long column = 1;
    long long bytes_after = 0;
    bool text_after = false;
};

int describe_ctrl_z(std::FILE* file, unsigned long long offset, ctrl_z_place& z, int& error_number) {
    if (std::fseek(file, 0, SEEK_SET) != 0) {
        error_number = errno ? errno : EIO;
        return 0;
    }
    std::clearerr(file);
    std::vector<char> buf(64 * 1024);
    unsigned long long at = 0;
    for (;;) {
        errno = 0;
        const std::size_t got = std::fread(buf.data(), 1, buf.size(), file);
        if (got == 0) {
            if (!std::ferror(file)) return 1;
            error_number = errno ? errno : EIO;
            return 0;
        }
        for (std::size_t i = 0; i < got; ++i, ++at) {
            const char c = buf[i];
            if (at > offset) {
                ++z.bytes_after;
                if (c != TEXT_END_OF_FILE && !is_data_delimiter(c)) z.text_after = true;
            } else if (at == offset) {
                continue;
            } else if (c == '\n') {
                ++z.line;
                z.column = 1;
            } else {
                ++z.column;
            }
        }
    }
}

}  // namespace

// A NUL ends what a line says; say so when something was meant after it.
void check_nul(file_check& fc, const place& at, const std::string& text, std::size_t said) {
    if (said == text.size()) return;
    for (std::size_t i = said + 1; i < text.size(); ++i) {
        if (text[i] == '\0' || is_data_delimiter(text[i])) continue;
        finding(fc, at, false,
                "a NUL character at column " +
                    std::to_string(piece_first_column(at.piece) + long(said)) +
                    " ends the line; the text after it is never read");
        return;
    }
}

// A CR that no LF follows does not end a line: what comes after it is read
// as part of the same line. Only a CR with text after it misleads.
void note_lone_crs(file_check& fc, const place& at, const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '\r') {
            if (fc.crs_waiting++ == 0) fc.first_waiting = piece_first_column(at.piece) + long(i);
        } else if (fc.crs_waiting && !is_data_delimiter(text[i])) {
            if (fc.crs_joining == 0) fc.first_joining = fc.first_waiting;
            fc.crs_joining += fc.crs_waiting;
            fc.crs_waiting = 0;
        }
    }
}

void finish_line(file_check& fc) {
    // A UTF-16 line is told with its run.
    if (fc.line_length > DATA_LINE_LIMIT && fc.further_text && !fc.utf16_line)
        add_finding(fc, *fc.out, fc.line, false, long_line_text(fc));
    if (fc.crs_joining && !fc.utf16_line) add_finding(fc, *fc.out, fc.line, false, lone_cr_text(fc));
    fc.crs_waiting = fc.crs_joining = 0;
    *fc.out += fc.findings;
    fc.findings.clear();
    fc.further.clear();
    fc.further_text = false;
    fc.line_length = 0;
}

// A line of UTF-16 text read one byte a character: every other byte a
// NUL, so that it says at most the one character before its first NUL
// and is no line for any asset.
bool utf16_bytes(const std::string& text) {
    std::size_t nuls[2] = {0, 0}, slots[2] = {0, 0};
    for (std::size_t i = 0; i < text.size(); ++i) {
        ++slots[i % 2];
        if (text[i] == '\0') ++nuls[i % 2];
    }
    for (int p = 0; p < 2; ++p)
        if (nuls[p] > 0 && nuls[p] * 4 >= slots[p] * 3 && nuls[1 - p] * 4 <= slots[1 - p]) {
            const piece_cells pc = cut_cells(text.data(), text.data() + said_length(text.data(), text.size()));
            return pc.cells.size() < 2;
        }
    return false;
}

// Tells of a run of UTF-16 lines, once it has ended: the whole file, or
// the lines lost while the others are read.
void tell_utf16(file_check& fc, bool at_end) {
    if (!fc.utf16_first) return;
    if (at_end && fc.utf16_first == 1 && !fc.read_text) {
        std::string text;
        add_finding(fc, text, 1, true, utf16_text());
        fc.out->insert(fc.out_start, text);
    } else {
        const bool one = fc.utf16_first == fc.utf16_last;
        add_finding(fc, *fc.out, fc.utf16_first, true,
                    (one ? "line " + std::to_string(fc.utf16_first) + " is"
                         : "lines " + std::to_string(fc.utf16_first) + " to " + std::to_string(fc.utf16_last) +
                               " are") +
                        " UTF-16 text (\"Unicode text\"): tallix reads one byte a character and finds no line in " +
                        (one ? "it" : "them") +
                        (fc.utf16_tail ? ", nor in line " + std::to_string(fc.utf16_tail) +
                                             ", which begins with the NUL that ends the last of them"
                                       : std::string()) +
                        "; it reads the other lines as they stand; write those lines again as ANSI text "
                        "(Notepad: encoding \"ANSI\")");
    }
    fc.utf16_told = true;
    fc.utf16_first = fc.utf16_last = fc.utf16_tail = 0;
}

// A piece of a UTF-16 line that says nothing either.
bool utf16_piece(bool utf16_line, long piece, const std::string& text) {
    return utf16_line && (piece == 1 || utf16_bytes(text));
}

// Whether a piece is left unjudged as part of a run of UTF-16 lines (the
// line is UTF-16 text, or begins with the second byte of the last one's
// line end); at a piece that says something, the run ends and is told.
bool in_utf16_run(file_check& fc, const place& at, const std::string& text) {
    if (at.piece == 1) {
        fc.utf16_line = utf16_bytes(text);
        if (fc.utf16_line) {
            if (!fc.utf16_first) fc.utf16_first = at.line;
            fc.utf16_last = at.line;
        } else if (fc.utf16_last && fc.utf16_last == at.line - 1 && !text.empty() && text[0] == '\0') {
            fc.utf16_tail = at.line;
            return true;
        }
    }
    if (utf16_piece(fc.utf16_line, at.piece, text)) return true;
    if (cut_cells(text.data(), text.data() + said_length(text.data(), text.size())).cells.empty()) return false;
    fc.read_text = true;
    tell_utf16(fc, false);
    return false;
}

int tell_ctrl_z(file_check& fc, std::FILE* file, unsigned long long offset, int& error_number) {
    ctrl_z_place z;
    if (!describe_ctrl_z(file, offset, z, error_number)) return 0;
    if (z.text_after)
        add_finding(fc, *fc.out, z.line, false,
                    "Ctrl-Z at column " + std::to_string(z.column) + " ends the file; the " +
                        std::to_string(z.bytes_after) + " bytes after it are never read");
    return 1;
}
