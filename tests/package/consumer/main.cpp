// Another VORNAX helper, built against the installed header and library:
// reads the registers from a real dosdose.dat through a real initialization
// file, hands a value back in MEM with MEM1 = 1, and reads the file again.
//
//     exchange_consumer FOLDER
#include "exchange/exchange.h"

#include <cstdio>
#include <string>

namespace {

bool write_text(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

std::string read_text(const std::string& path) {
    std::string text;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[512];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
        std::fclose(f);
    }
    return text;
}

int fail(const char* what) {
    std::printf("unexpected: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return fail("usage: exchange_consumer FOLDER");
    const std::string folder = argv[1];
    const std::string ini = folder + "/vornax.ini";
    std::string dose = "0.5\r\n-1\r\nprocedure 7\r\n";
    for (int i = 1; i <= 20; ++i) dose += std::to_string(i) + "\r\n";
    if (!write_text(ini, "[Startup]\r\nprocdir=C:\\VORNAX\\PROC\r\nuser_data_dir=" + folder + "\r\n") ||
        !write_text(folder + "/dosdose.dat", dose))
        return fail("cannot lay out the files");

    register_set rs;
    if (!get_dose(ini.c_str(), rs, 0)) return fail("get_dose failed");
    if (rs.MEM != 0.5 || rs.MEM1 != -1 || rs.MEM2 != "procedure 7" || rs.M[19] != 20)
        return fail("registers read wrongly");
    rs.MEM = 1e20;
    rs.MEM1 = 1;
    if (!put_dose(ini.c_str(), rs, 0)) return fail("put_dose failed");
    std::string expected = "1e+020\r\n1\r\nprocedure 7\r\n";
    for (int i = 1; i <= 20; ++i) expected += std::to_string(i) + "\r\n";
    if (read_text(folder + "/dosdose.dat") != expected) return fail("dosdose.dat written wrongly");
    register_set back;
    if (!get_dose(ini.c_str(), back, 0) || back.MEM != 1e20 || back.MEM1 != 1) return fail("read back wrongly");
    std::puts("exchange library found and working");
    return 0;
}
