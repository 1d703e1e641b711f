// The process's qsort, with a fast path for short arrays of single bytes.
//
// FFmpeg's Graphics ('smc ') encoder sorts the up to sixteen pixels of every 4x4 block with the C
// library's qsort to count the block's colours; for the hot spot tiles the composer writes (mostly
// blank, a few flat shapes) that sort is nine tenths of the encoder's time, most of it calls
// through the comparison function. A run of single bytes needs far less: group equal bytes, order
// the few distinct values with the comparison function and write each value as often as it
// occurs. Any correct sort of single bytes gives these same bytes, so the encoder's output does
// not change. Everything else (wider elements, longer arrays, a comparison that calls two
// different bytes equal, whose order would be up to the library) goes to the C library's qsort_r.
//
// Defined here, in the executable, this qsort takes the place of the C library's for the shared
// libraries too (they look the symbol up in the executable first).
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace qm::detail {

namespace {

int callComparison(const void* a, const void* b, void* compare)
{
    return reinterpret_cast<int (*)(const void*, const void*)>(compare)(a, b);
}

// Sorts count (2..kMaxBytes) bytes; false (bytes untouched) when two different bytes compare equal.
constexpr std::size_t kMaxBytes = 64;

bool sortBytes(unsigned char* bytes, std::size_t count, int (*compare)(const void*, const void*))
{
    // Most blocks are of one colour: nothing to do.
    if (std::memcmp(bytes, bytes + 1, count - 1) == 0)
        return true;
    unsigned char values[kMaxBytes];
    unsigned char occurrences[kMaxBytes];
    std::size_t distinct = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t k = 0;
        while (k < distinct && values[k] != bytes[i])
            ++k;
        if (k == distinct) {
            values[distinct] = bytes[i];
            occurrences[distinct++] = 0;
        }
        ++occurrences[k];
    }
    // Insertion sort of the distinct values (usually one or two).
    for (std::size_t i = 1; i < distinct; ++i) {
        const unsigned char value = values[i];
        const unsigned char times = occurrences[i];
        std::size_t j = i;
        for (; j > 0; --j) {
            const int order = compare(&values[j - 1], &value);
            if (order == 0)
                return false;
            if (order < 0)
                break;
            values[j] = values[j - 1];
            occurrences[j] = occurrences[j - 1];
        }
        values[j] = value;
        occurrences[j] = times;
    }
    for (std::size_t k = 0; k < distinct; ++k)
        for (unsigned char n = 0; n < occurrences[k]; ++n)
            *bytes++ = values[k];
    return true;
}

} // namespace

// Referenced by the compressor so that this file is always linked in with it.
int byteSortLinked() { return 1; }

} // namespace qm::detail

extern "C" void qsort(void* base, std::size_t count, std::size_t size, int (*compare)(const void*, const void*))
{
    if (count < 2)
        return;
    if (size == 1 && count <= qm::detail::kMaxBytes &&
        qm::detail::sortBytes(static_cast<unsigned char*>(base), count, compare))
        return;
    qsort_r(base, count, size, qm::detail::callComparison, reinterpret_cast<void*>(compare));
}
