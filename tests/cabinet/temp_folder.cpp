// SPDX-License-Identifier: GPL-3.0-or-later
#include "temp_folder.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace cabinet_test {

TempFolder::TempFolder()
{
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        path = std::filesystem::temp_directory_path() / ("quarvine-cabinet-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(path))
            return;
    }
    throw std::runtime_error("no temporary folder");
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::vector<unsigned char> fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

} // namespace cabinet_test
