// chipid_cli_cases DIR: writes each command-line case into a folder of DIR
// named after it: examples.txt, and what chipid writes for it, stdout,
// stderr, both (the two streams through one pipe) and status, so that a
// runner in another language (the web page's test) reads the same cases.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "cli_cases.h"

namespace {

bool writeBytes(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream stream(file, std::ios::binary);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(stream.flush());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: chipid_cli_cases DIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    for (const ListCase& c : listCases()) {
        const std::filesystem::path folder = dir / c.name;
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error || !writeBytes(folder / "examples.txt", c.list) ||
            !writeBytes(folder / "stdout", c.out) || !writeBytes(folder / "stderr", c.err) ||
            !writeBytes(folder / "both", c.shared) ||
            !writeBytes(folder / "status", std::to_string(c.status) + "\n")) {
            std::cerr << "chipid_cli_cases: cannot write " << folder << "\n";
            return 1;
        }
    }
    return 0;
}
