// Shared helpers of the engine tests.
#include "test_env.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <cstdio>
#include <fstream>

std::int64_t UnnamedFileBytes(int pid, const std::string& folder) {
    std::int64_t largest = -1;
    std::error_code failed;
    const std::string inFolder = std::filesystem::weakly_canonical(folder).string() + "/";  // as the kernel names it
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", failed)) {
        std::error_code gone;  // the descriptor may close at any moment
        const std::string target = std::filesystem::read_symlink(entry.path(), gone).string();
        if (gone || target.rfind(inFolder, 0) != 0 || !target.ends_with(" (deleted)")) continue;
        const auto bytes = std::filesystem::file_size(entry.path(), gone);  // through the link, to the file
        if (!gone) largest = std::max<std::int64_t>(largest, static_cast<std::int64_t>(bytes));
    }
    return largest;
}

std::vector<int> ThreadNiceValues(int pid) {
    std::vector<int> values;
    std::error_code failed;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", failed)) {
        std::ifstream stat(task.path() / "stat");
        const std::string line(std::istreambuf_iterator<char>(stat), {});
        int nice = 0;  // the 19th field, the 17th after the command's closing parenthesis
        if (std::sscanf(line.c_str() + line.rfind(')') + 1,
                        "%*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %d", &nice) == 1) {
            values.push_back(nice);
        }
    }
    return values;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zarevo-engine-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes, bool ignoreSignal) : ignoresSignal_(ignoreSignal) {
    if (ignoreSignal) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    if (ignoresSignal_) {
        std::signal(SIGXFSZ, previousHandler_);
    }
}

TestPlugin::TestPlugin(const std::string& name, const TempDir* copyInto, const std::string& copyName) {
    std::string path = std::string(ZAREVO_TEST_PLUGIN_DIR) + "/" + name + ".so";
    if (copyInto != nullptr) {
        const std::string copy = copyInto->Path(copyName + ".so");
        std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
        path = copy;
    }
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        ADD_FAILURE() << "dlopen " << path << ": " << dlerror();
    }
}

TestPlugin::~TestPlugin() {
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

void* TestPlugin::RawSymbol(const std::string& name) const {
    void* symbol = handle_ != nullptr ? dlsym(handle_, name.c_str()) : nullptr;
    if (symbol == nullptr) {
        ADD_FAILURE() << "missing symbol " << name;
    }
    return symbol;
}

PostToWindow WindowInbox::Target() {
    return [this](int message, std::uintptr_t wParam, std::intptr_t lParam) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            messages_.push_back(Message{message, wParam, lParam});
        }
        arrived_.notify_all();
    };
}

std::optional<WindowInbox::Message> WindowInbox::Next(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!arrived_.wait_for(lock, timeout, [this] { return !messages_.empty(); })) {
        return std::nullopt;
    }
    Message message = messages_.front();
    messages_.pop_front();
    return message;
}

std::size_t WindowInbox::Pending() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_.size();
}
