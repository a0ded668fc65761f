#pragma once

// The module's one error convention. Inside, a function answers an HRESULT, or lets
// std::bad_alloc rise from an allocation that failed; nothing inside catches it to carry on
// with less. Each COM method, and each window or dialog procedure, is a boundary: it runs its
// body through one of the helpers below, so no exception crosses into the caller.

#include <windows.h>

#include <new>

// The body's HRESULT; E_OUTOFMEMORY when it ran out of memory, E_UNEXPECTED for anything else
// thrown.
template <typename Body> HRESULT ComBoundary(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// For window and dialog procedures: the body's answer, or `failed` when it threw.
template <typename Result, typename Body>
Result ProcedureBoundary(Result failed, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return failed;
    }
}
