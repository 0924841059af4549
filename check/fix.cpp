// tallix-check --fix IN OUT: a mended copy of a data file (mend.h), written
// to another file than the one it mends, in one step (a temporary file put
// in OUT's place), with every change told in the checker's FILE:LINE:
// style; or, where a reading is not certain, the lines that stop it and
// nothing written. The check of the copy follows in options.cpp.
#include "check/check.h"
#include "check/mend.h"
#include "check/shapes.h"

#include "lookup/lookup.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstring>

namespace {

// Reads the whole of `file`. Returns false on a read error (its errno in
// `error_number`).
bool read_all(std::FILE* file, std::string& bytes, int& error_number) {
    char block[64 * 1024];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) bytes.append(block, n);
    if (!std::ferror(file)) return true;
    error_number = errno ? errno : EIO;
    return false;
}

// Whether `out_path` is the file open as `in`: the same file by identity,
// whatever the names.
bool same_file(std::FILE* in, const std::string& out_path) {
    std::FILE* out = platform_open_disk_file(out_path.c_str());
    if (!out) return false;
    file_version a, b;
    const bool same = platform_file_version(in, a) && platform_file_version(out, b) &&
                      a.identity[0] == b.identity[0] && a.identity[1] == b.identity[1];
    std::fclose(out);
    return same;
}

// Whether the file is clean as it stands: no error and no warning.
bool already_clean(const std::string& in_path, std::FILE* in) {
    std::string findings;
    check_totals totals;
    int error_number = 0;
    if (std::fseek(in, 0, SEEK_SET) != 0) return false;
    return check_data_file(in_path.c_str(), in, findings, totals, error_number) && totals.errors == 0 &&
           totals.warnings == 0;
}

void append_note(std::string& out, const std::string& path, const mend_note& note, const char* what) {
    out += path;
    if (note.line > 0) out += ":" + std::to_string(note.line);
    out += ": ";
    out += what;
    out += note.text + "\n";
}

// Mends the bytes of `in_path` into `text`, telling the changes or the
// refusals. Returns CHECK_CLEAN when there is a copy to write.
int mend_into(const std::string& in_path, const std::string& out_path, const std::string& bytes, std::string& text,
              std::string& out) {
    mend_result r;
    if (!mend_data_file(bytes, r)) {
        for (const mend_note& n : r.refusals) append_note(out, in_path, n, "cannot mend: ");
        out += in_path + ": nothing written to " + out_path + ": " + std::to_string(r.refusals.size()) + " line" +
               (r.refusals.size() == 1 ? " needs" : "s need") + " the writer's decision\n";
        return CHECK_ERRORS;
    }
    for (const mend_note& n : r.changes) append_note(out, in_path, n, "");
    out += in_path + (r.changes.empty() ? ": nothing to mend: copied unchanged to " + out_path
                                        : ": " + std::to_string(r.changes.size()) + " change" +
                                              (r.changes.size() == 1 ? "" : "s") + " written to " + out_path) +
           "\n";
    text = r.text;
    return CHECK_CLEAN;
}

}  // namespace

int fix_data_file(const std::string& in_path, const std::string& out_path, std::string& out, std::string& err) {
    errno = 0;
    std::FILE* in = platform_open_disk_file(in_path.c_str());
    if (!in) return err += "tallix-check: " + open_failure_text(in_path.c_str(), errno) + "\n", CHECK_UNUSABLE;
    std::string bytes;
    int error_number = 0;
    const bool read = read_all(in, bytes, error_number);
    const bool same = read && same_file(in, out_path);
    const bool register_file = read && std::fseek(in, 0, SEEK_SET) == 0 &&
                               looks_like_register_file(in, register_file_name(in_path));
    const bool clean = read && !same && !register_file && already_clean(in_path, in);
    std::fclose(in);
    if (!read) return err += "tallix-check: " + open_failure_text(in_path.c_str(), error_number) + "\n", CHECK_UNUSABLE;
    if (same || register_file_name(out_path))
        return err += "tallix-check: --fix writes its copy to another file than " +
                      std::string(same ? "the one it mends" : "VORNAX's register exchange file") + ": \"" +
                      out_path + "\" is " + (same ? "\"" + in_path + "\"" : "dosdose.dat") + "\n",
               CHECK_UNUSABLE;
    if (register_file) return out += in_path + ": skipped: VORNAX's register exchange file, not a data file\n", CHECK_ERRORS;
    std::string text = bytes;
    if (clean) out += in_path + ": already clean: copied unchanged to " + out_path + "\n";
    else if (mend_into(in_path, out_path, bytes, text, out) != CHECK_CLEAN) return CHECK_ERRORS;
    errno = 0;
    if (platform_write_file(out_path.c_str(), text) != WRITE_DONE)
        return err += "tallix-check: cannot write \"" + out_path + "\": " +
                      (errno ? std::strerror(errno) : "the file or its folder refuses it") + "\n",
               CHECK_UNUSABLE;
    return CHECK_CLEAN;
}
