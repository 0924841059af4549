// The search's byte filter: where in a block may the asset begin, and where
// does a Ctrl-Z end the file? A position passes when the asset's first and
// last characters stand where they would (ASCII letters in either case), or
// when it holds a Ctrl-Z, so that one pass over a block finds both. Most of
// a large data file is turned away here: 32 positions a compare where the
// processor has AVX2 (asked once, at the first call), 16 with SSE2 (every
// x86-64), one at a time elsewhere.
#include "lookup/piece_scan.h"
#include "lookup/data_file.h"

#ifdef __SSE2__
#include <immintrin.h>
#endif

namespace {

// (byte | fold) == want matches a letter in both cases, anything else exactly.
void filter_char(unsigned char c, unsigned char& fold, unsigned char& want) {
    const unsigned char lower = static_cast<unsigned char>(fold_asset_char(static_cast<char>(c)));
    fold = (lower >= 'a' && lower <= 'z') ? 0x20 : 0;
    want = lower;
}

bool passes(const asset_filter& f, const char* q) {
    return ((static_cast<unsigned char>(q[0]) | f.first_fold) == f.first_want &&
            (static_cast<unsigned char>(q[f.length - 1]) | f.last_fold) == f.last_want) ||
           q[0] == TEXT_END_OF_FILE;
}

// One position at a time, from p to last.
const char* next_one_by_one(const asset_filter& f, const char* p, const char* last) {
    for (; p <= last; ++p)
        if (passes(f, p)) return p;
    return nullptr;
}

#ifdef __SSE2__
// 64 positions a step with SSE2 while the loads stay inside [p, last + length),
// then 16. Returns the first that passes, or where the steps stopped in `p`.
const char* next_sse2(const asset_filter& f, const char*& p, const char* last) {
    const __m128i first_fold = _mm_set1_epi8(static_cast<char>(f.first_fold));
    const __m128i first_want = _mm_set1_epi8(static_cast<char>(f.first_want));
    const __m128i last_fold = _mm_set1_epi8(static_cast<char>(f.last_fold));
    const __m128i last_want = _mm_set1_epi8(static_cast<char>(f.last_want));
    const __m128i ctrl_z = _mm_set1_epi8(TEXT_END_OF_FILE);
    const std::size_t back = f.length - 1;
    auto hits = [&](const char* q) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + back));
        const __m128i asset = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, first_fold), first_want),
                                            _mm_cmpeq_epi8(_mm_or_si128(b, last_fold), last_want));
        return _mm_or_si128(asset, _mm_cmpeq_epi8(a, ctrl_z));
    };
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
    return nullptr;
}

// The filter's bytes, each in every lane of a 32-byte vector.
struct avx2_filter {
    __m256i first_fold, first_want, last_fold, last_want, ctrl_z;
    std::size_t back;  // from the asset's first character to its last
};

// The 32 positions from q that pass, as a vector of 0xFF bytes.
__attribute__((target("avx2"))) inline __m256i avx2_hits(const avx2_filter& v, const char* q) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + v.back));
    const __m256i asset = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(a, v.first_fold), v.first_want),
                                           _mm256_cmpeq_epi8(_mm256_or_si256(b, v.last_fold), v.last_want));
    return _mm256_or_si256(asset, _mm256_cmpeq_epi8(a, v.ctrl_z));
}

// The same as next_sse2, 128 positions a step with AVX2.
__attribute__((target("avx2"))) const char* next_avx2(const asset_filter& f, const char*& p,
                                                       const char* last) {
    avx2_filter v;
    v.first_fold = _mm256_set1_epi8(static_cast<char>(f.first_fold));
    v.first_want = _mm256_set1_epi8(static_cast<char>(f.first_want));
    v.last_fold = _mm256_set1_epi8(static_cast<char>(f.last_fold));
    v.last_want = _mm256_set1_epi8(static_cast<char>(f.last_want));
    v.ctrl_z = _mm256_set1_epi8(TEXT_END_OF_FILE);
    v.back = f.length - 1;
    while (last - p >= 127) {
        const __m256i h0 = avx2_hits(v, p), h1 = avx2_hits(v, p + 32), h2 = avx2_hits(v, p + 64), h3 = avx2_hits(v, p + 96);
        const __m256i any = _mm256_or_si256(_mm256_or_si256(h0, h1), _mm256_or_si256(h2, h3));
        if (!_mm256_testz_si256(any, any)) {
            const unsigned long long low =
                static_cast<unsigned long long>(static_cast<unsigned>(_mm256_movemask_epi8(h0))) |
                static_cast<unsigned long long>(static_cast<unsigned>(_mm256_movemask_epi8(h1))) << 32;
            if (low) return p + __builtin_ctzll(low);
            const unsigned long long high =
                static_cast<unsigned long long>(static_cast<unsigned>(_mm256_movemask_epi8(h2))) |
                static_cast<unsigned long long>(static_cast<unsigned>(_mm256_movemask_epi8(h3))) << 32;
            return p + 64 + __builtin_ctzll(high);
        }
        p += 128;
    }
    while (last - p >= 31) {
        if (const unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(avx2_hits(v, p))))
            return p + __builtin_ctz(mask);
        p += 32;
    }
    return nullptr;
}

bool has_avx2() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#endif

}  // namespace

void make_asset_filter(const char* asset, std::size_t length, asset_filter& f) {
    f.length = length;
    if (length == 0) return;
    filter_char(static_cast<unsigned char>(asset[0]), f.first_fold, f.first_want);
    filter_char(static_cast<unsigned char>(asset[length - 1]), f.last_fold, f.last_want);
}

int asset_filter_widest_step() {
#ifdef __SSE2__
    return has_avx2() ? 32 : 16;
#else
    return 1;
#endif
}

const char* next_asset_candidate_in_steps(const asset_filter& f, const char* p, const char* end, int step) {
    if (f.length == 0 || end - p < static_cast<std::ptrdiff_t>(f.length)) return nullptr;
    const char* const last = end - f.length;  // the last position the asset fits at
    // Where lines of the asset follow each other, the search asks at the
    // very place the next one begins.
    if (passes(f, p)) return p;
#ifdef __SSE2__
    if (step >= 32)
        if (const char* q = next_avx2(f, p, last)) return q;
    if (step >= 16)
        if (const char* q = next_sse2(f, p, last)) return q;
#endif
    return next_one_by_one(f, p, last);
}

const char* next_asset_candidate(const asset_filter& f, const char* p, const char* end) {
    static const int step = asset_filter_widest_step();
    return next_asset_candidate_in_steps(f, p, end, step);
}
