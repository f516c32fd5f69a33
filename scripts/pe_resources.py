#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Lists the resources of a PE file that the checks read: one line "ID WIDTH HEIGHT BITS" per
bitmap, and one line "version KEY VALUE" per text of the version resource (its StringFileInfo)."""
import struct
import sys


def main(path):
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit("not a PE file")
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    rsrc_rva, rsrc_size = struct.unpack_from("<II", data, directories + 2 * 8)
    if not rsrc_rva:
        return
    table = optional + optional_size

    def offset_of(rva):
        for i in range(sections):
            s = table + 40 * i
            vsize, vaddr, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
            if vaddr <= rva < vaddr + max(vsize, rawsize):
                return rawptr + rva - vaddr
        raise ValueError("RVA outside every section")

    base = offset_of(rsrc_rva)

    def entries(directory):
        named, ids = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            yield name, target

    for type_id, type_target in entries(0):
        if type_id not in (2, 16) or not type_target & 0x80000000:  # RT_BITMAP, RT_VERSION
            continue
        for res_id, res_target in entries(type_target & 0x7FFFFFFF):
            lang_dir = res_target & 0x7FFFFFFF
            for _, leaf in entries(lang_dir):
                rva, size = struct.unpack_from("<II", data, base + leaf)[:2]
                header = offset_of(rva)
                if type_id == 2:
                    width, height, _, bits = struct.unpack_from("<iiHH", data, header + 4)
                    print(res_id, width, abs(height), bits)
                else:
                    for key, value in version_texts(data[header:header + size]):
                        print("version", key, value)


def align4(offset):
    return (offset + 3) & ~3


def version_blocks(block, start, end):
    """The version resource's nested blocks between start and end: (key, text or None,
    children's start, block's end). Each is a length, a value length, a type (1: text), a
    UTF-16 key, then the value and the children, each at a 4-byte boundary."""
    at = start
    while at + 6 <= end:
        length, value_length, kind = struct.unpack_from("<HHH", block, at)
        if length == 0:
            break
        key_end = at + 6
        while block[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = block[at + 6:key_end].decode("utf-16-le")
        value_at = align4(key_end + 2)
        value_bytes = value_length * 2 if kind == 1 else value_length
        text = block[value_at:value_at + value_bytes].decode("utf-16-le").rstrip("\0") if kind == 1 else None
        yield key, text, align4(value_at + value_bytes), at + length
        at = align4(at + length)


def version_texts(block):
    for root, _, children, root_end in version_blocks(block, 0, len(block)):
        for info, _, tables, info_end in version_blocks(block, children, root_end):
            if info != "StringFileInfo":
                continue
            for _, _, strings, table_end in version_blocks(block, tables, info_end):
                for key, text, _, _ in version_blocks(block, strings, table_end):
                    yield key, text


if __name__ == "__main__":
    main(sys.argv[1])
