// The POSIX platform verbs: where the profile reader follows Windows rather
// than Wine, names that exist, and the answers a terminal box takes.
#include "platform/platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace {

// Where Wine reads more than Windows does: a UTF-8 mark is text of the
// first line, and big-endian UTF-16 is no profile at all.
TEST(Profile, WhereWineReadsMoreWindowsDecides) {
    const struct {
        const char* name;
        std::string content;
    } cases[] = {
        {"UTF-8 byte order mark hides the first section", "\xEF\xBB\xBF[Startup]\r\nprocdir=x\r\n"},
        {"UTF-16BE", std::string("\xFE\xFF\0[\0S\0t\0a\0r\0t\0u\0p\0]\0\n\0p\0r\0o\0c\0d\0i\0r\0=\0x", 40)},
    };
    std::string dir = make_scratch_dir();
    for (const auto& c : cases) {
        write_file(dir + "/t.ini", c.content);
        EXPECT_EQ(platform_profile_string((dir + "/t.ini").c_str(), "Startup", "procdir"), "") << c.name;
    }
}

TEST(Platform, NameExistsCountsFolders) {
    std::string dir = make_scratch_dir();
    EXPECT_EQ(platform_name_exists(dir.c_str()), 1);
    EXPECT_EQ(platform_name_exists((dir + "/nope").c_str()), 0);
    write_file(dir + "/f", "");
    EXPECT_EQ(platform_name_exists((dir + "/f").c_str()), 1);
}

// The terminal box with `input` as standard input; `prompts` counts how
// often it showed its buttons (1 + the times it asked again).
int answer_from(const std::string& input, unsigned style, int& prompts) {
    const std::string dir = make_scratch_dir();
    write_file(dir + "/in", input);
    const int saved_err = dup(2);
    std::fflush(stderr);
    if (!std::freopen((dir + "/in").c_str(), "r", stdin) || !std::freopen((dir + "/err").c_str(), "w", stderr))
        return -1;
    const int answer = platform_message_box("text", "caption", style);
    std::fflush(stderr);
    dup2(saved_err, 2);
    close(saved_err);
    std::freopen("/dev/null", "r", stdin);
    const std::string shown = read_file(dir + "/err");
    prompts = 0;
    for (std::size_t at = 0; (at = shown.find("]\n", at)) != std::string::npos; ++at) ++prompts;
    return answer;
}

// Words and button ids answer; numbers that are no button id ask again, as
// every other word does, so a slip of the finger never reads as a button.
TEST(TerminalBox, TakesWordsAndButtonIdsAndAsksAgainForAnythingElse) {
    const unsigned retry_cancel = MB_STYLE_RETRYCANCEL | MB_STYLE_ICONEXCLAMATION | MB_STYLE_TASKMODAL;
    const unsigned ok_only = MB_STYLE_OK | MB_STYLE_ICONERROR | MB_STYLE_TASKMODAL;
    const struct {
        const char* input;
        unsigned style;
        int answer;
        int prompts;
    } cases[] = {
        {"r\n", retry_cancel, ANSWER_RETRY, 1},
        {"  Retry \r\n", retry_cancel, ANSWER_RETRY, 1},
        {"\n", retry_cancel, ANSWER_RETRY, 1},
        {"CANCEL\n", retry_cancel, ANSWER_CANCEL, 1},
        {"\n", ok_only, ANSWER_OK, 1},
        {"ok\n", retry_cancel, ANSWER_NONE, 2},  // no OK button: asks again, then end of input
        {"4\n", retry_cancel, ANSWER_RETRY, 1},
        {"04\n", retry_cancel, ANSWER_RETRY, 1},
        {"0004\n", retry_cancel, ANSWER_RETRY, 1},
        {"002\n", ok_only, ANSWER_CANCEL, 1},
        {"8\n9\n08\n009\n00\nc\n", retry_cancel, ANSWER_CANCEL, 6},  // IDCLOSE, IDHELP: a box ignores them
        {"0012\n000\nr\n", retry_cancel, ANSWER_RETRY, 3},
        {"1\n", retry_cancel, ANSWER_OK, 1},  // an automation tool's IDOK, whatever the buttons
        {" 2 \n", ok_only, ANSWER_CANCEL, 1},
        {"11\n", ok_only, 11, 1},
        {"-\nc\n", retry_cancel, ANSWER_CANCEL, 2},
        {"4-\nc\n", retry_cancel, ANSWER_CANCEL, 2},
        {"-4\n0\n12\n+4\n4 4\nc\n", retry_cancel, ANSWER_CANCEL, 6},
        {"999999999\n", retry_cancel, ANSWER_NONE, 2},
        {"r", retry_cancel, ANSWER_RETRY, 1},  // a last line without its line end
        {"", retry_cancel, ANSWER_NONE, 1},
    };
    for (const auto& c : cases) {
        int prompts = 0;
        EXPECT_EQ(answer_from(c.input, c.style, prompts), c.answer) << c.input;
        EXPECT_EQ(prompts, c.prompts) << c.input;
    }
}

}  // namespace
