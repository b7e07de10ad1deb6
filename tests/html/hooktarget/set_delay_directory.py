#!/usr/bin/env python3
"""Points a DLL's delay-import directory entry at its delay-load descriptors.

GNU ld lays out the descriptors of a delay-import library made by dlltool but
leaves the optional header's delay-import directory empty; the modules our
hooks patch (built by other linkers) have it filled. The test module needs it
to look like them. Usage: set_delay_directory.py <dll> <imported dll name>
"""
import struct
import sys

DELAY_IMPORT_DIRECTORY = 13
DESCRIPTOR_SIZE = 32


def main():
    path, imported = sys.argv[1], sys.argv[2].encode("ascii")
    image = bytearray(open(path, "rb").read())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{path}: not a PE image")
    section_count = struct.unpack_from("<H", image, pe + 6)[0]
    optional_size = struct.unpack_from("<H", image, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    sections = []
    for i in range(section_count):
        header = optional + optional_size + i * 40
        virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", image, header + 8)
        sections.append((rva, max(virtual_size, raw_size), raw_offset))

    def rva_of(offset):
        for rva, size, raw in sections:
            if raw <= offset < raw + size:
                return rva + offset - raw
        return None

    name_offset = image.find(imported + b"\0")
    if name_offset < 0:
        sys.exit(f"{path}: no import of {imported.decode()}")
    name_rva = rva_of(name_offset)
    for offset in range(0, len(image) - DESCRIPTOR_SIZE, 4):
        attributes, dll_name = struct.unpack_from("<II", image, offset)
        if attributes == 1 and dll_name == name_rva:
            struct.pack_into("<II", image, directories + DELAY_IMPORT_DIRECTORY * 8,
                             rva_of(offset), 2 * DESCRIPTOR_SIZE)
            open(path, "wb").write(image)
            return
    sys.exit(f"{path}: no delay-load descriptor for {imported.decode()}")


if __name__ == "__main__":
    main()
