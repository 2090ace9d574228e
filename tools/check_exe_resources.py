#!/usr/bin/env python3
"""check_exe_resources.py EXE: the resources a shipped exe must carry, read from its PE image.

- the application manifest (type 24, name 1): per-monitor DPI aware (dpiAwareness PerMonitorV2,
  and dpiAware true/pm for systems before Windows 10 1607) and depending on Common Controls 6;
- the application icon: icon group 1 is the image's first icon group (the one Explorer and the
  taskbar show), with one image of each size 16, 20, 24, 32, 40, 48, 64 and 256, each image
  present and of the size its entry announces;
- the version resource (type 16, name 1) with its fixed part.

Prints one line naming what it found and exits 0, or names the first fault and exits 1 (2 when
EXE is no PE image with resources).
"""

import re
import struct
import sys

RT_ICON = 3
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24
ICON_SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"

DPI_AWARENESS = ('<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">'
                 "PerMonitorV2</dpiAwareness>")
DPI_AWARE = '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>'
COMMON_CONTROLS = {
    "type": "win32",
    "name": "Microsoft.Windows.Common-Controls",
    "version": "6.0.0.0",
    "publicKeyToken": "6595b64144ccf1df",
}


class Fault(Exception):
    pass


class NotAnImage(Exception):
    pass


def read_resources(image):
    """{(type, name): data} of the first language of each resource; numeric ids as ints, names
    as strings; plus the order in which the icon groups appear."""
    def unpack(fmt, offset):
        if offset < 0 or offset + struct.calcsize(fmt) > len(image):
            raise NotAnImage("truncated at offset %d" % offset)
        return struct.unpack_from(fmt, image, offset)

    if image[:2] != b"MZ":
        raise NotAnImage("no MZ header")
    (pe,) = unpack("<I", 0x3C)
    if image[pe:pe + 4] != b"PE\0\0":
        raise NotAnImage("no PE signature")
    sections, optional_size = unpack("<H", pe + 6)[0], unpack("<H", pe + 20)[0]
    optional = pe + 24
    (magic,) = unpack("<H", optional)
    directories = optional + (112 if magic == 0x20B else 96)
    resource_rva, resource_size = unpack("<II", directories + 2 * 8)
    if resource_rva == 0 or resource_size == 0:
        raise NotAnImage("no resource directory")
    table = optional + optional_size
    spans = []
    for i in range(sections):
        virtual_size, virtual_address, raw_size, raw_offset = unpack("<IIII", table + 40 * i + 8)
        spans.append((virtual_address, max(virtual_size, raw_size), raw_offset))

    def offset_of(rva):
        for start, size, raw in spans:
            if start <= rva < start + size:
                return raw + rva - start
        raise NotAnImage("address 0x%x lies in no section" % rva)

    base = offset_of(resource_rva)

    def entries(directory):
        named, numbered = unpack("<HH", base + directory + 12)
        for i in range(named + numbered):
            name, target = unpack("<II", base + directory + 16 + 8 * i)
            if name & 0x80000000:
                (length,) = unpack("<H", base + (name & 0x7FFFFFFF))
                start = base + (name & 0x7FFFFFFF) + 2
                key = image[start:start + 2 * length].decode("utf-16-le")
            else:
                key = name
            yield key, target

    resources = {}
    groups = []
    for kind, names in entries(0):
        if not names & 0x80000000:
            continue
        for name, languages in entries(names & 0x7FFFFFFF):
            if not languages & 0x80000000:
                continue
            for _, leaf in entries(languages & 0x7FFFFFFF):
                if leaf & 0x80000000:
                    continue
                data_rva, size = unpack("<II", base + leaf)
                start = offset_of(data_rva)
                if start + size > len(image):
                    raise NotAnImage("resource %s/%s runs past the end of the file" % (kind, name))
                resources[(kind, name)] = image[start:start + size]
                if kind == RT_GROUP_ICON:
                    groups.append(name)
                break
    return resources, groups


def check_manifest(resources):
    manifest = resources.get((RT_MANIFEST, 1))
    if manifest is None:
        raise Fault("no application manifest (resource 24/1)")
    text = manifest.decode("utf-8", "replace")
    for entry in (DPI_AWARENESS, DPI_AWARE):
        if entry not in text:
            raise Fault("the manifest lacks %s" % entry)
    for dependency in re.findall(r"<dependentAssembly>(.*?)</dependentAssembly>", text, re.S):
        identity = re.search(r"<assemblyIdentity\b([^>]*)/>", dependency)
        if not identity:
            continue
        attributes = dict(re.findall(r'([A-Za-z]+)="([^"]*)"', identity.group(1)))
        if all(attributes.get(k) == v for k, v in COMMON_CONTROLS.items()) and \
                attributes.get("processorArchitecture") in ("amd64", "*"):
            return
    raise Fault("the manifest does not depend on Common Controls 6.0.0.0 (amd64 or *, key 6595b64144ccf1df)")


def check_icon(resources, groups):
    if not groups:
        raise Fault("no icon group")
    if groups[0] != 1:
        raise Fault("the first icon group is %r, not 1" % (groups[0],))
    group = resources[(RT_GROUP_ICON, 1)]
    if len(group) < 6:
        raise Fault("icon group 1 is truncated")
    reserved, kind, count = struct.unpack_from("<HHH", group, 0)
    if reserved != 0 or kind != 1 or len(group) < 6 + 14 * count:
        raise Fault("icon group 1 is no icon directory")
    sizes = []
    for i in range(count):
        width, height, _, _, _, _, length, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        width, height = width or 256, height or 256
        if width != height:
            raise Fault("icon image %d is %d x %d, not square" % (ident, width, height))
        image = resources.get((RT_ICON, ident))
        if image is None:
            raise Fault("the %d-pixel icon names image %d, which is missing" % (width, ident))
        if len(image) != length:
            raise Fault("icon image %d has %d bytes, its entry says %d" % (ident, len(image), length))
        if image.startswith(PNG_SIGNATURE):
            actual = struct.unpack_from(">II", image, 16) if len(image) >= 24 else (0, 0)
        elif len(image) >= 12:
            bitmap_width, bitmap_height = struct.unpack_from("<ii", image, 4)
            actual = (bitmap_width, bitmap_height // 2)
        else:
            actual = (0, 0)
        if actual != (width, height):
            raise Fault("icon image %d is %d x %d, its entry says %d x %d" % ((ident,) + tuple(actual) + (width, height)))
        sizes.append(width)
    if sorted(sizes) != ICON_SIZES:
        raise Fault("icon group 1 has the sizes %s, not %s" % (sorted(sizes), ICON_SIZES))
    return sizes


def check_version(resources):
    version = resources.get((RT_VERSION, 1))
    if version is None:
        raise Fault("no version resource (16/1)")
    at = version.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0 or at + 16 > len(version):
        raise Fault("the version resource has no fixed part")
    ms, ls = struct.unpack_from("<II", version, at + 8)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def main():
    if len(sys.argv) != 2:
        print("usage: check_exe_resources.py EXE", file=sys.stderr)
        return 2
    path = sys.argv[1]
    try:
        with open(path, "rb") as source:
            resources, groups = read_resources(source.read())
        check_manifest(resources)
        sizes = check_icon(resources, groups)
        version = check_version(resources)
    except (OSError, NotAnImage) as failure:
        print("check_exe_resources: %s: %s" % (path, failure), file=sys.stderr)
        return 2
    except Fault as fault:
        print("check_exe_resources: %s: %s" % (path, fault), file=sys.stderr)
        return 1
    print("manifest per-monitor DPI aware with Common Controls 6, icon of %s pixels, version %s"
          % (" ".join(str(s) for s in sorted(sizes)), version))
    return 0


if __name__ == "__main__":
    sys.exit(main())
