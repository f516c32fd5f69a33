// SPDX-License-Identifier: GPL-3.0-or-later
#include "output_path.h"

#include "errors.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace render {

namespace fs = std::filesystem;

std::string outputTarget(const std::string& out)
{
    fs::path path = out;
    std::error_code error;
    for (int links = 0; fs::is_symlink(path, error); ++links) {
        // The system's own limit on a chain (40 on Linux), and its message.
        if (links == 40)
            throw RenderError(out + ": " + std::strerror(ELOOP));
        const fs::path next = fs::read_symlink(path, error);
        if (error)
            throw RenderError(out + ": " + error.message());
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    const std::string target = path.string();
    // Messages name the file OUT stands for when that is another.
    const std::string name = target == out ? out : out + " (a link to " + target + ")";
    if (target != out && !fs::exists(fs::symlink_status(path, error)))
        throw RenderError(name + ": the link points to nothing; not writing through it");
    fs::path directory = path.parent_path();
    if (directory.empty())
        directory = ".";
    if (!fs::is_directory(directory, error))
        throw RenderError(name + ": no such directory " + directory.string());
    if (::access(directory.c_str(), W_OK) != 0)
        throw RenderError(name + ": directory " + directory.string() + " is not writable");
    if (fs::is_directory(path, error))
        throw RenderError(name + ": is a directory");
    if (fs::exists(path, error)) {
        // The finished file is renamed over OUT: that would replace a device or a pipe, not write to it.
        if (!fs::is_regular_file(path, error))
            throw RenderError(name + ": not a regular file");
        // A folder open to the user would let a rename replace a file it may not write.
        if (::access(target.c_str(), W_OK) != 0)
            throw RenderError(name + ": not writable (" + std::string(std::strerror(errno)) + "); left as it was");
    }
    return target;
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
