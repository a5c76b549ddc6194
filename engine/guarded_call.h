// Calls into plug-in code. A plug-in is foreign code: an exception thrown out
// of one of its entry points would unwind through the engine and end the
// program, so every call into a plug-in goes through GuardedPluginCall, which
// turns a throw into a failed call that the job reports.
#pragma once

#include <cstddef>
#include <exception>
#include <utility>

/// Logs that the plug-in at chain position `position` threw `what` out of
/// `entryPoint`.
void LogPluginThrow(const char* entryPoint, std::size_t position, const char* what);

/// Runs `call` (one call into the plug-in at chain position `position`),
/// catching whatever it throws. False, with the reason on stderr, when it
/// threw; the plug-in's results are then not to be used.
template <typename Call>
bool GuardedPluginCall(const char* entryPoint, std::size_t position, Call&& call) noexcept {
    try {
        std::forward<Call>(call)();
        return true;
    } catch (const std::exception& error) {
        LogPluginThrow(entryPoint, position, error.what());
    } catch (...) {
        LogPluginThrow(entryPoint, position, "an exception of unknown type");
    }
    return false;
}
