// The command line of tallix-check: check files, explain one lookup, or
// say how it is used. Usage errors name the problem and end with status 2.
#include "check/check.h"
#include "check/shapes.h"

#include "lookup/search.h"
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
    "       tallix-check --fix IN OUT\n"
    "       tallix-check --help | --version\n";

const char HELP[] =
    "\n"
    "Checks VORNAX data files before they are deployed: every line that would\n"
    "make a tallix lookup fail or mislead is reported as\n"
    "  FILE:LINE: error: ...    a lookup stops with a message at this line, or\n"
    "                           takes a value its writer did not mean\n"
    "  FILE:LINE: warning: ...  a line that is never found, cut, or never read\n"
    "followed by a summary of lines, assets, nominals, errors and warnings.\n"
    "VORNAX's register exchange file (dosdose.dat) among them is skipped.\n"
    "\n"
    "  --lookup ASSET NOMINAL FILE\n"
    "        run the lookup tallix would run and print the line it takes and\n"
    "        the value as tallix writes it, or the message tallix would show;\n"
    "        ASSET and NOMINAL are cut at spaces and commas as tallix cuts\n"
    "        its command line, and a line \"cut: ...\" says so when that\n"
    "        changes them; the three come in this order, without the\n"
    "        initialization file that tallix takes first\n"
    "  --fix IN OUT\n"
    "        write to OUT a copy of the data file IN mended where the reading is\n"
    "        certain (UTF-16 or UTF-8 to Windows-1252, line ends to CR LF,\n"
    "        quotes, header rows and comments dropped, semicolons to tabs,\n"
    "        decimal commas and thousands separators, (0,5) and U+2212 minus),\n"
    "        print each change as IN:LINE: and then check OUT; where a reading\n"
    "        is not certain, print the lines that stop it and write nothing.\n"
    "        OUT is never IN; it is replaced in one step\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "  --         what follows are file names, even when they start with -\n"
    "\n"
    "Exit status: 0 no errors, 1 errors, 2 bad usage or a file that cannot be\n"
    "read. With --lookup: 0 when a value is found, else 1, as tallix. With\n"
    "--fix: 0 when the copy checks clean, 1 when it has errors or the mend\n"
    "was refused, 2 bad usage or a file that cannot be read or written.\n";

int usage_error(std::string& err, const std::string& problem) {
    err += "tallix-check: ";
    err += problem;
    err += '\n';
    err += USAGE;
    return CHECK_UNUSABLE;
}

int check_files(const std::vector<std::string>& files, std::string& out, std::string& err) {
    int count = int(files.size());
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
        // `*.dat` takes in the register exchange file too: it is no data
        // file, and its lines of one number each are no findings.
        if (looks_like_register_file(file, register_file_name(name))) {
            std::fclose(file);
            out += name + ": skipped: VORNAX's register exchange file, not a data file\n";
            --count;
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

// Whether `arg` names a file: one that is there, or a name with a path or
// the extension of a data or initialization file.
bool names_file(const std::string& arg) {
    std::string lower;
    for (char c : arg) lower += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    for (const char* ext : {".dat", ".ini", ".txt", ".csv", ".tsv"})
        if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ext) == 0) return true;
    if (arg.find_first_of("/\\") != std::string::npos) return true;
    std::FILE* file = arg.empty() ? nullptr : platform_open_disk_file(arg.c_str());
    if (file) std::fclose(file);
    return file != nullptr;
}

bool looks_like_nominal(const std::string& arg) {
    double value = 0;
    return !names_file(arg) && (nr3_value(arg.data(), arg.size(), value) == 1 ||
                                (!arg.empty() && std::strchr("+-.0123456789", arg[0]) != nullptr));
}

// --lookup with its arguments in tallix's order (INI FILE ASSET NOMINAL) or
// with the file first or in the middle: sets `problem` to what to type.
bool lookup_out_of_order(int count, const char* const* args, std::string& problem) {
    std::string asset, nominal, file, how;
    if (count == 4 && names_file(args[0]) && names_file(args[1]) && looks_like_nominal(args[3])) {
        asset = args[2], nominal = args[3], file = args[1];
        how = "not tallix's INI FILE ASSET NOMINAL: no initialization file";
    } else if (count == 3 && !names_file(args[2]) && looks_like_nominal(args[2]) &&
               (names_file(args[0]) || names_file(args[1]))) {
        const int at = names_file(args[0]) ? 0 : 1;
        file = args[at], asset = args[1 - at], nominal = args[2];
        how = "the data file \"" + file + "\" last";
    } else {
        return false;
    }
    auto shown = [](const std::string& arg) {
        return arg.empty() || arg.find_first_of(" \t") != std::string::npos ? "\"" + arg + "\"" : arg;
    };
    problem = "--lookup takes ASSET NOMINAL FILE, " + how + "; type: tallix-check --lookup " +
              shown(asset) + " " + shown(nominal) + " " + shown(file);
    return true;
}

}  // namespace

int check_main(int argc, const char* const* argv, std::string& out, std::string& err) {
    if (argc > 1 && std::strcmp(argv[1], "--lookup") == 0) {
        std::string order;
        if (lookup_out_of_order(argc - 2, argv + 2, order)) return usage_error(err, order);
        if (argc != 5)
            return usage_error(err, "--lookup takes ASSET NOMINAL FILE, " +
                                        std::to_string(argc - 2) + " given");
        return explain_lookup(argv[2], argv[3], argv[4], out);
    }
    if (argc > 1 && std::strcmp(argv[1], "--fix") == 0) {
        if (argc != 4) return usage_error(err, "--fix takes IN OUT, " + std::to_string(argc - 2) + " given");
        const int fixed = fix_data_file(argv[2], argv[3], out, err);
        return fixed == CHECK_CLEAN ? check_files({argv[3]}, out, err) : fixed;
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
        } else if (std::strcmp(arg, "--fix") == 0) {
            return usage_error(err, "--fix must come first: --fix IN OUT");
        } else {
            return usage_error(err, std::string("unknown option '") + arg + "'");
        }
    }
    if (files.empty()) return usage_error(err, "no data file given");
    return check_files(files, out, err);
}
