// tallix-check's entry: a console program on every platform. It shows no
// message boxes; should anything below ask for one, the answer is "no box
// could be shown", so a check never waits for an operator.
#include "check/check.h"
#include "platform/platform.h"

#include <cstdio>
#include <string>

namespace {

int no_box(const char*, const char*, unsigned) { return ANSWER_NONE; }

}  // namespace

int main(int argc, char** argv) {
    platform_set_message_box_handler(no_box);
    std::string out, err;
    const int status = check_main(argc, argv, out, err);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    std::fwrite(err.data(), 1, err.size(), stderr);
    return status;
}
