// zarevo-render run as a user runs it: a parameter given on the command line
// reaches the effect, usage errors exit with 2 and name what is valid, a
// failed or interrupted render leaves an existing OUTPUT as it was, and the
// output is the very file a save through the engine writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <numbers>
#include <sstream>
#include <thread>

#include "parameter_text.h"
#include "plugin_set.h"
#include "support/test_env.h"
#include "wave_file.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

/// A 16-bit stereo tone of `hz` at `rate`, the same on both channels.
void WriteTone(const std::string& path, double hz, int rate, long frames) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<short> block(2 * 4096);
    for (long start = 0; start < frames; start += 4096) {
        const long count = std::min<long>(4096, frames - start);
        for (long i = 0; i < count; ++i) {
            const auto value =
                static_cast<short>(std::lround(12000 * std::sin(2 * std::numbers::pi * hz * (start + i) / rate)));
            block[2 * i] = block[2 * i + 1] = value;
        }
        ASSERT_EQ(sf_writef_short(file, block.data(), count), count);
    }
    sf_close(file);
}

struct Finished {
    int exitStatus = -1;  ///< -1 when ended by a signal
    int signal = 0;
    std::string stdoutText;
    std::string stderrText;
};

/// Runs zarevo-render (or the copy `program`) with `arguments`;
/// `whileRunning` (if given) gets its process id before the wait.
Finished RunRenderer(const std::vector<std::string>& arguments, const std::function<void(pid_t)>& whileRunning = {},
                     const std::string& program = ZAREVO_RENDER_PROGRAM) {
    TempDir streams;
    const std::string out = streams.Path("stdout");
    const std::string err = streams.Path("stderr");
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    Finished finished;
    EXPECT_EQ(spawned, 0);
    if (spawned != 0) return finished;
    if (whileRunning) whileRunning(pid);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) finished.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) finished.signal = WTERMSIG(status);
    finished.stdoutText = ReadBytes(out);
    finished.stderrText = ReadBytes(err);
    return finished;
}

int LineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

}  // namespace

TEST(ZarevoRender, UsageErrorsExitWithTwoNamingWhatIsValid) {
    TempDir files;
    const std::string input = files.Path("in.wav");
    const std::string output = files.Path("out.wav");
    WriteTone(input, 440, 22050, 1000);
    fs::create_symlink(input, files.Path("link.wav"));
    struct Case {
        std::vector<std::string> arguments;
        const char* said;
    };
    const std::vector<Case> cases = {
        {{"--frobnicate", input, output}, "unknown option '--frobnicate' (valid: --list, --set,"},
        {{"-x", input, output}, "unknown option '-x'"},
        {{input, output, "--set"}, "option '--set' needs a value"},
        {{"--channels", "3", input, output}, "--channels takes 1 or 2, not '3'"},
        {{"--bits", "24", input, output}, "--bits takes 8 or 16, not '24'"},
        {{"--rate", "-5", input, output}, "--rate takes a whole number of Hz above 0, not '-5'"},
        {{"--rate", "44.1k", input, output}, "--rate takes a whole number of Hz above 0"},
        {{"--start", "1:75", input, output}, "--start takes a time of the source as seconds or m:ss.sss"},
        {{"--start", "2", "--end", "0:01.5", input, output}, "--end must come after --start"},
        {{input}, "give INPUT and OUTPUT"},
        {{input, output, output}, "give only INPUT and OUTPUT"},
        {{"--plugins", "echo", input, output}, "no plug-in 'echo' (found: "},
        {{"--set", "PitchOctaves=1", input, output}, "--set takes CAPTION.NAME=VALUE"},
        {{"--set", "nothing.Such=1", input, output}, "--set: no parameter 'nothing.Such'"},
        {{"--preset", "no-such-preset", input, output}, "--preset: no preset 'no-such-preset'"},
        {{input, input}, "OUTPUT must not be INPUT"},
        {{input, files.Path("link.wav")}, "OUTPUT must not be INPUT"},
        {{"--quality", "11", input, output}, "--quality takes a whole number from 0 (smallest file) to 10"},
        {{input, files.Path("out.opus")},
         "Opus cannot hold 22050 Hz; give --rate one of: 8000, 12000, 16000, 24000, "
         "48000 Hz"},
#if ZAREVO_HAVE_SHIPPED_PLUGINS
        {{"--set", "original.Pitch=1", input, output}, "valid: original.PitchOctaves, original.SpeedExponent,"},
        {{"--set", "original.PitchOctaves=2", input, output}, "give a number from -1 to 1"},
        {{"--set", "sample.VocalCancel=yes", input, output}, "give 0 or 1"},
        {{"--plugins", "sample", "--set", "original.ApplyRatio=1", input, output}, "valid: sample.VocalCancel)"},
        {{"--preset", "loud", input, output}, "valid: original.chord-cf, original.fast-listen, original.telephone,"},
#endif
    };
    for (const Case& c : cases) {
        const Finished run = RunRenderer(c.arguments);
        SCOPED_TRACE(run.stderrText);
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_EQ(run.stderrText.rfind("zarevo-render: ", 0), 0u);
        EXPECT_NE(run.stderrText.find(c.said), std::string::npos);
        EXPECT_EQ(LineCount(run.stderrText), 1);
        EXPECT_FALSE(fs::exists(output));
    }
    EXPECT_EQ(files.Entries(), (std::vector<std::string>{"in.wav", "link.wav"})) << "no file was left behind";
    // What cannot be printed is no success either.
    for (const char* option : {"--help", "--version"}) {
        const int status =
            std::system((std::string(ZAREVO_RENDER_PROGRAM) + " " + option + " >/dev/full 2>&1").c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << option;
    }
}

TEST(ZarevoRender, FailedOrInterruptedRenderLeavesAnExistingOutputAsItWas) {
    TempDir files;
    const std::string output = files.Path("out.wav");
    const std::string kept = "an earlier render's bytes";
    WriteBytes(output, kept);
    WriteBytes(files.Path("notes.txt"), "not a sound file at all\n");
    fs::create_directory(files.Path("folder"));
    const Finished unreadable = RunRenderer({files.Path("notes.txt"), output});
    EXPECT_EQ(unreadable.exitStatus, 1) << unreadable.stderrText;
    // The engine's line with its reason may come first; the renderer's own
    // line closes the report.
    EXPECT_LE(LineCount(unreadable.stderrText), 2) << unreadable.stderrText;
    EXPECT_NE(unreadable.stderrText.find("zarevo-render: " + files.Path("notes.txt") + ": cannot be opened"),
              std::string::npos)
        << unreadable.stderrText;
    const Finished missing = RunRenderer({files.Path("missing.wav"), output});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_NE(missing.stderrText.find("missing.wav: cannot be read"), std::string::npos) << missing.stderrText;
    EXPECT_EQ(ReadBytes(output), kept);

    // A folder is not a file the render may replace.
    const std::string input = files.Path("in.wav");
    WriteTone(input, 441, 44100, 44100);
    const Finished onFolder = RunRenderer({input, files.Path("folder")});
    EXPECT_EQ(onFolder.exitStatus, 1);
    EXPECT_NE(onFolder.stderrText.find("is not a regular file"), std::string::npos) << onFolder.stderrText;

    // Interrupted once it has written part of its output: long enough at
    // 44100 Hz through the whole chain to take several seconds. Even SIGKILL leaves nothing.
    WriteTone(files.Path("long.wav"), 441, 44100, 44100L * 240);
    const std::vector<std::string> before = files.Entries();
    // Every thread of the render (the effect's helpers too) keeps the caller's priority.
    const int callerNice = getpriority(PRIO_PROCESS, 0);
    for (const int signal : {SIGKILL, SIGINT}) {
        bool sawPartialOutput = false;
        std::vector<int> threadNice;
        const Finished interrupted = RunRenderer({"--rate", "44100", files.Path("long.wav"), output}, [&](pid_t pid) {
            for (int tries = 0; tries < 3000 && !sawPartialOutput; ++tries) {
                sawPartialOutput = UnnamedFileBytes(pid, files.Folder().string()) > 1000000;
                std::this_thread::sleep_for(10ms);
            }
            threadNice = ThreadNiceValues(pid);
            kill(pid, signal);
        });
        EXPECT_TRUE(sawPartialOutput);
        EXPECT_GE(threadNice.size(), 2u);
        EXPECT_EQ(threadNice, std::vector<int>(threadNice.size(), callerNice));
        EXPECT_EQ(interrupted.signal, signal) << interrupted.stderrText;
        EXPECT_EQ(ReadBytes(output), kept);
        EXPECT_EQ(files.Entries(), before);
    }
}

TEST(ZarevoRender, APlugInThatThrowsIsNamedAndOneThatHangsDoesNotHoldAnInterruptedRender) {
    // A copy of the renderer loads the test plug-in placed beside it.
    TempDir files;
    const std::string program = files.Path("zarevo-render");
    fs::copy_file(ZAREVO_RENDER_PROGRAM, program);
    const std::string input = files.Path("in.wav");
    const std::string output = files.Path("out.wav");
    const std::string kept = "an earlier render's bytes";
    WriteTone(input, 441, 44100, 44100);
    WriteBytes(output, kept);

    const std::string throwing = files.Path("Zarevo_throwing.so");
    fs::copy_file(std::string(ZAREVO_TEST_PLUGIN_DIR) + "/throwing.so", throwing);
    setenv("ZAREVO_TEST_THROW_FROM", "C", 1);
    const Finished failed = RunRenderer({input, output}, {}, program);
    unsetenv("ZAREVO_TEST_THROW_FROM");
    EXPECT_EQ(failed.exitStatus, 1);
    EXPECT_NE(failed.stderrText.find("zarevo-render: plug-in throwing failed on " + input), std::string::npos)
        << failed.stderrText;
    fs::remove(throwing);

    // Held inside its first block: SIGTERM still ends the render within the
    // engine's grace, by that signal, with no file left behind.
    fs::copy_file(std::string(ZAREVO_TEST_PLUGIN_DIR) + "/never_returns.so", files.Path("Zarevo_never_returns.so"));
    bool started = false;
    bool endedInTime = false;
    const Finished held = RunRenderer(
        {input, output},
        [&](pid_t pid) {
            for (int tries = 0; tries < 1000 && !started; ++tries) {
                started = UnnamedFileBytes(pid, files.Folder().string()) >= 0;
                std::this_thread::sleep_for(10ms);
            }
            kill(pid, SIGTERM);
            for (int tries = 0; tries < 100 && !endedInTime; ++tries) {
                std::this_thread::sleep_for(100ms);
                siginfo_t info{};
                endedInTime = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                              info.si_pid == pid;
            }
            if (!endedInTime) kill(pid, SIGKILL);
        },
        program);
    EXPECT_TRUE(started);
    EXPECT_TRUE(endedInTime) << "killed after 10 s";
    EXPECT_EQ(held.signal, SIGTERM) << held.stderrText;
    EXPECT_EQ(ReadBytes(output), kept);
    EXPECT_EQ(files.Entries(),
              (std::vector<std::string>{"Zarevo_never_returns.so", "in.wav", "out.wav", "zarevo-render"}));
}

#if ZAREVO_HAVE_SHIPPED_PLUGINS

namespace {

struct Sound {
    SF_INFO info{};
    std::vector<double> left;
};

/// The file as libsndfile reads it: its format and its left channel.
Sound ReadSound(const std::string& path) {
    Sound sound;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &sound.info);
    EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    if (!file) return sound;
    std::vector<double> frames(static_cast<std::size_t>(sound.info.frames * sound.info.channels));
    sf_readf_double(file, frames.data(), sound.info.frames);
    sf_close(file);
    for (std::size_t i = 0; i < frames.size(); i += static_cast<std::size_t>(sound.info.channels)) {
        sound.left.push_back(frames[i]);
    }
    return sound;
}

/// The frequency between `low` and `high` Hz (0.1 Hz steps) with the most
/// energy in `samples`.
double StrongestFrequency(const std::vector<double>& samples, int rate, double low, double high) {
    double best = 0;
    double bestEnergy = -1;
    for (double hz = low; hz <= high; hz += 0.1) {
        double re = 0;
        double im = 0;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const double phase = 2 * std::numbers::pi * hz * static_cast<double>(i) / rate;
            re += samples[i] * std::cos(phase);
            im += samples[i] * std::sin(phase);
        }
        if (re * re + im * im > bestEnergy) {
            bestEnergy = re * re + im * im;
            best = hz;
        }
    }
    return best;
}

}  // namespace

TEST(ZarevoRender, PitchGivenOnTheCommandLineReachesTheEffect) {
    TempDir files;
    WriteTone(files.Path("a440.wav"), 440, 44100, 44100 * 6);
    const Finished run = RunRenderer({"--plugins", "original", "--set", "original.PitchOctaves=0.4166666",
                                      files.Path("a440.wav"), files.Path("d.wav")});
    ASSERT_EQ(run.exitStatus, 0) << run.stderrText;
    EXPECT_EQ(run.stderrText, "") << "no progress when stderr is not a terminal";
    const Sound sound = ReadSound(files.Path("d.wav"));
    // The window's default save format.
    EXPECT_EQ(sound.info.samplerate, 22050);
    EXPECT_EQ(sound.info.channels, 2);
    EXPECT_EQ(sound.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    // One second from the middle, past the effect's start-up.
    ASSERT_GT(sound.left.size(), 22050u * 4);
    const std::vector<double> middle(sound.left.begin() + 22050 * 2, sound.left.begin() + 22050 * 3);
    const double expected = 440 * std::pow(2.0, 0.4166666);  // 587.3 Hz, C up to F
    EXPECT_NEAR(StrongestFrequency(middle, 22050, 550, 630), expected, expected * 0.005);
}

TEST(ZarevoRender, APassageIsTheSourceBetweenItsTwoTimes) {
    TempDir files;
    WriteTone(files.Path("in.wav"), 441, 44100, 44100 * 3);
    const Finished run = RunRenderer({"--plugins", "none", "--rate", "44100", "--start", "1", "--end", "0:02.5", "-q",
                                      files.Path("in.wav"), files.Path("passage.wav")});
    ASSERT_EQ(run.exitStatus, 0) << run.stderrText;
    const Sound source = ReadSound(files.Path("in.wav"));
    const Sound passage = ReadSound(files.Path("passage.wav"));
    ASSERT_EQ(passage.left.size(), 44100u * 3 / 2);
    EXPECT_TRUE(std::equal(passage.left.begin(), passage.left.end(), source.left.begin() + 44100));
}

TEST(ZarevoRender, APassageThroughAnEffectThatHoldsSamplesBackLeavesItsPrerollOut) {
    // A tone that stops at 1 s: the passage from 1 s on is silence, while
    // the pre-roll fed before it is the tone. The standard effect gives a
    // block's sound only in later calls.
    TempDir files;
    std::vector<short> toneThenSilence(2 * 44100 * 3, 0);
    for (std::size_t i = 0; i < 44100; ++i) {
        toneThenSilence[2 * i] = toneThenSilence[2 * i + 1] =
            static_cast<short>(std::lround(12000 * std::sin(2 * std::numbers::pi * 441 * i / 44100)));
    }
    SF_INFO info{44100 * 3, 44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
    SNDFILE* file = sf_open(files.Path("in.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(sf_writef_short(file, toneThenSilence.data(), 44100 * 3), 44100 * 3);
    sf_close(file);

    const Finished run = RunRenderer({"--plugins", "original", "--rate", "44100", "--start", "1", "--end", "3", "-q",
                                      files.Path("in.wav"), files.Path("passage.wav")});
    ASSERT_EQ(run.exitStatus, 0) << run.stderrText;
    const Sound passage = ReadSound(files.Path("passage.wav"));
    ASSERT_EQ(passage.left.size(), 44100u * 2);
    double energy = 0;
    for (std::size_t i = 0; i < 44100 / 4; ++i) energy += passage.left[i] * passage.left[i];
    EXPECT_LT(std::sqrt(energy / (44100 / 4)), 0.03) << "the tone before the passage is heard at its start";
}

TEST(ZarevoRender, TheStandardEffectKeepsTheSourcesLengthAtRatesWhoseBlocksSplitItsFrames) {
    // At 48 kHz a block of a 44.1 kHz source is no whole number of the
    // effect's hops; the output still ends where the source does.
    TempDir files;
    WriteTone(files.Path("in.wav"), 441, 44100, 44100 * 3);
    for (const auto& [speed, passage, frames] :
         {std::tuple{"0", false, 144000.0}, std::tuple{"1", false, 72000.0}, std::tuple{"-1", true, 192000.0}}) {
        std::vector<std::string> arguments = {
            "--plugins", "original", "--rate", "48000", "-q", "--set", std::string("original.SpeedExponent=") + speed};
        if (passage) arguments.insert(arguments.end(), {"--start", "1", "--end", "3"});
        arguments.insert(arguments.end(), {files.Path("in.wav"), files.Path("out.wav")});
        const Finished run = RunRenderer(arguments);
        ASSERT_EQ(run.exitStatus, 0) << run.stderrText;
        // Each block's rate conversion may round off a frame.
        EXPECT_NEAR(static_cast<double>(ReadSound(files.Path("out.wav")).left.size()), frames, 4.0) << speed;
    }
}

TEST(ZarevoRender, OutputIsTheFileTheEngineSavesWithTheSameSettings) {
    TempDir files;
    WriteTone(files.Path("in.wav"), 441, 44100, 44100 * 3);
    const Finished run =
        RunRenderer({"--preset", "chord-cf", "--set", "original.ReverbAmount=0.25", "--set", "sample.VocalCancel=1",
                     "--set", "original.ProcessRight=0", "--rate", "11025", "--channels", "1", "--bits", "8", "-q",
                     files.Path("in.wav"), files.Path("rendered.wav")});
    ASSERT_EQ(run.exitStatus, 0) << run.stderrText;

    // The same through the engine here: the plug-ins next to the program,
    // set up through their descriptions, in a fresh engine (the reverb's
    // noise starts afresh with each worker thread).
    PluginSet plugins;
    plugins.LoadFrom(fs::path(ZAREVO_RENDER_PROGRAM).parent_path().string());
    ASSERT_EQ(plugins.Count(), 2u);
    const ZarevoParameterDescription* original = plugins.At(0).description;
    const ZarevoPreset* chord = FindPreset(original, "chord-cf");
    ASSERT_NE(chord, nullptr);
    for (int i = 0; i < original->parameterCount; ++i) original->parameters[i].set(chord->values[i]);
    FindParameter(original, "ReverbAmount")->set(0.25);
    FindParameter(original, "ProcessRight")->set(0);
    FindParameter(plugins.At(1).description, "VocalCancel")->set(1);
    {
        std::mutex mutex;
        std::condition_variable ended;
        bool saveEnded = false;
        CWaveFile engine([&](int message, std::uintptr_t, std::intptr_t) {
            std::lock_guard lock(mutex);
            saveEnded = saveEnded || message == WM_WAVE_SAVE_ENDED;
            ended.notify_one();
        });
        ASSERT_TRUE(engine.PrepareJob(plugins.Modules(), files.Path("in.wav"), files.Path("saved.wav"), 1, 11025, 8,
                                      SourceBlockFrames, -1));
        ASSERT_TRUE(engine.StartSave());
        std::unique_lock lock(mutex);
        ASSERT_TRUE(ended.wait_for(lock, 60s, [&] { return saveEnded; }));
    }
    const Sound rendered = ReadSound(files.Path("rendered.wav"));
    EXPECT_EQ(rendered.info.samplerate, 11025);
    EXPECT_EQ(rendered.info.channels, 1);
    EXPECT_EQ(rendered.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
    EXPECT_GT(rendered.info.frames, 11025);
    const std::string renderedBytes = ReadBytes(files.Path("rendered.wav"));
    EXPECT_TRUE(renderedBytes == ReadBytes(files.Path("saved.wav"))) << "the files differ";
    // The reset preset is there to undo what this test set in the libraries.
    const ZarevoPreset* reset = FindPreset(original, "reset");
    for (int i = 0; i < original->parameterCount; ++i) original->parameters[i].set(reset->values[i]);
}

TEST(ZarevoRender, TheReadmeRecipeForParallelRendersEveryFile) {
    // The README's GNU parallel line, with this machine (-S :) in place of
    // the file of ssh logins.
    std::istringstream readme(ReadBytes(ZAREVO_SOURCE_DIR "/README.md"));
    std::string recipe;
    for (std::string line; std::getline(readme, line);) {
        if (recipe.empty() && line.rfind("parallel --sshloginfile", 0) != 0) continue;
        recipe += line + "\n";
        if (line.empty() || line.back() != '\\') break;
    }
    const std::size_t logins = recipe.find("--sshloginfile machines");
    ASSERT_NE(logins, std::string::npos) << "no parallel recipe in the README";
    recipe.replace(logins, std::string("--sshloginfile machines").size(), "-S :");

    TempDir files;
    fs::create_directory(files.Path("music"));
    const long lengths[] = {44100, 66150, 88200};
    for (const long frames : lengths) {
        WriteTone(files.Path("music/" + std::to_string(frames) + ".wav"), 441, 44100, frames);
    }
    const std::string bin = fs::path(ZAREVO_RENDER_PROGRAM).parent_path().string();
    const Finished run = RunRenderer(
        {"-c", "cd '" + files.Path("") + "' && PATH='" + bin + "':\"$PATH\" HOME=\"$PWD\" " + recipe}, {}, "/bin/sh");
    ASSERT_EQ(run.exitStatus, 0) << recipe << run.stderrText;
    // Each result is the file a render of its own writes.
    for (const long frames : lengths) {
        const std::string name = std::to_string(frames);
        const Finished alone = RunRenderer(
            {"-q", "--preset", "fast-listen", files.Path("music/" + name + ".wav"), files.Path(name + "-alone.wav")});
        ASSERT_EQ(alone.exitStatus, 0) << alone.stderrText;
        const std::string fast = ReadBytes(files.Path(name + "-fast.wav"));
        EXPECT_GT(fast.size(), 44u) << name;
        EXPECT_TRUE(fast == ReadBytes(files.Path(name + "-alone.wav"))) << name;
    }
}

#endif
