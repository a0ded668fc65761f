// DecodeHexBytes on a text and a blob buffer of a size around the one it needs, and
// EncodeHexBytes on the raw input, each checked against the other.
#include "fragments/fragment_text.h"
#include "fuzz_support.h"

namespace {

void CheckEncoding(const std::uint8_t* bytes, std::size_t count) {
    // Exactly 2 * count + 1 units, so that a unit written past them is seen.
    fuzz::ExactBlock text((2 * count + 1) * sizeof(wchar_t));
    auto* units = reinterpret_cast<wchar_t*>(text.get());
    EncodeHexBytes(bytes, count, units);
    FUZZ_CHECK(units[2 * count] == L'\0');
    for (std::size_t i = 0; i < 2 * count; ++i) {
        FUZZ_CHECK((units[i] >= L'0' && units[i] <= L'9') ||
                   (units[i] >= L'A' && units[i] <= L'F'));
    }
    const std::wstring_view written(units, 2 * count);
    fuzz::ExactBlock blob(HexBlobSize(written.size()));
    const std::optional<std::size_t> decoded = DecodeHexBytes(written, blob.get(), blob.size());
    FUZZ_CHECK(decoded == count + 2);
    for (std::size_t i = 0; i < count; ++i) {
        FUZZ_CHECK(blob.get()[i] == bytes[i]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    CheckEncoding(data, size);

    // The first byte picks a capacity one below, at or one above the blob's size.
    const std::wstring text = fuzz::Units(data + 1, size - 1);
    const std::size_t needed = HexBlobSize(text.size());
    const std::size_t capacity = needed - 1 + data[0] % 3;
    fuzz::ExactBlock blob(capacity);
    const std::optional<std::size_t> decoded = DecodeHexBytes(text, blob.get(), capacity);

    bool allDigits = true;
    for (wchar_t c : text) {
        allDigits = allDigits && fuzz::IsHexDigit(c);
    }
    const bool expectBlob = text.size() % 2 == 0 && capacity >= needed && allDigits;
    FUZZ_CHECK(decoded.has_value() == expectBlob);
    FUZZ_CHECK(!DecodeHexBytes(text, nullptr, capacity));
    if (!decoded) {
        return 0;
    }
    // The blob is the decoded bytes and two zero bytes, which count in its length; nothing
    // past them is touched.
    const std::size_t byteCount = text.size() / 2;
    FUZZ_CHECK(*decoded == byteCount + 2);
    FUZZ_CHECK(blob.get()[byteCount] == 0 && blob.get()[byteCount + 1] == 0);
    for (std::size_t i = *decoded; i < capacity; ++i) {
        FUZZ_CHECK(blob.get()[i] == 0xA5);
    }
    std::wstring upper;
    for (wchar_t c : text) {
        upper.push_back(c >= L'a' && c <= L'f' ? static_cast<wchar_t>(c - L'a' + L'A') : c);
    }
    std::wstring reencoded(2 * byteCount + 1, L'?');
    EncodeHexBytes(blob.get(), byteCount, reencoded.data());
    reencoded.pop_back();
    FUZZ_CHECK(reencoded == upper);
    return 0;
}
