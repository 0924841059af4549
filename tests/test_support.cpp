#include "test_support.h"

#include "exchange/exchange.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <ftw.h>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

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

int remove_entry(const char* path, const struct stat*, int, struct FTW*) {
    std::remove(path);
    return 0;
}

// Scratch folders go when the test program ends, whatever the tests left.
void remove_scratch_dirs() {
    for (const std::string& dir : *g_scratch_dirs) nftw(dir.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}
}  // namespace

std::string make_scratch_dir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tallix-test-XXXXXX";
    if (!mkdtemp(&pattern[0])) std::abort();
    if (!g_scratch_dirs) {
        g_scratch_dirs = new std::vector<std::string>;
        std::atexit(remove_scratch_dirs);
    }
    g_scratch_dirs->push_back(pattern);
    return pattern;
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
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> list_dir(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string write_host_ini(const std::string& dir) {
    std::string path = dir + "/vornax.ini";
    write_file(path, "[Startup]\nprocdir=C:\\VORNAX\\PROC\nuser_data_dir=" + dir + "\n");
    return path;
}

std::string standard_dose(const std::string& mem, const std::string& mem1, const std::string& mem2) {
    std::string s = mem + "\r\n" + mem1 + "\r\n" + mem2 + "\r\n";
    for (int i = 1; i <= 20; ++i) s += std::to_string(i) + "\r\n";
    return s;
}

namespace {

ssize_t failing_read(void* cookie, char* buf, std::size_t size) {
    auto* s = static_cast<failing_source*>(cookie);
    if (s->pos >= s->fail_at) {
        errno = EIO;
        return -1;
    }
    const std::size_t n = std::min(size, std::min(s->fail_at, s->content.size()) - s->pos);
    std::memcpy(buf, s->content.data() + s->pos, n);
    s->pos += n;
    return ssize_t(n);
}

}  // namespace

std::FILE* open_failing_source(failing_source& s) {
    cookie_io_functions_t io = {failing_read, nullptr, nullptr, nullptr};
    return fopencookie(&s, "r", io);
}
