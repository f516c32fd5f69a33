#!/usr/bin/env python3
"""Lists the bitmap resources of a PE file: one line "ID WIDTH HEIGHT BITS" per bitmap."""
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
        if type_id != 2 or not type_target & 0x80000000:  # RT_BITMAP
            continue
        for res_id, res_target in entries(type_target & 0x7FFFFFFF):
            lang_dir = res_target & 0x7FFFFFFF
            for _, leaf in entries(lang_dir):
                rva, size = struct.unpack_from("<II", data, base + leaf)[:2]
                header = offset_of(rva)
                width, height, _, bits = struct.unpack_from("<iiHH", data, header + 4)
                print(res_id, width, abs(height), bits)


if __name__ == "__main__":
    main(sys.argv[1])
