// The data file's tokens and its asset comparison.
#include "lookup/data_file.h"

std::string folded_asset(const char* text, std::size_t length) {
    std::string key(text, length);
    for (char& c : key) c = fold_asset_char(c);
    return key;
}

int same_asset(const char* token, std::size_t length, const char* asset) {
    for (std::size_t i = 0; i < length; ++i)
        if (asset[i] == '\0' || fold_asset_char(token[i]) != fold_asset_char(asset[i])) return 0;
    return asset[length] == '\0' ? 1 : 0;
}

const char* next_data_token(const char*& p, const char* end, std::size_t& length) {
    while (p < end && is_data_delimiter(*p)) ++p;
    if (p == end) return nullptr;
    const char* start = p;
    while (p < end && !is_data_delimiter(*p)) ++p;
    length = std::size_t(p - start);
    return start;
}
