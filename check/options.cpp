// The command line of tallix-check: check files, explain one lookup, or
// say how it is used. Usage errors name the problem and end with status 2.
#include "check/check.h"

#include "lookup/lookup.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#ifndef TALLIX_VERSION
#define TALLIX_VERSION "unknown"
#endif

namespace {

const char USAGE[] =
    "usage: tallix-check FILE...\n"
    "       tallix-check --lookup ASSET NOMINAL FILE\n"
    "       tallix-check --help | --version\n";

const char HELP[] =
    "\n"
    "Checks VORNAX data files before they are deployed: every line that would\n"
    "make a tallix lookup fail or mislead is reported as\n"
    "  FILE:LINE: error: ...    a lookup stops with a message at this line\n"
    "  FILE:LINE: warning: ...  a line that is never found, cut, or never read\n"
    "followed by a summary of lines, assets, nominals, errors and warnings.\n"
    "\n"
    "  --lookup ASSET NOMINAL FILE\n"
    "        run the lookup tallix would run and print the line it takes and\n"
    "        the value as tallix writes it, or the message tallix would show;\n"
    "        ASSET and NOMINAL are cut at spaces and commas as tallix cuts\n"
    "        its command line, and a line \"cut: ...\" says so when that\n"
    "        changes them\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "  --         what follows are file names, even when they start with -\n"
    "\n"
    "Exit status: 0 no errors, 1 errors, 2 bad usage or a file that cannot be\n"
    "read. With --lookup: 0 when a value is found, else 1, as tallix.\n";

int usage_error(std::string& err, const std::string& problem) {
    err += "tallix-check: ";
    err += problem;
    err += '\n';
    err += USAGE;
    return CHECK_UNUSABLE;
}

int check_files(const std::vector<std::string>& files, std::string& out, std::string& err) {
    const int count = int(files.size());
    check_totals all;
    bool unreadable = false;
    for (const std::string& name : files) {
        errno = 0;
        std::FILE* file = platform_open_disk_file(name.c_str());
        if (!file) {
            err += "tallix-check: " + open_failure_text(name.c_str(), errno) + "\n";
            unreadable = true;
            continue;
        }
        check_totals one;
        int error_number = 0;
        const int read = check_data_file(name.c_str(), file, out, one, error_number);
        std::fclose(file);
        if (!read) {
            err += "tallix-check: " + open_failure_text(name.c_str(), error_number) + "\n";
            unreadable = true;
            continue;
        }
        append_summary(out, name, one);
        all.lines += one.lines;
        all.assets += one.assets;
        all.nominals += one.nominals;
        all.errors += one.errors;
        all.warnings += one.warnings;
    }
    if (count > 1) append_summary(out, "total of " + std::to_string(count) + " files", all);
    if (unreadable) return CHECK_UNUSABLE;
    return all.errors ? CHECK_ERRORS : CHECK_CLEAN;
}

}  // namespace

int check_main(int argc, const char* const* argv, std::string& out, std::string& err) {
    if (argc > 1 && std::strcmp(argv[1], "--lookup") == 0) {
        if (argc != 5)
            return usage_error(err, "--lookup takes ASSET NOMINAL FILE, " +
                                        std::to_string(argc - 2) + " given");
        return explain_lookup(argv[2], argv[3], argv[4], out);
    }
    // A Windows shell hands `*.dat` over as it is; each file operand is
    // expanded here to the files it stands for.
    std::vector<std::string> files;
    bool only_files = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (only_files || arg[0] != '-' || arg[1] == '\0') {
            for (std::string& name : platform_expand_file_pattern(arg)) files.push_back(std::move(name));
        } else if (std::strcmp(arg, "--") == 0) {
            only_files = true;
        } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            out += USAGE;
            out += HELP;
            return CHECK_CLEAN;
        } else if (std::strcmp(arg, "--version") == 0) {
            out += "tallix-check " TALLIX_VERSION "\n";
            return CHECK_CLEAN;
        } else if (std::strcmp(arg, "--lookup") == 0) {
            return usage_error(err, "--lookup must come first: --lookup ASSET NOMINAL FILE");
        } else {
            return usage_error(err, std::string("unknown option '") + arg + "'");
        }
    }
    if (files.empty()) return usage_error(err, "no data file given");
    return check_files(files, out, err);
}
