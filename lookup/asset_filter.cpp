// The search's byte filter: where in a block may the asset begin? A
// position passes when the asset's first and last characters stand where
// they would (ASCII letters in either case). Most of a large data file is
// turned away here, sixteen positions per step where the processor has
// SSE2 (every x86-64), one at a time elsewhere.
#include "lookup/piece_scan.h"
#include "lookup/data_file.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// (byte | fold) == want matches a letter in both cases, anything else exactly.
void filter_char(unsigned char c, unsigned char& fold, unsigned char& want) {
    const unsigned char lower = static_cast<unsigned char>(fold_asset_char(static_cast<char>(c)));
    fold = (lower >= 'a' && lower <= 'z') ? 0x20 : 0;
    want = lower;
}

bool passes(const asset_filter& f, const char* q) {
    return (static_cast<unsigned char>(q[0]) | f.first_fold) == f.first_want &&
           (static_cast<unsigned char>(q[f.length - 1]) | f.last_fold) == f.last_want;
}

}  // namespace

void make_asset_filter(const char* asset, std::size_t length, asset_filter& f) {
    f.length = length;
    if (length == 0) return;
    filter_char(static_cast<unsigned char>(asset[0]), f.first_fold, f.first_want);
    filter_char(static_cast<unsigned char>(asset[length - 1]), f.last_fold, f.last_want);
}

const char* next_asset_candidate(const asset_filter& f, const char* p, const char* end) {
    if (f.length == 0 || end - p < static_cast<std::ptrdiff_t>(f.length)) return nullptr;
    const char* const last = end - f.length;  // the last position the asset fits at
    // Where lines of the asset follow each other, the search asks at the
    // very place the next one begins.
    if (passes(f, p)) return p;
#ifdef __SSE2__
    const __m128i first_fold = _mm_set1_epi8(static_cast<char>(f.first_fold));
    const __m128i first_want = _mm_set1_epi8(static_cast<char>(f.first_want));
    const __m128i last_fold = _mm_set1_epi8(static_cast<char>(f.last_fold));
    const __m128i last_want = _mm_set1_epi8(static_cast<char>(f.last_want));
    const std::size_t back = f.length - 1;
    auto hits = [&](const char* q) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + back));
        return _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, first_fold), first_want),
                             _mm_cmpeq_epi8(_mm_or_si128(b, last_fold), last_want));
    };
    // 64 positions a step while the loads stay inside [p, end).
    while (last - p >= 63) {
        const __m128i h0 = hits(p), h1 = hits(p + 16), h2 = hits(p + 32), h3 = hits(p + 48);
        const __m128i any = _mm_or_si128(_mm_or_si128(h0, h1), _mm_or_si128(h2, h3));
        if (_mm_movemask_epi8(any)) {
            const unsigned long long mask =
                static_cast<unsigned long long>(static_cast<unsigned>(_mm_movemask_epi8(h0))) |
                static_cast<unsigned long long>(static_cast<unsigned>(_mm_movemask_epi8(h1))) << 16 |
                static_cast<unsigned long long>(static_cast<unsigned>(_mm_movemask_epi8(h2))) << 32 |
                static_cast<unsigned long long>(static_cast<unsigned>(_mm_movemask_epi8(h3))) << 48;
            return p + __builtin_ctzll(mask);
        }
        p += 64;
    }
    while (last - p >= 15) {
        if (const int mask = _mm_movemask_epi8(hits(p))) return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    for (; p <= last; ++p)
        if (passes(f, p)) return p;
    return nullptr;
}
