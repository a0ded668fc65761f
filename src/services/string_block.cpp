#include "services/string_block.h"

#include <cstring>

StringBlockEntry StringBlockAt(const void* block, std::size_t sizeInBytes, unsigned index) {
    if (block == nullptr || index >= StringsPerBlock) {
        return {};
    }
    const auto* units = static_cast<const char16_t*>(block);
    const std::size_t unitCount = sizeInBytes / sizeof(char16_t);
    std::size_t position = 0;
    for (unsigned i = 0;; ++i) {
        if (position >= unitCount) {
            return {};
        }
        const std::size_t length = units[position];
        ++position;
        if (length > unitCount - position) {
            return {};
        }
        if (i == index) {
            return {units + position, length};
        }
        position += length;
    }
}
