# SPDX-License-Identifier: GPL-3.0-or-later
# Writes a C++ source holding the given BMP files as byte arrays, keyed by resource id.
# Usage: cmake -DOUTPUT=file.cpp -DRESOURCES="101=path;102=path" -P embed_bitmaps.cmake
set(body "// Generated from the resource bitmaps at build time; do not edit.\n#include \"resources/embedded_resources.h\"\n\n#include <cstddef>\n\nnamespace quarvine::resources {\n\nnamespace {\n\n")
set(table "")
foreach(entry IN LISTS RESOURCES)
  string(REPLACE "=" ";" parts "${entry}")
  list(GET parts 0 id)
  list(GET parts 1 path)
  file(READ "${path}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
  string(APPEND body "const unsigned char bitmap${id}[] = {\n${bytes}\n};\n\n")
  string(APPEND table "    {${id}, bitmap${id}, sizeof(bitmap${id})},\n")
endforeach()
string(APPEND body "struct Entry {\n    int32_t id;\n    const unsigned char* data;\n    std::size_t size;\n};\n\n")
string(APPEND body "const Entry entries[] = {\n${table}};\n\n} // namespace\n\n")
string(APPEND body "std::span<const unsigned char> findBitmap(int32_t id)\n{\n    for (const Entry& entry : entries)\n        if (entry.id == id)\n            return {entry.data, entry.size};\n    return {};\n}\n\n} // namespace quarvine::resources\n")
file(WRITE "${OUTPUT}" "${body}")
