// Peak memory of one save job: writes a small WAV file at a very low sample
// rate (by default 4 KB at 173 Hz, whose blocks would hold 16.7 million
// working frames at 44.1 kHz), saves it through the engine with the shipped
// plug-ins loaded, and prints the process's peak resident memory.
// Usage: job_memory [source rate] [output rate]
#include <dlfcn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "wave_file.h"

namespace {

void PutLe(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

/// A mono 16-bit WAV file of exactly `fileBytes` bytes holding a sawtooth.
void WriteSource(const std::string& path, int rate, int fileBytes) {
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(fileBytes - 44) & ~1u;
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    PutLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);
    PutLe(out, 1, 2);
    PutLe(out, static_cast<std::uint32_t>(rate), 4);
    PutLe(out, static_cast<std::uint32_t>(rate) * 2, 4);
    PutLe(out, 2, 2);
    PutLe(out, 16, 2);
    out.write("data", 4);
    PutLe(out, dataBytes, 4);
    for (std::uint32_t i = 0; i < dataBytes / 2; ++i) PutLe(out, (i * 997) & 0x3FFF, 2);
}

}  // namespace

int main(int argc, char** argv) {
    const int sourceRate = argc > 1 ? std::atoi(argv[1]) : 173;
    const int outputRate = argc > 2 ? std::atoi(argv[2]) : 44100;
    const std::string folder = "/tmp/zarevo-job-memory-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    const std::string source = folder + "/in.wav";
    const std::string output = folder + "/out.wav";
    WriteSource(source, sourceRate, 4096);

    std::vector<void*> modules;
    for (const char* name : {"Zarevo_original.so", "Zarevo_sample.so"}) {
        const std::string path = std::string(ZAREVO_PLUGIN_DIR) + "/" + name;
        if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            modules.push_back(module);
        } else {
            std::fprintf(stderr, "%s\n", dlerror());
            return 1;
        }
    }
    int ended = -1;
    {
        std::atomic<int> end{-1};
        CWaveFile engine([&](int message, std::uintptr_t, std::intptr_t lParam) {
            if (message == WM_WAVE_SAVE_ENDED) end = static_cast<int>(lParam);
        });
        const auto start = std::chrono::steady_clock::now();
        if (!engine.PrepareJob(modules, source, output, 2, outputRate, 16, SourceBlockFrames, -1)) {
            std::printf("%d Hz to %d Hz: refused at open\n", sourceRate, outputRate);
        } else if (engine.StartSave()) {
            while (end.load() < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("%d Hz to %d Hz: saved in %.2f s, job end %d\n", sourceRate, outputRate, seconds, end.load());
        }
        ended = end.load();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld MB\n", usage.ru_maxrss / 1024);
    std::filesystem::remove_all(folder);
    return ended == 1 ? 0 : 1;
}
