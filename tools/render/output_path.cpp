// SPDX-License-Identifier: GPL-3.0-or-later
#include "output_path.h"

#include "errors.h"

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace render {

namespace fs = std::filesystem;

void checkWritable(const std::string& path)
{
    fs::path directory = fs::path(path).parent_path();
    if (directory.empty())
        directory = ".";
    std::error_code error;
    if (!fs::is_directory(directory, error))
        throw RenderError(path + ": no such directory " + directory.string());
    if (::access(directory.c_str(), W_OK) != 0)
        throw RenderError(path + ": directory " + directory.string() + " is not writable");
    if (fs::is_directory(path, error))
        throw RenderError(path + ": is a directory");
    // The finished file is renamed over OUT: that would replace a device or a pipe, not write to it.
    if (fs::exists(path, error) && !fs::is_regular_file(path, error))
        throw RenderError(path + ": not a regular file");
}

void refuseToReplaceInput(const std::string& input, const std::string& output)
{
    struct stat in {}, out {};
    if (::stat(input.c_str(), &in) != 0 || ::stat(output.c_str(), &out) != 0)
        return;
    if (in.st_dev == out.st_dev && in.st_ino == out.st_ino)
        throw UsageError(output + " is the input file " + input + "; pass --overwrite to replace it");
}

} // namespace render
