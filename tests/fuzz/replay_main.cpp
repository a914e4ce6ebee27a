// Runs a fuzz target once over each input without libFuzzer, so that the normal build replays
// the seed corpus and every fixed finding as a regression test. Arguments are files or folders;
// a folder stands for every regular file in it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// A target that holds something for the whole run (an application object) gives it back here.
extern "C" void QmvFuzzAtEnd() __attribute__((weak));

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            for (const auto& entry : fs::directory_iterator(arg))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else if (fs::is_regular_file(arg, ec)) {
            inputs.push_back(arg);
        } else {
            std::fprintf(stderr, "no such input: %s\n", argv[i]);
            return 2;
        }
    }
    // An empty corpus would pass without checking anything.
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s FILE|FOLDER... (at least one input)\n", argv[0]);
        return 2;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        if (!in.is_open() || in.bad()) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 2;
        }
        // Named first, so that a crash shows which input caused it.
        std::printf("%s (%zu bytes)\n", path.c_str(), bytes.size());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    if (QmvFuzzAtEnd)
        QmvFuzzAtEnd();
    std::printf("%zu inputs passed\n", inputs.size());
    return 0;
}
