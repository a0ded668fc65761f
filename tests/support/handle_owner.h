#pragma once

#include "common/owners.h"

namespace handle_owner_detail {
inline void CloseKernelHandle(HANDLE handle) {
    CloseHandle(handle);
}
} // namespace handle_owner_detail

// A kernel object handle (event, mutex, thread, process, file).
using UniqueHandle = UniqueAny<HANDLE, handle_owner_detail::CloseKernelHandle>;
