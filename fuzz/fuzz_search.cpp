// The data-file search over arbitrary bytes, against a plain model of the
// same search. The first line of an input is "ASSET NOMINAL [EDGE]", the
// rest is the data file; every report is answered Cancel. With EDGE, a
// filler of the reader's block size less EDGE % 4096 bytes goes before the
// data, so that it straddles the edge of the first block: a filler line
// when EDGE / 4096 is even, the head of one long line when it is odd. The
// search must give the model's outcome, MEM, report and stop, with line
// numbers counted and without.
#include "exchange/exchange.h"
#include "fuzz/number_model.h"

// The reference is not what is being fuzzed: its branches give the fuzzer
// no guidance worth having and would cost most of the time of an input
// whose first block is filled, so they are left out of the coverage.
#define REFERENCE_ONLY __attribute__((no_sanitize("coverage")))
#include "tests/reference_search.h"
#include "lookup/search.h"
#include "platform/platform.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Records what the search tells in the texts its context points to.
int record_report(void* context, const std::string& text, int, const char*, register_set&) {
    static_cast<std::vector<std::string>*>(context)->push_back(text);
    return OUTCOME_GIVE_UP;
}

int no_box(const char* text, const char*, unsigned) {
    std::fprintf(stderr, "the search showed a box of its own: %s\n", text);
    std::abort();
}

bool model_whole_number(const std::string& token, double& value) {
    model::number n = model::read(token.data(), token.size());
    value = n.strtod_value;
    return n.length == token.size();
}

// Runs the search over `body`; returns whether it agrees with `want`.
bool search_agrees(const std::string& body, const std::string& asset, double nominal,
                   int count_lines, const reference_result& want) {
    std::FILE* f = body.empty() ? std::fopen("/dev/null", "rb")
                                : fmemopen(const_cast<char*>(body.data()), body.size(), "rb");
    if (!f) std::abort();
    register_set rs;
    rs.MEM = 3;
    std::vector<std::string> reports;
    search_stop stop;
    search_request q;
    q.data_path = "refs.dat";
    q.file = f;
    q.asset = asset.c_str();
    q.nominal = nominal;
    q.ini_path = "vornax.ini";
    q.report = record_report;
    q.report_context = &reports;
    q.count_lines = count_lines;
    const int outcome = search_data_file(q, rs, stop);
    std::fclose(f);
    bool same = outcome == (want.found ? OUTCOME_FOUND : OUTCOME_GIVE_UP) && model::same_bits(rs.MEM, want.mem) &&
                stop.line == (count_lines ? want.line : 0) && stop.piece == want.piece &&
                stop.text == want.stop_text;
    if (want.report.empty()) same = same && reports.empty();
    else same = same && reports.size() == 1 && reports[0] == want.report;
    if (!same)
        std::fprintf(stderr,
                     "search (lines %s): outcome %d MEM %.17g stop %ld/%ld report \"%s\"; "
                     "model: %d %.17g %ld/%ld \"%s\"\n",
                     count_lines ? "counted" : "not counted", outcome, rs.MEM, stop.line, stop.piece,
                     reports.empty() ? "" : reports[0].c_str(), want.found ? 1 : 2, want.mem, want.line,
                     want.piece, want.report.c_str());
    return same && stop.text.size() <= DATA_LINE_LIMIT;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform_set_message_box_handler(no_box);
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t first_end = input.find('\n');
    const std::string head = input.substr(0, first_end);
    std::string body = first_end == std::string::npos ? std::string() : input.substr(first_end + 1);

    // The asset arrives as a command-line token: no NUL, space or comma.
    size_t space = head.find(' ');
    std::string asset = head.substr(0, space);
    std::string rest = space == std::string::npos ? std::string("10") : head.substr(space + 1);
    const size_t second = rest.find(' ');
    const std::string nominal_text = rest.substr(0, second);
    asset = asset.substr(0, asset.find_first_of(std::string(" ,\0", 3)));
    if (asset.empty()) asset = "AB12";
    double nominal = model::read(nominal_text.data(), nominal_text.size()).strtod_value;
    if (second != std::string::npos) {
        const unsigned long edge = std::strtoul(rest.c_str() + second + 1, nullptr, 10);
        const size_t block = sizeof(text_reader::buf);
        const size_t length = block - edge % 4096;
        body = (edge / 4096 % 2 ? "F" + std::string(length - 1, 'x')
                                : "F" + std::string(length - 2, ' ') + "\n") + body;
    }

    const reference_result want =
        reference_search(body, asset, nominal, 3, model_whole_number,
                         "No value found for " + asset + " at " + format_number(nominal) + " in file:  \"refs.dat\"");
    if (!search_agrees(body, asset, nominal, 1, want)) std::abort();
    if (!search_agrees(body, asset, nominal, 0, want)) std::abort();
    return 0;
}
