// The log line of a plug-in call that threw.
#include "guarded_call.h"

#include "failure_log.h"

void LogPluginThrow(const char* entryPoint, std::size_t position, const char* what) {
    LogEngineFailure("the plug-in at chain position %zu threw from %s: %s", position, entryPoint, what);
}
