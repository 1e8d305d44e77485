// The boundary between the driver host and the plug-in's core: no exception
// may leave a method the host calls (a COM method or a DDI hook), because the
// host is not C++ and cannot unwind through it. Every such method runs its
// work inside Guarded(), which turns an exception into the method's failure
// value and a trace line.
#pragma once

#include <exception>
#include <new>

#include "core/trace.h"

namespace kx {

// Traces a failure at the boundary. Never throws: tracing formats and
// converts text, which needs memory that may be what just ran out.
inline void TraceBoundaryFailure(const char16_t* where, bool outOfMemory) noexcept
{
    try {
        if (outOfMemory)
            Trace(u"ERROR UNI(IKXDriverUni):  %s() out of memory - call failed \r\n", where);
        else
            Trace(u"ERROR UNI(IKXDriverUni):  %s() exception - call failed \r\n", where);
    } catch (...) {
        // The trace line is lost; the caller still gets the failure value.
    }
}

// Runs body() and returns its result. std::bad_alloc gives outOfMemory, any
// other exception gives failure; both are traced with where (the method's
// name).
template <class R, class Body>
R Guarded(const char16_t* where, R outOfMemory, R failure, Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        TraceBoundaryFailure(where, true);
        return outOfMemory;
    } catch (...) {
        TraceBoundaryFailure(where, false);
        return failure;
    }
}

// The same for hooks that have a single failure value (FALSE, 0).
template <class R, class Body>
R Guarded(const char16_t* where, R failure, Body&& body) noexcept
{
    return Guarded(where, failure, failure, static_cast<Body&&>(body));
}

// For COM methods: E_OUTOFMEMORY when memory ran out, E_FAIL otherwise.
template <class Body>
HRESULT GuardedCom(const char16_t* where, Body&& body) noexcept
{
    return Guarded<HRESULT>(where, E_OUTOFMEMORY, E_FAIL, static_cast<Body&&>(body));
}

}  // namespace kx
