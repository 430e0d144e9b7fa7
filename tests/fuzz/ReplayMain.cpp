// Runs a fuzz target as an ordinary test: every file of the corpus folder named
// on the command line, then a fixed batch of pseudo-random inputs of assorted
// lengths (a seeded generator, so a failure is reproducible).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    size_t runs = 0;
    if (argc > 1) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[1], ec)) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++runs;
        }
    }
    std::mt19937 rng(20261209u);
    const size_t lengths[] = {0, 1, 2, 3, 7, 64, 100, 168, 416, 456, 512, 1000, 1436, 2000, 4096, 24088, 47068, 70000};
    for (int round = 0; round < 8; ++round) {
        for (size_t len : lengths) {
            std::vector<uint8_t> bytes(len);
            const int mode = round % 4;
            for (auto& b : bytes)
                b = mode == 0 ? uint8_t(rng()) : mode == 1 ? uint8_t(0xFF) : mode == 2 ? uint8_t(rng() % 3) : uint8_t(rng() & 0x7F);
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++runs;
        }
    }
    std::printf("%zu inputs replayed\n", runs);
    return 0;
}
