// Tests of the save's output file: the data are synced before the file gets
// the output's name and the folder after it, on every path that publishes,
// and a process killed in the middle of a save leaves nothing in the folder.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>
#include <thread>

#include "output_file.h"
#include "support/sndfile_read.h"
#include "support/test_env.h"
#include "support/wav_bytes.h"
#include "wave_file.h"

namespace {

std::mutex CallsMutex;
std::vector<std::string> Calls;  // the file system calls that order a publish

void Note(const char* call) {
    std::lock_guard lock(CallsMutex);
    Calls.push_back(call);
}

template <typename Function>
Function* Real(const char* name) {
    return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}

std::vector<std::string> TakeCalls() {
    std::lock_guard lock(CallsMutex);
    return std::exchange(Calls, {});
}

}  // namespace

// The engine calls these through the program's own definitions, which go on
// to the C library's and note each call that succeeded.
static int Noted(int result, const char* call) {
    if (result == 0) Note(call);
    return result;
}
extern "C" int fdatasync(int fd) { return Noted(Real<int(int)>("fdatasync")(fd), "sync data"); }
extern "C" int fsync(int fd) {
    struct stat status {};
    const bool folder = fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
    return Noted(Real<int(int)>("fsync")(fd), folder ? "sync folder" : "sync file");
}
extern "C" int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
    using Function = int(int, const char*, int, const char*, int);
    return Noted(Real<Function>("linkat")(fromFolder, from, toFolder, to, flags), "link");
}
extern "C" int rename(const char* from, const char* to) {
    return Noted(Real<int(const char*, const char*)>("rename")(from, to), "rename");
}

namespace {

using namespace std::chrono_literals;

TEST(OutputFile, EveryPublishSyncsTheDataBeforeTheNameAndTheFolderAfterIt) {
    TempDir dir;
    const std::string output = dir.Path("out.wav");
    const Bytes wav = PcmWav(1, 8000, 16, Pattern16Samples(400, 1));
    const auto write = [&](OutputFile& file) {
        ASSERT_TRUE(file.Create(output));
        ASSERT_EQ(pwrite(file.Descriptor(), wav.data(), wav.size(), 0), static_cast<ssize_t>(wav.size()));
        TakeCalls();
    };
    OutputFile created;
    write(created);
    ASSERT_TRUE(created.Publish());
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"sync data", "link", "sync folder"}));
    EXPECT_EQ(ReadFileBytes(output), wav);

    // An existing output is replaced in one step: a hidden link, renamed.
    ASSERT_EQ(chmod(output.c_str(), 0604), 0);
    OutputFile replacing;
    write(replacing);
    ASSERT_TRUE(replacing.Publish());
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"sync data", "link", "rename", "sync folder"}));
    struct stat status {};
    ASSERT_EQ(stat(output.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0604u);

    // The path for a writer that does not come back, from another thread.
    ASSERT_EQ(unlink(output.c_str()), 0);
    OutputFile abandoned;
    write(abandoned);
    std::thread([&abandoned] { abandoned.PublishAbandoned(); }).join();
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"sync data", "link", "sync folder"}));
    EXPECT_FALSE(abandoned.Publish()) << "the writer's own publish leaves it alone";
    EXPECT_EQ(ReadWithSndfile(output).info.frames, 400);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.wav"});
}

TEST(OutputFile, ASaveKilledHalfWayLeavesNothingInTheFolder) {
    TempDir dir;
    const Bytes kept = {'o', 'l', 'd'};
    WriteFileBytes(dir.Path("out.wav"), kept);
    WriteFileBytes(dir.Path("in.wav"), PcmWav(2, 44100, 16, Pattern16Samples(44100 * 20, 2)));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The window's engine, saving through a plug-in that takes a while a block.
        TestPlugin sleepy("sleepy");
        *sleepy.Symbol<int>("SleepMilliseconds") = 50;
        WindowInbox inbox;
        CWaveFile engine(inbox.Target());
        if (engine.PrepareJob({sleepy.Handle()}, dir.Path("in.wav"), dir.Path("out.wav"), 2, 44100, 16,
                              SourceBlockFrames, -1) &&
            engine.StartSave()) {
            pause();
        }
        _exit(1);
    }
    bool sawPartialOutput = false;
    for (int tries = 0; tries < 1000 && !sawPartialOutput; ++tries) {
        sawPartialOutput = UnnamedFileBytes(child, dir.Folder().string()) > 2 * 65536 * 4;
        std::this_thread::sleep_for(10ms);
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(sawPartialOutput);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in.wav", "out.wav"}));
    EXPECT_EQ(ReadFileBytes(dir.Path("out.wav")), kept);
}

}  // namespace
