// Directory scan and caption rule of the effect plug-ins.
#include "plugin_scan.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fnmatch.h>
#include <system_error>

namespace {

constexpr char kPluginPattern[] = "Zarevo_*.so";
constexpr char kPluginPrefix[] = "Zarevo_";

}  // namespace

std::string ProgramFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return program.parent_path().string();
}

std::vector<std::string> FindPluginFiles(const std::string& folder) {
    std::vector<std::string> paths;
    std::error_code error;
    std::filesystem::directory_iterator entries(folder.empty() ? "." : folder, error);
    if (error) return paths;
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    // Stepping with an error code: a folder that fails to read part-way (an
    // I/O error, a removed network share) keeps the plug-ins found so far
    // instead of throwing out of the window's start.
    for (const std::filesystem::directory_iterator end; entries != end; entries.increment(error)) {
        const std::string name = entries->path().filename().string();
        if (fnmatch(kPluginPattern, name.c_str(), 0) == 0) paths.push_back(prefix + name);
    }
    if (error) {
        std::fprintf(stderr, "%s: reading the plug-in folder %s stopped: %s\n", program_invocation_short_name,
                     prefix.c_str(), error.message().c_str());
    }
    // Rationale: the chain order is the byte order of the names, whatever
    // order the directory hands them out in.
    std::sort(paths.begin(), paths.end(), [](const std::string& left, const std::string& right) {
        return std::strcmp(left.c_str(), right.c_str()) < 0;
    });
    return paths;
}

std::string PluginCaption(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    const std::size_t prefixLength = std::strlen(kPluginPrefix);
    return name.size() > prefixLength ? name.substr(prefixLength) : std::string();
}
