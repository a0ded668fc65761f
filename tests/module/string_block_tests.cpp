#include "services/string_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Builds a block from up to 16 texts, as the resource compiler lays it out.
std::vector<char16_t> Block(const std::vector<std::u16string>& texts) {
    std::vector<char16_t> units;
    for (unsigned i = 0; i < StringsPerBlock; ++i) {
        const std::u16string text = i < texts.size() ? texts[i] : u"";
        units.push_back(static_cast<char16_t>(text.size()));
        units.insert(units.end(), text.begin(), text.end());
    }
    return units;
}

std::u16string Text(const StringBlockEntry& entry) {
    return {entry.text, entry.length};
}

TEST(StringBlock, IdsMapToBlocksOfSixteen) {
    EXPECT_EQ(251u, StringBlockOfId(4000));
    EXPECT_EQ(347u, StringBlockOfId(5551));
    EXPECT_EQ(355u, StringBlockOfId(5679));
    EXPECT_EQ(4000u, FirstIdOfBlock(251));
}

TEST(StringBlock, WalksToEachEntry) {
    const auto block = Block({u"zero", u"", u"two", u"three"});
    const size_t bytes = block.size() * sizeof(char16_t);
    EXPECT_EQ(u"zero", Text(StringBlockAt(block.data(), bytes, 0)));
    EXPECT_EQ(0u, StringBlockAt(block.data(), bytes, 1).length);
    EXPECT_EQ(u"two", Text(StringBlockAt(block.data(), bytes, 2)));
    EXPECT_EQ(u"three", Text(StringBlockAt(block.data(), bytes, 3)));
    EXPECT_EQ(0u, StringBlockAt(block.data(), bytes, 15).length);
    EXPECT_EQ(0u, StringBlockAt(block.data(), bytes, 16).length);
}

TEST(StringBlock, TruncatedBlocksYieldEmptyEntries) {
    const auto block = Block({u"zero", u"one"});
    // Cut inside the second text: its length claims more than the block holds.
    const size_t bytes = (1 + 4 + 1 + 1) * sizeof(char16_t);
    EXPECT_EQ(u"zero", Text(StringBlockAt(block.data(), bytes, 0)));
    EXPECT_EQ(0u, StringBlockAt(block.data(), bytes, 1).length);
    EXPECT_EQ(0u, StringBlockAt(block.data(), 0, 0).length);
    EXPECT_EQ(0u, StringBlockAt(nullptr, 64, 0).length);
}

} // namespace
