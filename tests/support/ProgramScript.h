// The application run from a script, as the scripted runs of the tests do
// it: headless, on a device root, with an input script; and the snapshots it
// writes read back.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/gdi/Surface.h"

namespace qtest {

// Writes `script` into `scriptPath` and runs the application the build made
// on the root with it; the program's exit status (-1 when it did not exit).
inline int RunProgramScript(const std::string& rootPath, const std::filesystem::path& scriptPath,
                            const std::string& script)
{
    std::ofstream(scriptPath) << script;
    const std::filesystem::path program = std::filesystem::path(QAV5_BINARY_DIR) / "shell" / "Qav5_PA";
    const std::string command = "\"" + program.string() + "\" --headless --root \"" + rootPath + "\" --script \"" +
                                scriptPath.string() + "\"";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A PNG file as a surface (empty when it cannot be read).
inline qplat::Surface ReadPngFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    qplat::Surface s;
    qplat::DecodePng(bytes.data(), bytes.size(), s);
    return s;
}

}  // namespace qtest
