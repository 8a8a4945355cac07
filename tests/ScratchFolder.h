#pragma once

// A folder of its own for each test, removed with all it holds afterwards,
// and whole files written and read in it.

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

struct ScratchFolder {
    ScratchFolder() { std::filesystem::create_directories(dir); }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    std::string Write(const std::string& name, const std::string& content) const {
        std::ofstream(dir / name, std::ios::binary) << content;
        return Path(name);
    }
    static std::string Read(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("kbtest-" + std::to_string(std::random_device{}()));
};
