// The profile reader, on the platform's own: Windows' GetPrivateProfileStringA
// (this table runs in the Windows test program under Wine) and the POSIX
// reader that stands in for it read the same bytes the same way.
#include "platform/platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

// `text` (ANSI) as a UTF-16LE file with its byte order mark.
std::string utf16le(const std::string& text) {
    static const unsigned short high[32] = {
        0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
        0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};
    std::string out = "\xFF\xFE";
    for (unsigned char c : text) {
        const unsigned code = c >= 0x80 && c < 0xA0 ? high[c - 0x80] : c;
        out += char(code & 0xFF);
        out += char(code >> 8);
    }
    return out;
}

struct profile_case {
    const char* name;
    std::string content;
    const char* key;
    std::string value;
};

TEST(Profile, FollowsTheWindowsRules) {
    const profile_case cases[] = {
        {"plain", "[Startup]\nprocdir=C:\\P\n", "procdir", "C:\\P"},
        {"crlf", "[Startup]\r\nprocdir=C:\\P\r\n", "procdir", "C:\\P"},
        {"case of section and key", "[ STARTUP ]\nProcDir = x \n", "procdir", "x"},
        {"blanks trimmed", "[Startup]\n  procdir\t=\t a b \t\n", "procdir", "a b"},
        {"double quotes", "[Startup]\nprocdir=\" a \"\n", "procdir", " a "},
        {"single quotes", "[Startup]\nprocdir='a'\n", "procdir", "a"},
        {"unmatched quotes stay", "[Startup]\nprocdir=\"a'\n", "procdir", "\"a'"},
        {"one pair only", "[Startup]\nprocdir=\"\"a\"\"\n", "procdir", "\"a\""},
        {"first key wins", "[Startup]\nprocdir=1\nprocdir=2\n", "procdir", "1"},
        {"first section only", "[Startup]\nuser_cwd=c\n[Startup]\nprocdir=2\n", "procdir", ""},
        {"other section", "[Other]\nprocdir=1\n[Startup]\nprocdir=2\n", "procdir", "2"},
        {"key before any section", "procdir=1\n[Startup]\n", "procdir", ""},
        {"comment", "[Startup]\n;procdir=1\nprocdir=2\n", "procdir", "2"},
        {"no equals sign: a key without a value", "[Startup]\nprocdir\nprocdir=3\n", "procdir", ""},
        {"empty value", "[Startup]\nprocdir=\n", "procdir", ""},
        {"equals in value", "[Startup]\nprocdir=a=b\n", "procdir", "a=b"},
        {"no final line end", "[Startup]\nprocdir=z", "procdir", "z"},
        {"cut at 259", "[Startup]\nprocdir=" + std::string(300, 'v') + "\n", "procdir",
         std::string(259, 'v')},
        {"missing key", "[Startup]\nprocdir=1\n", "user_cwd", ""},
        // Ctrl-Z is a blank, as DOS editors leave it at the end of a file.
        {"Ctrl-Z after the value", "[Startup]\r\nprocdir=x\x1A\r\n", "procdir", "x"},
        {"Ctrl-Z inside the value stays", "[Startup]\r\nprocdir=a\x1A" "b\r\n", "procdir", "a\x1A" "b"},
        {"Ctrl-Z line", "[Startup]\r\n\x1A\r\nprocdir=x\r\n", "procdir", "x"},
        {"vertical tab and form feed are blanks", "[Startup]\r\nprocdir=\v\fx\v\f\r\n", "procdir", "x"},
        {"no-break space is no blank", "[Startup]\r\nprocdir=\xA0x\xA0\r\n", "procdir", "\xA0x\xA0"},
        // Names and values end at a NUL, as the C strings Windows programs
        // get, so no value carries a NUL into a path; the line goes on.
        {"value cut by a NUL", std::string("[Startup]\nuser_cwd=exch\0junk\n", 29), "user_cwd", "exch"},
        {"value only a NUL is empty", std::string("[Startup]\nprocdir=\0\n", 19), "procdir", ""},
        {"blanks before the NUL kept", std::string("[Startup]\nprocdir= a \0b\n", 23), "procdir", "a "},
        {"key cut by a NUL is another key", std::string("[Startup]\nproc\0dir=x\nprocdir=y\n", 30), "procdir",
         "y"},
        {"section name cut by a NUL", std::string("[Startup\0]\nprocdir=z\n", 20), "procdir", "z"},
        // A section header runs to the line's last bracket; without one it
        // opens no section.
        {"unclosed section", "[Startup\r\nprocdir=x\r\n", "procdir", ""},
        {"unclosed header keeps the section", "[Startup]\r\n[Other\r\nprocdir=x\r\n", "procdir", "x"},
        {"last bracket ends the name", "[Startup]x]\r\nprocdir=x\r\n", "procdir", ""},
        {"text after the bracket", "[Startup] junk\r\nprocdir=x\r\n", "procdir", "x"},
        // A lone CR ends a line too.
        {"lone CR ends a line", "[Startup]\rprocdir=x\r\n", "procdir", "x"},
        {"lone CR ends a value", "[Startup]\r\nprocdir=a\rb\r\n", "procdir", "a"},
        // A NUL does not end the line, but names and values are C strings.
        {"value ends at a NUL, blanks before it kept", std::string("[Startup]\r\nprocdir= a \0b\r\n", 25),
         "procdir", "a "},
        {"section name ends at a NUL", std::string("[Startup\0junk]\r\nprocdir=x\r\n", 27), "procdir", "x"},
        {"a NUL first on a line", std::string("[Startup]\r\n\0procdir=x\r\nprocdir=y\r\n", 33), "procdir", "y"},
        // Notepad's "Unicode": UTF-16LE with its byte order mark.
        {"UTF-16LE with a byte order mark", utf16le("[Startup]\r\nprocdir=C:\\P\xE9\x80\r\n"), "procdir",
         "C:\\P\xE9\x80"},
        {"UTF-16LE without a byte order mark", utf16le("[Startup]\r\nprocdir=x\r\n").substr(2), "procdir", ""},
    };
    std::string dir = make_scratch_dir();
    int i = 0;
    for (const profile_case& c : cases) {
        // A new file each time: the system may keep a profile it has read.
        std::string path = dir + "/t" + std::to_string(i++) + ".ini";
        write_file(path, c.content);
        EXPECT_EQ(platform_profile_string(path.c_str(), "Startup", c.key), c.value) << c.name;
    }
}

TEST(Profile, MissingFilesAndFoldersReadAsTheDefault) {
    std::string dir = make_scratch_dir();
    EXPECT_EQ(platform_profile_string((dir + "/none.ini").c_str(), "Startup", "procdir"), "");
    EXPECT_EQ(platform_profile_string(dir.c_str(), "Startup", "procdir"), "");
    EXPECT_EQ(platform_profile_string(nullptr, "Startup", "procdir"), "");
    EXPECT_EQ(platform_profile_string("", "Startup", "procdir"), "");
}

}  // namespace
