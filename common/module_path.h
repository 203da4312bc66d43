#pragma once
// The program file's own path, read into a buffer that grows while the system
// reports it cut (returned length equal to the buffer size).
#include <functional>
#include <string>

namespace ostrel {

// query(buffer, size) behaves like GetModuleFileName: returns the number of
// characters written, size when the path was cut, 0 on failure.
using ModulePathQuery = std::function<unsigned(wchar_t* buffer, unsigned size)>;

constexpr unsigned kModulePathInitial = 256;
constexpr unsigned kModulePathStep = 128;
// Far past any path the system can hand out; stops a misbehaving query.
constexpr unsigned kModulePathLimit = 32768 + kModulePathStep;

std::wstring ReadModulePath(const ModulePathQuery& query);

// The running program file's path (Windows; empty on the host, or when the
// system fails to report it).
std::wstring GetRunningModulePath();

// The same path in the ANSI code page, as GetModuleFileNameA would give it,
// for code that calls the narrow Windows functions (empty on the host).
std::string GetRunningModulePathAnsi();

} // namespace ostrel
