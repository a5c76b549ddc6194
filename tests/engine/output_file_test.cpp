// Tests of the save's output file: data synced before the name and the folder after it
// on every path that publishes; a save killed half-way leaves nothing in the folder.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <type_traits>

#include "output_file.h"
#include "support/sndfile_read.h"
#include "support/test_env.h"
#include "support/wav_bytes.h"
#include "wave_file.h"

namespace {

std::vector<std::string> Calls;  // the publish's file system calls that succeeded (threads joined)

int Noted(int result, const char* call) {
    if (result == 0) Calls.push_back(call);
    return result;
}

}  // namespace

// The engine calls these through the program's own definitions, which go on
// to the C library's.
#define REAL(name, type) reinterpret_cast<std::add_pointer_t<type>>(dlsym(RTLD_NEXT, #name))
extern "C" int fdatasync(int fd) { return Noted(REAL(fdatasync, int(int))(fd), "sync data"); }
extern "C" int fsync(int fd) { return Noted(REAL(fsync, int(int))(fd), "sync"); }
extern "C" int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
    return Noted(REAL(linkat, int(int, const char*, int, const char*, int))(fromFolder, from, toFolder, to, flags),
                 "link");
}
extern "C" int rename(const char* from, const char* to) {
    return Noted(REAL(rename, int(const char*, const char*))(from, to), "rename");
}

namespace {

TEST(OutputFile, EveryPublishSyncsTheDataBeforeTheNameAndTheFolderAfterIt) {
    TempDir dir;
    const std::string output = dir.Path("out.wav");
    const Bytes wav = PcmWav(1, 8000, 16, Pattern16Samples(400, 1));
    const auto write = [&](OutputFile& file) {
        ASSERT_TRUE(file.Create(output));
        ASSERT_EQ(pwrite(file.Descriptor(), wav.data(), wav.size(), 0), static_cast<ssize_t>(wav.size()));
        Calls.clear();
    };
    OutputFile created;
    write(created);
    ASSERT_TRUE(created.Publish());
    EXPECT_EQ(std::exchange(Calls, {}), (std::vector<std::string>{"sync data", "link", "sync"}));

    // An existing output is replaced in one step: a hidden link, renamed.
    OutputFile replacing;
    write(replacing);
    ASSERT_TRUE(replacing.Publish());
    EXPECT_EQ(std::exchange(Calls, {}), (std::vector<std::string>{"sync data", "link", "rename", "sync"}));

    // The path for a writer that does not come back, from another thread.
    ASSERT_EQ(unlink(output.c_str()), 0);
    OutputFile abandoned;
    write(abandoned);
    std::thread([&abandoned] { abandoned.PublishAbandoned(); }).join();
    EXPECT_EQ(std::exchange(Calls, {}), (std::vector<std::string>{"sync data", "link", "sync"}));
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
        engine.PrepareJob({sleepy.Handle()}, dir.Path("in.wav"), dir.Path("out.wav"), 2, 44100, 16, 65536, -1);
        _exit(engine.StartSave() ? pause() : 1);
    }
    bool sawPartialOutput = false;
    for (int tries = 0; tries < 1000 && !sawPartialOutput; ++tries) {
        sawPartialOutput = UnnamedFileBytes(child, dir.Folder().string()) > 2 * 65536 * 4;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(sawPartialOutput);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in.wav", "out.wav"}));
    EXPECT_EQ(ReadFileBytes(dir.Path("out.wav")), kept);
}

}  // namespace
