#pragma once

#include <cstddef>
#include <cstdint>

// A string-table resource block: 16 strings, each a 16-bit length followed by that many
// UTF-16 units, no terminators. Block b holds the ids (b - 1) * 16 to (b - 1) * 16 + 15.

struct StringBlockEntry {
    const char16_t* text = nullptr; // not terminated
    std::size_t length = 0;         // 0 for an id without a string
};

constexpr unsigned StringsPerBlock = 16;

constexpr unsigned StringBlockOfId(unsigned id) {
    return id / StringsPerBlock + 1;
}

constexpr unsigned FirstIdOfBlock(unsigned block) {
    return (block - 1) * StringsPerBlock;
}

// The entry at position index (0 to 15) of a block of sizeInBytes bytes. A block too short
// for its own lengths yields an empty entry instead of a read past its end.
StringBlockEntry StringBlockAt(const void* block, std::size_t sizeInBytes, unsigned index);
