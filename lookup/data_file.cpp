// The data file's asset key.
#include "lookup/data_file.h"

std::string folded_asset(const char* text, std::size_t length) {
    std::string key(text, length);
    for (char& c : key) c = fold_asset_char(c);
    return key;
}
