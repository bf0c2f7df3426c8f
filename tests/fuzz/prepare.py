#!/usr/bin/env python3
"""Prepares the fuzz build: a copy of the sources with their narrow literals
in GBK (clang keeps such bytes in literals as they stand, where g++ would
convert them with -fexec-charset), and seed corpora from the real test data.

usage: prepare.py ROOT OUT"""
import glob
import os
import shutil
import sys

ROOT, OUT = sys.argv[1], sys.argv[2]
SRC = os.path.join(OUT, "src")


def transcode():
    shutil.rmtree(SRC, ignore_errors=True)
    for top in ("app", "values", "io", "automation", "com", "sources", "reply", "sections", "tests/fuzz"):
        for path in glob.glob(os.path.join(ROOT, top, "**", "*.[ch]*"), recursive=True) + \
                glob.glob(os.path.join(ROOT, top, "**", "*.inc"), recursive=True):
            rel = os.path.relpath(path, ROOT)
            text = open(path, encoding="utf-8").read()
            data = text.encode("gbk")
            # A trail byte 0x5C inside a literal would read as an escape.
            i = 0
            while i < len(data):
                if data[i] >= 0x81:
                    if i + 1 < len(data) and data[i + 1] == 0x5C:
                        sys.exit("%s: a GBK character with trail byte 0x5C at byte %d" % (rel, i))
                    i += 2
                else:
                    i += 1
            dest = os.path.join(SRC, rel)
            os.makedirs(os.path.dirname(dest), exist_ok=True)
            open(dest, "wb").write(data)


def seeds():
    def put(target, name, data):
        d = os.path.join(OUT, "seeds", target)
        os.makedirs(d, exist_ok=True)
        open(os.path.join(d, name), "wb").write(data)

    for f in glob.glob(os.path.join(ROOT, "tests/data/edid/*.bin")):
        data = open(f, "rb").read()
        put("fuzz_edid", os.path.basename(f), data)
        put("fuzz_linux_files", "edid-" + os.path.basename(f), data)
    scripts = {}
    name = None
    for line in open(os.path.join(ROOT, "tests/machines/scripts.txt"), encoding="utf-8"):
        line = line.rstrip("\n")
        if line.startswith("=== "):
            name = line[4:]
            scripts[name] = []
        else:
            scripts[name].append(line)
    for name, lines in scripts.items():
        script = "\r\n".join(lines).encode("gbk")
        put("fuzz_script_host", name, script + b"\0\x01Intel\0\x02" + b"8589934592" + b"\0\x04" + b"3\0\x00")
        put("fuzz_text", name, b"\x05\x03\x20" + script[:200])
    golden = open(os.path.join(ROOT, "tests/machines/desktop.golden"), encoding="utf-8").read()
    reply = golden.replace("\n", "\r\n").encode("gbk")
    put("fuzz_reply", "golden", reply + b"\0=\0\r\n")
    put("fuzz_reply", "blank-lines", b"a\r\n\r\n  \r\nb\r\n\0\\n\\s*\\r\0")
    put("fuzz_text", "fullwidth", b"\x01\x02\x03" + "１２．５＝".encode("gbk"))
    for f in glob.glob(os.path.join(ROOT, "tests/machines/*.machine")):
        put("fuzz_machine_file", os.path.basename(f), open(f, "rb").read())
    for tree in ("laptop", "server", "no-dmi"):
        for rel in ("proc/cpuinfo", "etc/os-release", "sys/firmware/dmi/tables/DMI", "usr/share/misc/pci.ids"):
            p = os.path.join(ROOT, "tests/trees", tree, rel)
            if os.path.isfile(p):
                put("fuzz_linux_files", tree + "-" + rel.replace("/", "_"), open(p, "rb").read())


def tree_seeds():
    put = lambda name, data: (os.makedirs(os.path.join(OUT, "seeds", "fuzz_tree_paths"), exist_ok=True),
                              open(os.path.join(OUT, "seeds", "fuzz_tree_paths", name), "wb").write(data))
    put("links", b"fcpuinfo=model name: x\nlabs=/cpuinfo\nlup=../../secret\nldir=/\nlloop=loop\n"
                 b"r/abs\nr/up\nr/dir/abs\nr/dir/dir/up\nr/loop\nr/dir\n")
    put("capture", b"Lsys/block/sda=../devices/x/sda\ncsys/block/sda/size=2048\nLa=/\nca/b=1\n"
                   b"Lup=../..\ncup/secret=x\nDsys/block\nc..=x\n")


def regressions():
    # Inputs that once crashed a target stay in its corpus for good.
    for f in glob.glob(os.path.join(ROOT, "tests/fuzz/regressions/*")):
        name = os.path.basename(f)
        target = next(t for t in ("fuzz_edid", "fuzz_reply", "fuzz_text", "fuzz_script_host",
                                  "fuzz_linux_files", "fuzz_tree_paths") if name.startswith(t))
        d = os.path.join(OUT, "seeds", target)
        os.makedirs(d, exist_ok=True)
        shutil.copy(f, os.path.join(d, "regression-" + name))


transcode()
seeds()
tree_seeds()
regressions()
