#pragma once
// No exception may cross a window or dialog procedure, a DLL export or a COM
// method: the system or the C caller on the other side cannot handle it.
// GuardCall runs the body; when it throws, the guard records what it caught
// and where, and returns the boundary's own failure code instead.
//
//   return GuardCall("ZipWriterAddFolder", kZipWriteFailed, [&] { return ...; });
//   return GuardCall("CSim::Open", E_FAIL, E_OUTOFMEMORY, [&] { return ...; }); // COM
#include <exception>
#include <new>
#include <string>
#include <type_traits>

namespace ostrel {

struct SCaughtException {
    std::string m_strWhere;     // the guarded boundary, as named by its GuardCall
    std::string m_strWhat;      // what() of a std::exception, else "unknown exception"
    unsigned long m_nCount = 0; // exceptions caught in this process so far; 0: none
};

// Process-wide record of the last exception a guard caught (where and what
// are cut to 63 and 255 characters). On Windows each one also goes to the
// debugger output as "guard: <where>: <what>". Never throws.
void RecordCaughtException(const char* pszWhere, const char* pszWhat) noexcept;
SCaughtException LastCaughtException();

// The platform's debugger output (OutputDebugString on Windows; nothing on
// the host).
void WriteDebugOutput(const char* pszLine) noexcept;

template <typename T> struct SNotDeduced { using type = T; };

// onOutOfMemory is returned for std::bad_alloc, onFailure for anything else.
template <typename Body, typename Result = std::invoke_result_t<Body&>>
Result GuardCall(const char* pszWhere, typename SNotDeduced<Result>::type onFailure,
                 typename SNotDeduced<Result>::type onOutOfMemory, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        RecordCaughtException(pszWhere, "out of memory");
        return onOutOfMemory;
    } catch (const std::exception& e) {
        RecordCaughtException(pszWhere, e.what());
        return onFailure;
    } catch (...) {
        RecordCaughtException(pszWhere, "unknown exception");
        return onFailure;
    }
}

template <typename Body, typename Result = std::invoke_result_t<Body&>>
Result GuardCall(const char* pszWhere, typename SNotDeduced<Result>::type onFailure,
                 Body&& body) noexcept {
    return GuardCall(pszWhere, onFailure, onFailure, body);
}

} // namespace ostrel
