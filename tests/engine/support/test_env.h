// Shared helpers of the engine tests: a temporary folder per test, the test
// plug-ins loaded with dlopen (each copy a separate module with its own
// counters), and the window side's inbox for the engine's end messages.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "post_to_window.h"
#include "wav_writer.h"

/// A fresh folder, removed with its contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name) const { return path_ + "/" + name; }
    std::filesystem::path Folder() const { return path_; }
    /// The names of the files in the folder, sorted.
    std::vector<std::string> Entries() const;

private:
    std::string path_;
};

/// Bytes of the largest unnamed file (O_TMPFILE, or a removed one) that the
/// process `pid` holds open in `folder`; -1 when it holds none there.
std::int64_t UnnamedFileBytes(int pid, const std::string& folder);

/// The nice value of every thread of the process `pid`.
std::vector<int> ThreadNiceValues(int pid);

/// A test plug-in loaded from build/tests/test-plugins. With `copyInto`, the
/// library is first copied under a new name there, so it loads as a separate
/// module with its own variables.
class TestPlugin {
public:
    explicit TestPlugin(const std::string& name, const TempDir* copyInto = nullptr, const std::string& copyName = "");
    ~TestPlugin();
    TestPlugin(const TestPlugin&) = delete;
    TestPlugin& operator=(const TestPlugin&) = delete;
    void* Handle() const { return handle_; }
    /// The exported variable or function `name`; fails the test when absent.
    template <typename T>
    T* Symbol(const std::string& name) const {
        return static_cast<T*>(RawSymbol(name));
    }

private:
    void* RawSymbol(const std::string& name) const;
    void* handle_ = nullptr;
};

/// Collects what the engine posts to the window.
class WindowInbox {
public:
    struct Message {
        int message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    PostToWindow Target();
    /// The next message, waiting up to `timeout`.
    std::optional<Message> Next(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    std::size_t Pending();

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Message> messages_;
};

/// Limits the size of files this process writes, for one scope. Writes past
/// it fail with EFBIG; with `ignoreSignal` false the test relies on the code
/// under test to keep SIGXFSZ from ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes, bool ignoreSignal = true);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    bool ignoresSignal_ = true;
    void (*previousHandler_)(int) = nullptr;
};

/// Sets the output writers' test seams for one scope.
class WriterSeams {
public:
    explicit WriterSeams(const WavWriterSeams& seams) { SetWavWriterSeams(seams); }
    ~WriterSeams() { SetWavWriterSeams(WavWriterSeams{}); }
    WriterSeams(const WriterSeams&) = delete;
    WriterSeams& operator=(const WriterSeams&) = delete;
};
