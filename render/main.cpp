// zarevo-render: the effect chain of ZarevoPlusApp without a window, for
// batch work. Loads the plug-ins next to the program as the window does,
// sets their parameters from the command line and saves INPUT as OUTPUT
// through the same engine. Exit status: 0 done, 1 failed, 2 usage error.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "output_kind.h"
#include "plugin_scan.h"
#include "plugin_set.h"
#include "render_job.h"
#include "render_options.h"
#include "render_plugins.h"

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;

int Fail(const std::string& message, int status) {
    std::fprintf(stderr, "zarevo-render: %s\n", message.c_str());
    return status;
}

/// Writes `text` to stdout; a text that cannot be written (stdout on a full
/// disk) is a failure, not a success.
int Print(const std::string& text, const char* what) {
    std::fputs(text.c_str(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout)
               ? kDone
               : Fail(std::string(what) + " could not be written", kFailed);
}

/// True when `first` and `second` name the same file: the same text, or an
/// existing file reached through both.
bool NameTheSameFile(const std::string& first, const std::string& second) {
    if (first == second) return true;
    struct stat a {};
    struct stat b {};
    return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

/// Ends the process by `signal` after the clean-up, so that a shell or xargs
/// sees the render as interrupted.
[[noreturn]] void DieBy(int signal) {
    std::fflush(nullptr);
    ::signal(signal, SIG_DFL);
    raise(signal);
    _exit(128 + signal);
}

int Render(const RenderOptions& options, const RenderPlugins& plugins) {
    if (NameTheSameFile(options.input, options.output)) {
        return Fail("OUTPUT must not be INPUT (" + options.input + "): give another file name", kUsageError);
    }
    const OutputKind kind = OutputKindOf(options.output);
    if (!KindHoldsRate(kind, options.rate)) {
        return Fail(std::string(KindName(kind)) + " cannot hold " + std::to_string(options.rate) +
                        " Hz; give --rate one of: " + ValidRatesText(kind) + " Hz",
                    kUsageError);
    }
    if (access(options.input.c_str(), R_OK) != 0) {
        return Fail(options.input + ": cannot be read: " + std::strerror(errno), kFailed);
    }
    std::string error;
    if (!plugins.Apply(error)) return Fail(error, kFailed);

    RenderRequest request;
    request.modules = plugins.Modules();
    request.input = options.input;
    request.output = options.output;
    request.channels = options.channels;
    request.rate = options.rate;
    request.bits = options.bits;
    request.start = options.start;
    request.end = options.end;
    request.quality = options.quality;
    if (!options.quiet && isatty(STDERR_FILENO)) request.progressLabel = options.input;
    RenderResult result;
    result.interruptSignal = CaughtInterrupt();
    if (result.interruptSignal == 0) result = RunRender(request);
    if (!result.completed) {
        // The engine has dropped its unfinished file by now: nothing is left
        // for DieBy, which runs no destructors, to clean up.
        if (result.interruptSignal != 0) DieBy(result.interruptSignal);
        if (result.failedPlugin >= 0) {
            return Fail("plug-in " + plugins.Caption(static_cast<std::size_t>(result.failedPlugin)) + " failed on " +
                            options.input,
                        kFailed);
        }
        return Fail(result.error, kFailed);
    }
    return kDone;
}

}  // namespace

int main(int argc, char** argv) {
    CatchInterrupts();
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(argc, argv, options, error)) return Fail(error, kUsageError);
    if (options.help) return Print(RenderUsage(), "the help");
    if (options.version) return Print(std::string("zarevo-render ") + ZAREVO_VERSION + "\n", "the version");
    PluginSet loaded;
    loaded.LoadFrom(ProgramFolder());
    RenderPlugins plugins;
    if (!plugins.Choose(loaded, options, error)) return Fail(error, kUsageError);
    if (options.list) return Print(plugins.Listing(), "the list");
    return Render(options, plugins);
}
