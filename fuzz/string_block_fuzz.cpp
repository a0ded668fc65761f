// StringBlockAt on the bytes of a string-table block as the resource loader hands them over.
#include "fuzz_support.h"
#include "services/string_block.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact, aligned copy: resource data is aligned, and every read past it is seen.
    fuzz::ExactBlock block(size);
    std::memcpy(block.get(), data, size);
    const auto* begin = reinterpret_cast<const char16_t*>(block.get());
    const auto* end = begin + size / sizeof(char16_t);

    // The walk as the format defines it: length unit, then that many units, sixteen times.
    std::size_t position = 0;
    bool broken = false;
    for (unsigned i = 0; i < StringsPerBlock; ++i) {
        const StringBlockEntry entry = StringBlockAt(block.get(), size, i);
        std::size_t length = 0;
        if (!broken && begin + position < end) {
            length = static_cast<std::size_t>(begin[position]);
            ++position;
            broken = length > static_cast<std::size_t>(end - (begin + position));
        } else {
            broken = true;
        }
        if (broken) {
            FUZZ_CHECK(entry.text == nullptr && entry.length == 0);
            continue;
        }
        FUZZ_CHECK(entry.length == length);
        FUZZ_CHECK(entry.text == begin + position);
        FUZZ_CHECK(entry.text + entry.length <= end);
        position += length;
    }
    const StringBlockEntry outside = StringBlockAt(block.get(), size, StringsPerBlock);
    FUZZ_CHECK(outside.text == nullptr && outside.length == 0);
    const StringBlockEntry none = StringBlockAt(nullptr, size, 0);
    FUZZ_CHECK(none.text == nullptr && none.length == 0);
    return 0;
}
