// SPDX-License-Identifier: GPL-3.0-or-later
// The file reader of each system (POSIX, and Windows under Wine in the cross builds): UTF-8 paths,
// the name plate's name, and what is not a regular file refused from its type without a read that
// could wait on it.
#include "cabinet/ir_file.h"
#include "hand_made_files.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace cabinet_test {
namespace {

std::string refusalOf(const std::string& utf8Path)
{
    const quarvine::IrLoad load = quarvine::readImpulseResponseFile(utf8Path);
    EXPECT_FALSE(load.ir) << utf8Path;
    return load.error;
}

TEST(IrFilePaths, AFileWithANonAsciiNameInAFolderLoadsUnderItsNameAlone)
{
    TempFolder folder;
    const std::filesystem::path room = folder.path / std::filesystem::path(u8"Räume") / std::filesystem::path(u8"Köln ♫.wav");
    std::filesystem::create_directory(room.parent_path());
    // 16-bit mono at 8 kHz: 0.5 and -0.25.
    writeBytes(room, pcm16MonoWav(8000, {0x4000, -0x2000}));
    const quarvine::IrLoad load = quarvine::readImpulseResponseFile(utf8(room));
    ASSERT_TRUE(load.ir) << load.error;
    EXPECT_EQ(load.ir->name, "K\xC3\xB6ln \xE2\x99\xAB.wav");
    EXPECT_EQ(load.ir->samples, (std::vector<float>{0.5f, -0.25f}));
}

TEST(IrFilePaths, WhatIsNotARegularFileIsRefusedWithoutWaitingOnIt)
{
    TempFolder folder;
    EXPECT_EQ(refusalOf(utf8(folder / "missing.wav")).rfind("cannot open: ", 0), 0u);
    EXPECT_EQ(refusalOf(utf8(folder.path)), "a folder, not a file");
#ifdef _WIN32
    EXPECT_EQ(refusalOf("NUL"), "not a regular file");
#else
    // Opened for reading the usual way, a FIFO without a writer would block this test for ever.
    ASSERT_EQ(::mkfifo((folder / "pipe.wav").c_str(), 0600), 0);
    EXPECT_EQ(refusalOf(utf8(folder / "pipe.wav")), "not a regular file");
    EXPECT_EQ(refusalOf("/dev/zero"), "not a regular file");
#endif
    writeBytes(folder / "notes.txt", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'});
    EXPECT_EQ(refusalOf(utf8(folder / "notes.txt")), "not a WAV, AIFF or FLAC file");
    // Sparse: nothing is written, and nothing should be read.
    writeBytes(folder / "huge.wav", {'R', 'I', 'F', 'F'});
    std::filesystem::resize_file(folder / "huge.wav", (std::uintmax_t{128} << 20) + 1);
    EXPECT_EQ(refusalOf(utf8(folder / "huge.wav")), "larger than 128 MiB");
}

} // namespace
} // namespace cabinet_test
