#!/usr/bin/env python3
"""Checks the committed pictures against the table of the program's pictures: every PNG
resource id is named in the .rc, its file exists, has the exact size for its scale and is
8-bit RGBA (PNG colour type 6); the icon holds all its sizes; the sample slides have the
slide-show size at every scale. Standard library only, so the build machine needs nothing
else. Exit status 0 when all holds, 1 with one line per problem otherwise."""
import argparse
import os
import re
import struct
import sys

SQUARE = [(16, 16), (20, 20), (24, 24), (32, 32)]
# First id (100 %) of every picture group and its sizes at 100, 125, 150 and 200 %.
PICTURES = [
    (106, SQUARE), (110, SQUARE), (114, SQUARE), (118, SQUARE),
    (129, [(161, 26), (202, 33), (242, 39), (321, 52)]),
    (144, [(42, 14), (54, 18), (63, 21), (84, 28)]),
    (153, SQUARE), (157, SQUARE),
    (161, [(14, 8), (17, 11), (21, 12), (28, 16)]),
    (165, [(14, 8), (17, 11), (21, 12), (28, 16)]),
]
ICON_SIZES = {16, 20, 24, 32, 40, 48, 64, 256}
SLIDE_SIZES = {"100": (660, 284), "125": (825, 355), "150": (990, 426), "200": (1320, 568)}
SLIDE_LANGUAGES = ["1033", "1031"]
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def read_defines(path):
    defines = {}
    with open(path, encoding="utf-8") as f:
        for m in re.finditer(r"^#define\s+(\w+)\s+(\d+)\s*$", f.read(), re.M):
            defines[m.group(1)] = int(m.group(2))
    return defines


def read_png_resources(rc_path, defines):
    """Map of resource id to file name for every `<id> PNG "file"` line of the script."""
    found = {}
    with open(rc_path, encoding="utf-8") as f:
        for m in re.finditer(r'^\s*(\w+)\s+PNG\s+"([^"]+)"', f.read(), re.M):
            name = m.group(1)
            rid = int(name) if name.isdigit() else defines.get(name)
            if rid is not None:
                found[rid] = m.group(2)
    return found


def png_header(path):
    """(width, height, bit depth, colour type) from the IHDR chunk, or None."""
    with open(path, "rb") as f:
        head = f.read(33)
    if len(head) < 33 or head[:8] != PNG_SIGNATURE or head[12:16] != b"IHDR":
        return None
    width, height, depth, colour = struct.unpack(">IIBB", head[16:26])
    return width, height, depth, colour


def icon_sizes(path):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 6:
        return set()
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    if reserved != 0 or kind != 1:
        return set()
    sizes = set()
    for i in range(count):
        entry = data[6 + 16 * i: 22 + 16 * i]
        if len(entry) < 16:
            break
        w, h = entry[0] or 256, entry[1] or 256
        if w == h:
            sizes.add(w)
    return sizes


def jpeg_size(path):
    """(width, height) from the first start-of-frame marker, or None."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"\xff\xd8":
        return None
    i = 2
    while i + 4 <= len(data):
        if data[i] != 0xFF:
            return None
        marker = data[i + 1]
        length = struct.unpack(">H", data[i + 2:i + 4])[0]
        if marker in (0xC0, 0xC1, 0xC2):
            height, width = struct.unpack(">HH", data[i + 5:i + 9])
            return width, height
        i += 2 + length
    return None


def check(root):
    problems = []
    res = os.path.join(root, "res")
    defines = read_defines(os.path.join(res, "resource.h"))
    pngs = read_png_resources(os.path.join(res, "PelWebInstaller.rc"), defines)
    for first, sizes in PICTURES:
        for step, expected in enumerate(sizes):
            rid = first + step
            if rid not in pngs:
                problems.append("id %d: not named as a PNG resource in the .rc" % rid)
                continue
            path = os.path.join(res, pngs[rid])
            if not os.path.isfile(path):
                problems.append("id %d: file %s missing" % (rid, pngs[rid]))
                continue
            header = png_header(path)
            if header is None:
                problems.append("id %d: %s is not a PNG" % (rid, pngs[rid]))
                continue
            width, height, depth, colour = header
            if (width, height) != expected:
                problems.append("id %d: %s is %dx%d, expected %dx%d"
                                % (rid, pngs[rid], width, height, expected[0], expected[1]))
            if depth != 8 or colour != 6:
                problems.append("id %d: %s has bit depth %d, colour type %d (expected 8, 6)"
                                % (rid, pngs[rid], depth, colour))
    rc_text = open(os.path.join(res, "PelWebInstaller.rc"), encoding="utf-8").read()
    if not re.search(r'^\s*(101|IDI_\w+)\s+ICON\s+"PelWebInstaller.ico"', rc_text, re.M) or \
            (defines.get("IDI_PEL_MAIN", 101) != 101):
        problems.append("icon 101 is not named in the .rc")
    missing = ICON_SIZES - icon_sizes(os.path.join(res, "PelWebInstaller.ico"))
    if missing:
        problems.append("icon lacks sizes %s" % sorted(missing))
    for lang in SLIDE_LANGUAGES:
        for scale, expected in SLIDE_SIZES.items():
            folder = os.path.join(root, "sample", "language", lang, "slides", scale)
            slides = sorted(f for f in os.listdir(folder) if f.endswith(".jpg")) \
                if os.path.isdir(folder) else []
            if len(slides) != 3:
                problems.append("%s: %d slides, expected 3" % (folder, len(slides)))
            for name in slides:
                size = jpeg_size(os.path.join(folder, name))
                if size != expected:
                    problems.append("%s/%s: size %s, expected %dx%d"
                                    % (folder, name, size, expected[0], expected[1]))
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.join(os.path.dirname(__file__), ".."))
    args = parser.parse_args()
    problems = check(args.root)
    for p in problems:
        print(p)
    if problems:
        return 1
    print("pictures: %d PNG resources, icon and slides as listed" % sum(len(s) for _, s in PICTURES))
    return 0


if __name__ == "__main__":
    sys.exit(main())
