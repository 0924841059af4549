// Helpers shared by the unit tests, in portable C++: scratch folders,
// whole-file reads and writes, and the message-box recorder.
#include "test_support.h"

#include "exchange/exchange.h"
#include "exchange/host_ini.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {
box_script* g_script = nullptr;

int answer(const char* text, const char* caption, unsigned style) {
    g_script->shown.push_back({text, caption, style});
    if (g_script->answers.empty()) return 0;
    int a = g_script->answers.front();
    g_script->answers.pop_front();
    return a;
}
}  // namespace

box_script::box_script(std::deque<int> a) : answers(std::move(a)) {
    g_script = this;
    platform_set_message_box_handler(answer);
    forget_exchange_file_path();
}

box_script::~box_script() {
    platform_set_message_box_handler(nullptr);
    g_script = nullptr;
    forget_exchange_file_path();
}

namespace {
std::vector<std::string>* g_scratch_dirs = nullptr;

// Scratch folders go when the test program ends, whatever the tests left.
void remove_scratch_dirs() {
    for (const std::string& dir : *g_scratch_dirs) {
        std::error_code ignored;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir, ignored);
    }
}
}  // namespace

std::string make_scratch_dir() {
    static std::mt19937 names(std::random_device{}());
    const char* base = std::getenv("TMPDIR");
    const fs::path root = base && *base ? fs::path(base) : fs::temp_directory_path();
    for (;;) {
        const fs::path dir = root / ("tallix-test-" + std::to_string(names() % 100000000u));
        std::error_code error;
        if (!fs::create_directory(dir, error)) {
            if (error) std::abort();
            continue;  // taken
        }
        if (!g_scratch_dirs) {
            g_scratch_dirs = new std::vector<std::string>;
            std::atexit(remove_scratch_dirs);
        }
        g_scratch_dirs->push_back(dir.string());
        return dir.string();
    }
}

void write_file(const std::string& path, const std::string& content) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(content.data(), std::streamsize(content.size()));
}

std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool file_exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

std::vector<std::string> list_dir(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ignored)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string write_host_ini(const std::string& dir) {
    std::string path = dir + "/vornax.ini";
    write_file(path, "[Startup]\nprocdir=C:\\VORNAX\\PROC\nuser_data_dir=" + dir + "\n");
    return path;
}

std::string in_dir(const std::string& dir, const char* name) { return dir + platform_path_separator() + name; }

std::string standard_dose(const std::string& mem, const std::string& mem1, const std::string& mem2) {
    std::string s = mem + "\r\n" + mem1 + "\r\n" + mem2 + "\r\n";
    for (int i = 1; i <= 20; ++i) s += std::to_string(i) + "\r\n";
    return s;
}
