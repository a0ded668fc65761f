#pragma once

#include <windows.h>

// Keeps the happy path straight: return the failure where it happens.
#define RETURN_IF_FAILED(expr)                                                                     \
    do {                                                                                           \
        const HRESULT hr_ = (expr);                                                                \
        if (FAILED(hr_)) {                                                                         \
            return hr_;                                                                            \
        }                                                                                          \
    } while (0)

#define RETURN_HR_IF_NULL(hr, ptr)                                                                 \
    do {                                                                                           \
        if ((ptr) == nullptr) {                                                                    \
            return (hr);                                                                           \
        }                                                                                          \
    } while (0)
