// Whole files read and written by the end-to-end tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

// Creates the folders above the file as needed.
inline void WriteFile(const std::filesystem::path& path, const std::string& strData)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << strData;
}
