#!/usr/bin/env python3
"""Writes the fuzz target's seed inputs into a corpus folder: the byte
examples of the protocol reference and a few bodies built from its layout
tables. Existing files are left alone; a seed's name is its content hash,
so running this again adds nothing."""
import hashlib
import os
import sys

SEEDS = [
    # BUCP challenge request and the server's reply (the reference's worked bytes).
    "2A 02 12 34 00 13 00 17 00 06 00 00 00 00 00 01 00 01 00 05 61 6C 69 63 65",
    "2A 02 00 65 00 16 00 17 00 07 00 00 00 00 00 01 00 0A 31 32 33 34 35 36 37 38 39 30",
    # Server hello, then a signon with a short cookie.
    "2A 01 00 64 00 04 00 00 00 01 2A 01 00 01 00 0C 00 00 00 01 00 06 00 04 01 02 03 04",
    # IM sent and received.
    "2A 02 12 35 00 2F 00 04 00 06 00 00 00 00 00 02 01 02 03 04 05 06 07 08 00 01 03 62 6F 62"
    " 00 02 00 0F 05 01 00 01 01 01 01 00 06 00 00 00 00 68 69 00 03 00 00",
    "2A 02 00 66 00 47 00 04 00 07 00 00 80 00 00 00 01 02 03 04 05 06 07 08 00 01 05 61 6C 69 63 65"
    " 00 00 00 03 00 01 00 02 00 10 00 06 00 04 00 00 00 00 00 03 00 04 65 00 00 00"
    " 00 02 00 0F 05 01 00 01 01 01 01 00 06 00 00 00 00 68 69",
    # Feedbag reply behind an extra block, with root, group and buddy.
    "2A 02 00 01 00 54 00 13 00 06 80 00 00 00 00 05 00 06 00 01 00 02 00 04 00 00 03"
    " 00 00 00 00 00 00 00 01 00 06 00 C8 00 02 00 01"
    " 00 07 42 75 64 64 69 65 73 00 01 00 00 00 01 00 06 00 C8 00 02 00 05"
    " 00 03 62 6F 62 00 01 00 05 00 00 00 07 01 31 00 03 42 6F 62 65 00 00 00",
    # Rate reply (extended form), typing event, login error, departure.
    "2A 02 00 02 00 3B 00 01 00 07 00 00 00 00 00 03 00 01 00 01 00 00 00 50 00 00 09 C4 00 00 07 D0"
    " 00 00 05 DC 00 00 03 20 00 00 17 70 00 00 17 70 65 00 00 00 01 00 01 00 02 00 01 00 02 00 04 00 06",
    "2A 02 00 03 00 1A 00 04 00 14 00 00 00 00 00 09 00 00 00 00 00 00 00 00 00 01 03 62 6F 62 00 02",
    "2A 02 00 04 00 19 00 17 00 03 00 00 00 00 00 01 00 01 00 05 61 6C 69 63 65 00 08 00 02 00 05",
    "2A 02 00 05 00 1C 00 03 00 0C 00 00 80 00 00 00 07 62 6F 62 64 65 6D 6F 00 00 00 01 00 01 00 02 00 00",
    # Away message set, profile query, user info reply body.
    "00 03 00 1F 74 65 78 74 2F 61 6F 6C 72 74 66 3B 20 63 68 61 72 73 65 74 3D 22 75 73 2D 61 73 63"
    " 69 69 22 00 04 00 05 4C 75 6E 63 68",
    "00 00 00 03 03 62 6F 62",
]


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for text in SEEDS:
        data = bytes.fromhex(text)
        path = os.path.join(folder, "seed-" + hashlib.sha1(data).hexdigest())
        if not os.path.exists(path):
            with open(path, "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
