// Runs a fuzz entry point once over every file named on the command line, or
// found directly in a named folder: the seed corpus becomes a plain test that
// the sanitizer build runs, without libFuzzer.
//
// This folder has no CMakeLists.txt of its own; cmake/SonacapFuzzing.cmake
// lists this file by path.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool RunFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A copy of exactly the file's size, so reads past the end reach the sanitizer.
    std::vector<uint8_t> input(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        if (std::filesystem::is_directory(arg)) {
            std::vector<std::filesystem::path> entries;
            for (const auto& entry : std::filesystem::directory_iterator(arg))
                if (entry.is_regular_file())
                    entries.push_back(entry.path());
            std::sort(entries.begin(), entries.end());
            for (const auto& path : entries)
                files += RunFile(path) ? 1 : 0;
        } else if (RunFile(arg)) {
            ++files;
        } else {
            return 1;
        }
    }
    if (files == 0) {
        std::fprintf(stderr, "no seed files given\n");
        return 1;
    }
    std::printf("%d seed files ran\n", files);
    return 0;
}
