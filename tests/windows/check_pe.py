#!/usr/bin/env python3
"""Checks a built Windows program from its file: machine, subsystem, imported
DLLs, the application manifest and the icon, and the version resource.
usage: check_pe.py FILE ARCH [--console] [--version VERSION]
Exit status 1 on any failure."""
import os
import struct
import sys

XP_LIST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "xp_missing_functions.txt")

WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
                "ole32.dll", "oleaut32.dll", "ws2_32.dll", "msvcrt.dll", "comctl32.dll"}
MACHINES = {"i386": 0x14C, "x86-64": 0x8664}
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


def version_info(blob):
    """A VS_VERSIONINFO: (file version, product version, {string: value})."""
    strings = {}
    fixed = []

    def node(o, end):
        length, value_length, kind = struct.unpack_from("<HHH", blob, o)
        stop = min(o + length, end)
        k = o + 6
        key_end = k
        while blob[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = blob[k:key_end].decode("utf-16-le")
        v = (key_end + 2 + 3) & ~3
        if key == "VS_VERSION_INFO" and value_length >= 52:
            sig, _, fms, fls, pms, pls = struct.unpack_from("<IIIIII", blob, v)
            if sig == 0xFEEF04BD:
                fixed.extend([(fms >> 16, fms & 0xFFFF, fls >> 16, fls & 0xFFFF),
                              (pms >> 16, pms & 0xFFFF, pls >> 16, pls & 0xFFFF)])
        value_bytes = value_length * 2 if kind == 1 else value_length
        if kind == 1 and value_length:
            strings[key] = blob[v:v + value_bytes].decode("utf-16-le").rstrip("\0")
        c = (v + value_bytes + 3) & ~3
        while c + 6 <= stop:
            step = struct.unpack_from("<H", blob, c)[0]
            if step == 0:
                break
            node(c, stop)
            c = (c + step + 3) & ~3

    node(0, len(blob))
    return (fixed[0], fixed[1], strings) if fixed else (None, None, strings)


def check_version(res, version, name, errors):
    blobs = res.get(RT_VERSION, [])
    if len(blobs) != 1:
        errors.append("%d version resources, expected 1" % len(blobs))
        return
    file_v, product_v, strings = version_info(blobs[0][1])
    want = tuple(int(x) for x in version.split(".")) + (0,)
    if file_v != want or product_v != want:
        errors.append("file/product version %s/%s, expected %s" % (file_v, product_v, want))
    for key, value in (("FileVersion", version), ("ProductVersion", version), ("ProductName", "Quorvin"),
                       ("OriginalFilename", name)):
        if strings.get(key) != value:
            errors.append("version string %s is %r, expected %r" % (key, strings.get(key), value))
    for key in ("FileDescription", "LegalCopyright"):
        if not strings.get(key):
            errors.append("version string %s is missing" % key)


class PE:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, nsec = struct.unpack_from("<HH", data, pe + 4)
        opt_size = struct.unpack_from("<H", data, pe + 20)[0]
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        dirs = opt + (96 if magic == 0x10B else 112)
        self.dirs = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        sec = opt + opt_size
        for i in range(nsec):
            vsize, va, rsize, raw = struct.unpack_from("<IIII", data, sec + 40 * i + 8)
            self.sections.append((va, max(vsize, rsize), raw))

    def off(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError("rva %x outside sections" % rva)

    def cstr(self, rva):
        o = self.off(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("ascii")

    def imports(self):
        return list(self.imported_functions())

    def imported_functions(self):
        """{dll: [function names]}; an import by ordinal is "#N"."""
        rva = self.dirs[1][0]
        found = {}
        wide = self.machine == MACHINES["x86-64"]
        entry, flag = (8, 1 << 63) if wide else (4, 1 << 31)
        while rva:
            ilt, _, _, name, iat = struct.unpack_from("<IIIII", self.data, self.off(rva))
            if name == 0:
                break
            funcs = found.setdefault(self.cstr(name), [])
            t = ilt or iat
            while True:
                v = struct.unpack_from("<Q" if wide else "<I", self.data, self.off(t))[0]
                if v == 0:
                    break
                funcs.append("#%d" % (v & 0xFFFF) if v & flag else self.cstr((v & 0x7FFFFFFF) + 2))
                t += entry
            rva += 20
        return found

    def resources(self):
        base_rva = self.dirs[2][0]
        if base_rva == 0:
            return {}
        base = self.off(base_rva)
        found = {}

        def walk(o, path):
            named, ids = struct.unpack_from("<HH", self.data, o + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, o + 16 + 8 * i)
                if target & 0x80000000:
                    walk(base + (target & 0x7FFFFFFF), path + [ident])
                else:
                    rva, size = struct.unpack_from("<II", self.data, base + target)
                    found.setdefault(path[0], []).append(
                        (path[1:], self.data[self.off(rva):self.off(rva) + size]))

        walk(base, [])
        return found


def main(path, arch, console=False, version=None):
    data = open(path, "rb").read()
    pe = PE(data)
    errors = []
    if pe.machine != MACHINES[arch]:
        errors.append("machine %#x, expected %s" % (pe.machine, arch))
    if pe.subsystem != (3 if console else 2):
        errors.append("subsystem %d, expected %s" % (pe.subsystem, "3 (console)" if console else "2 (Windows GUI)"))
    for dll in pe.imports():
        if dll.lower() not in WINDOWS_DLLS:
            errors.append("imports %s, which is not one of Windows' own DLLs" % dll)
    if arch == "i386":
        # The 32-bit product is the one old machines run: nothing newer than
        # Windows XP SP3 may be imported.
        missing = {}
        for line in open(XP_LIST, encoding="utf-8"):
            line = line.split("#", 1)[0].split()
            if len(line) >= 2:
                missing[(line[0].lower(), line[1])] = " ".join(line[2:])
        for dll, funcs in pe.imported_functions().items():
            for f in funcs:
                if (dll.lower(), f) in missing:
                    errors.append("imports %s!%s, which Windows XP lacks (%s)" % (dll, f, missing[(dll.lower(), f)]))
    res = pe.resources()
    if version:
        check_version(res, version, os.path.basename(path), errors)
    if console:
        for e in errors:
            print("%s: %s" % (path, e), file=sys.stderr)
        if not errors:
            print("%s: %s, console, Windows DLLs only%s, version %s" % (
                path, arch, ", nothing newer than Windows XP SP3" if arch == "i386" else "", version))
        return 1 if errors else 0
    manifests = res.get(RT_MANIFEST, [])
    if len(manifests) != 1:
        errors.append("%d manifests, expected 1" % len(manifests))
    else:
        m = manifests[0][1].decode("utf-8")
        want_arch = "x86" if arch == "i386" else "amd64"
        if 'processorArchitecture="%s"' % want_arch not in m:
            errors.append("manifest is not for %s" % want_arch)
        if "Microsoft.Windows.Common-Controls" not in m or 'version="6.0.0.0"' not in m:
            errors.append("manifest does not depend on common controls 6.0")
        if "supportedOS" in m or "compatibility" in m:
            errors.append("manifest declares a list of supported systems")
    groups = res.get(RT_GROUP_ICON, [])
    icons = {path[0]: blob for path, blob in res.get(RT_ICON, [])}
    if len(groups) != 1:
        errors.append("%d icon groups, expected 1" % len(groups))
    else:
        g = groups[0][1]
        count = struct.unpack_from("<H", g, 4)[0]
        seen = []
        for i in range(count):
            w, h, _, _, planes, bpp, size, ident = struct.unpack_from("<BBBBHHIH", g, 6 + 14 * i)
            blob = icons.get(ident, b"")
            if len(blob) != size:
                errors.append("icon image %d missing or of the wrong size" % ident)
                continue
            header_bpp = struct.unpack_from("<H", blob, 14)[0]
            header_w = struct.unpack_from("<i", blob, 4)[0]
            seen.append((w or 256, h or 256, bpp, header_bpp, header_w))
        sizes = sorted((w, h) for w, h, *_ in seen)
        if sizes != [(16, 16), (32, 32), (48, 48)]:
            errors.append("icon sizes %s, expected 16, 32 and 48" % sizes)
        for w, h, bpp, hb, hw in seen:
            if bpp != 32 or hb != 32 or hw != w:
                errors.append("icon %dx%d is not a 32-bit image" % (w, h))
    for e in errors:
        print("%s: %s" % (path, e), file=sys.stderr)
    if not errors:
        print("%s: %s, GUI, Windows DLLs only%s, manifest and icon as required%s"
              % (path, arch, ", nothing newer than Windows XP SP3" if arch == "i386" else "",
                 ", version %s" % version if version else ""))
    return 1 if errors else 0


if __name__ == "__main__":
    args = sys.argv[1:]
    version = args[args.index("--version") + 1] if "--version" in args else None
    sys.exit(main(args[0], args[1], "--console" in args, version))
