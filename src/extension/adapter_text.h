#pragma once

#include <cstddef>
#include <string_view>

// Text rules of the adapter lookup; no Windows header, so they build natively as well.

// True when an instance key's "NetCfgInstanceId" text names the adapter: "{", the GUID
// text (any letter case), "}" at position length + 1. What follows the "}" is not examined.
bool InstanceIdNamesAdapter(std::wstring_view instanceId, std::wstring_view guidText);

// "DPTEnable" as read into its 10-unit buffer: at most the first 9 units count, read as a
// decimal number; non-zero means the adapter supports DPT.
constexpr std::size_t DptEnableUnits = 10;
bool DptEnableTextIsSet(const wchar_t (&units)[DptEnableUnits]);
