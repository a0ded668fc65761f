#include "text_io.h"

#include <cstdio>
#include <vector>

namespace {

// Vendor sections and scripts are small; anything larger is no input of this program.
constexpr LONGLONG MaxTextFileBytes = 16LL * 1024 * 1024;

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

std::optional<std::wstring> FromUtf8(const char* bytes, size_t size) {
    if (size == 0) {
        return std::wstring();
    }
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes,
                                           static_cast<int>(size), nullptr, 0);
    if (length == 0) {
        return std::nullopt;
    }
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(size), text.data(),
                        length);
    return text;
}

std::wstring FromUtf16(const unsigned char* bytes, size_t size, bool bigEndian) {
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const unsigned high = bigEndian ? bytes[i] : bytes[i + 1];
        const unsigned low = bigEndian ? bytes[i + 1] : bytes[i];
        text.push_back(static_cast<wchar_t>((high << 8) | low));
    }
    return text;
}

// Without a byte-order mark, ASCII-heavy UTF-16LE text has a zero in most odd bytes.
bool LooksLikeUtf16LittleEndian(const unsigned char* bytes, size_t size) {
    if (size < 2 || size % 2 != 0) {
        return false;
    }
    size_t zeros = 0;
    for (size_t i = 1; i < size; i += 2) {
        zeros += bytes[i] == 0 ? 1 : 0;
    }
    return zeros * 2 > size / 2;
}

void WriteTo(DWORD handleId, const std::wstring& text) {
    const std::string bytes = ToUtf8(text + L"\n");
    DWORD written = 0;
    WriteFile(GetStdHandle(handleId), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
              nullptr);
}

} // namespace

std::wstring SystemMessage(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const UniqueLocalString owned(buffer);
    std::wstring message = length != 0 ? std::wstring(owned.get(), length) : L"";
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    return message;
}

std::optional<std::wstring> ReadTextFile(const std::wstring& path, std::wstring& error) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = SystemMessage(GetLastError());
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > MaxTextFileBytes) {
        error = L"not a readable file of at most 16 MiB";
        return std::nullopt;
    }
    std::vector<unsigned char> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        error = SystemMessage(GetLastError());
        return std::nullopt;
    }
    const unsigned char* data = bytes.data();
    size_t count = bytes.size();
    std::optional<std::wstring> text;
    if (count >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        text = FromUtf16(data + 2, count - 2, false);
    } else if (count >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
        text = FromUtf16(data + 2, count - 2, true);
    } else if (count >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        text = FromUtf8(reinterpret_cast<const char*>(data + 3), count - 3);
    } else if (LooksLikeUtf16LittleEndian(data, count)) {
        text = FromUtf16(data, count, false);
    } else {
        text = FromUtf8(reinterpret_cast<const char*>(data), count);
    }
    if (!text) {
        error = L"neither UTF-8 nor UTF-16 text";
        return std::nullopt;
    }
    while (!text->empty() && (text->back() == L'\n' || text->back() == L'\r')) {
        text->pop_back();
    }
    return text;
}

bool WriteTextFile(const std::wstring& path, const std::wstring& text, std::wstring& error) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = SystemMessage(GetLastError());
        return false;
    }
    const std::string bytes = ToUtf8(text + L"\n");
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        error = SystemMessage(GetLastError());
        return false;
    }
    return true;
}

void Print(const std::wstring& text) {
    WriteTo(STD_OUTPUT_HANDLE, text);
}

void PrintError(const std::wstring& text) {
    WriteTo(STD_ERROR_HANDLE, text);
}
