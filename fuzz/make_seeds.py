#!/usr/bin/env python3
"""Writes small seed corpora of valid frames for the fuzz targets.

    python3 fuzz/make_seeds.py OUTPUT_FOLDER

makes OUTPUT_FOLDER/<target>/ for fuzz_frame_dispatch, fuzz_decoder_frames,
fuzz_decoder_bddb and fuzz_decoder_canlog. The frame records are in the form
that fuzz/FuzzInput.h reads (the target computes each frame's CRC itself).
"""

import os
import struct
import sys


def payload(size, seed):
    """Little-endian floats such as a device sends, then filler bytes."""
    values = [((seed * 7919 + i * 104729) % 20001 - 10000) / 64.0 for i in range(size // 4)]
    body = b"".join(struct.pack("<f", v) for v in values)
    return body + bytes((seed + i) % 256 for i in range(size - len(body)))


def frame_record(index, size, seed, control=1):
    return bytes([control, index]) + struct.pack("<H", size) + payload(size, seed)


def garbage_record(data):
    return bytes([0, len(data)]) + data


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# Index into the id table of fuzz_frame_dispatch, and a payload size.
DISPATCH = [(0, 932), (1, 44), (2, 51), (3, 8), (4, 78), (5, 12), (6, 8), (7, 8), (8, 214), (9, 300), (10, 300)]

# Index into the id table of fuzz_decoder_frames, and a payload size.
IMU33, AHRS, MAG, GNSS, INS, RTK, HEADING, CALIB, CALIB_ALT, ARRAY8, ARRAY32, WAIST, LEFT, RIGHT, VERSION = range(15)
SIZES = {IMU33: 932, AHRS: 44, MAG: 56, GNSS: 1162, INS: 86, RTK: 59, HEADING: 24, CALIB: 8264, CALIB_ALT: 8264,
         ARRAY8: 11848, ARRAY32: 33352, WAIST: 64, LEFT: 64, RIGHT: 64, VERSION: 78}
# Position in the decode-type table of fuzz_decoder_frames, and the frames of that type.
DECODER = {
    "ahrs": (0, [AHRS, MAG, GNSS, AHRS, VERSION]),
    "ahrs_gnss_first": (0, [GNSS, AHRS, MAG]),
    "ins_rtk": (1, [INS, RTK, HEADING, INS]),
    "array4": (2, [CALIB, CALIB_ALT]),
    "array8": (3, [ARRAY8, AHRS]),
    "array32": (4, [ARRAY32]),
    "imu33": (5, [IMU33, IMU33, AHRS]),
    "waist_feet": (6, [WAIST, LEFT, RIGHT, WAIST]),
    "sync_attitude": (7, [AHRS, VERSION, INS]),
}


def can_line(can_id, data):
    return b"0.0100 1 %d Rx d 8 %s\n" % (can_id, b" ".join(b"%02X" % b for b in data))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]

    folder = os.path.join(out, "fuzz_frame_dispatch")
    for index, size in DISPATCH:
        write(folder, "id%d" % index, frame_record(index, size, index))
    write(folder, "mixed", b"".join(frame_record(i, s, i) for i, s in DISPATCH[:5]) + garbage_record(b"\xaa\x55\x01")
          + frame_record(1, 44, 9, control=1 | 8))

    folder = os.path.join(out, "fuzz_decoder_frames")
    for name, (type_index, frames) in DECODER.items():
        data = bytes([type_index]) + b"".join(frame_record(f, SIZES[f], n) for n, f in enumerate(frames))
        write(folder, name, data + garbage_record(b"\x00\xaa") + frame_record(frames[0], SIZES[frames[0]], 99, 1 | 8))

    folder = os.path.join(out, "fuzz_decoder_bddb")
    write(folder, "frames", bytes([1]) + payload(30, 1) + bytes([5]) + payload(30, 2) + garbage_record(b"\xbd\x0a")
          + bytes([1 | 16]) + payload(30, 3))

    folder = os.path.join(out, "fuzz_decoder_canlog")
    ones = bytes([0x00, 0x00, 0x80, 0x3F, 0xC4, 0x09, 0x10, 0x00])
    log = b"date Mon Dec 7 12:00:00 2026\n" + b"".join(can_line(i, ones) for i in range(65, 70))
    write(folder, "sequence", log)
    write(folder, "broken", log + b"".join(can_line(i, ones) for i in (65, 66, 68)) + b"x" * 5000 + b"\n")


if __name__ == "__main__":
    main()
