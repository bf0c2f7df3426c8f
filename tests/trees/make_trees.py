#!/usr/bin/env python3
"""Makes the captured trees the tests report from. Each starts from
this-vm/ (a tree made with `quorvin-report --capture` on the development
machine) and is edited to stand for another kind of machine: the files that
machine's kernel would hold, including a raw SMBIOS table built here."""
import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
EDID = os.path.join(HERE, "..", "data", "edid")


def write(root, path, data, mode="w"):
    p = os.path.join(root, path.lstrip("/"))
    os.makedirs(os.path.dirname(p), exist_ok=True)
    with open(p, mode + ("b" if isinstance(data, bytes) else "")) as f:
        f.write(data)


def link(root, path, target):
    p = os.path.join(root, path.lstrip("/"))
    os.makedirs(os.path.dirname(p), exist_ok=True)
    if os.path.lexists(p):
        os.remove(p)
    os.symlink(target, p)


def smbios(structures):
    """structures: (type, handle, formatted bytes after the 4-byte header, [strings])"""
    out = b""
    for t, handle, body, strings in structures:
        out += struct.pack("<BBH", t, 4 + len(body), handle) + body
        out += b"".join(s.encode() + b"\0" for s in strings) + b"\0" if strings else b"\0\0"
    out += struct.pack("<BBH", 127, 4, 0xFFFF) + b"\0\0"
    return out


def processor(handle, socket, ext_clock, max_speed, populated=True):
    body = bytearray(0x2A - 4)
    body[0x04 - 4] = 1  # socket designation: string 1
    body[0x05 - 4] = 3  # central processor
    struct.pack_into("<H", body, 0x12 - 4, ext_clock)
    struct.pack_into("<H", body, 0x14 - 4, max_speed)
    struct.pack_into("<H", body, 0x16 - 4, max_speed)
    body[0x18 - 4] = 0x41 if populated else 0x00
    return (4, handle, bytes(body), [socket])


def memory(handle, size_mb, speed, maker, serial):
    body = bytearray(0x5C - 4)
    if size_mb >= 0x7FFF:  # too large for the 15-bit field: the extended size
        struct.pack_into("<H", body, 0x0C - 4, 0x7FFF)
        struct.pack_into("<I", body, 0x1C - 4, size_mb)
    else:
        struct.pack_into("<H", body, 0x0C - 4, size_mb)
    struct.pack_into("<H", body, 0x15 - 4, speed)
    body[0x17 - 4] = 1 if maker else 0
    body[0x18 - 4] = 2 if maker else (1 if serial else 0)
    strings = [s for s in (maker, serial) if s]
    return (17, handle, bytes(body), strings)


def system_records(uuid_bytes, system_serial, board_serial, chassis_serial):
    """Types 1, 2 and 3 with their serial numbers (string 1 each); the UUID
    bytes as they stand in the table."""
    t1 = bytearray(0x1B - 4)
    t1[0x07 - 4] = 1
    t1[0x08 - 4:0x18 - 4] = uuid_bytes
    t2 = bytearray(0x0F - 4)
    t2[0x07 - 4] = 1
    t3 = bytearray(0x15 - 4)
    t3[0x05 - 4] = 0x0A
    t3[0x07 - 4] = 1
    return [(1, 0x100, bytes(t1), [system_serial]), (2, 0x200, bytes(t2), [board_serial]),
            (3, 0x300, bytes(t3), [chassis_serial])]


def entry_point_3(major, minor):
    """A 64-bit (SMBIOS 3) entry point; only the anchor and version count here."""
    return b"_SM3_" + bytes([0, 0x18, major, minor, 0, 1, 0]) + bytes(12)


def cpuinfo(packages, cores, threads_per_core, model_name, vendor, family, model, stepping, mhz):
    out = []
    n = 0
    for p in range(packages):
        for c in range(cores):
            for t in range(threads_per_core):
                out.append("\n".join([
                    "processor\t: %d" % n, "vendor_id\t: %s" % vendor, "cpu family\t: %d" % family,
                    "model\t\t: %d" % model, "model name\t: %s" % model_name, "stepping\t: %d" % stepping,
                    "cpu MHz\t\t: %s" % mhz, "physical id\t: %d" % p, "siblings\t: %d" % (cores * threads_per_core),
                    "core id\t\t: %d" % c, "cpu cores\t: %d" % cores, "flags\t\t: fpu vme de pse tsc lm sse2"]) + "\n")
                n += 1
    return "\n".join(out) + "\n"


def dmi_id(root, values):
    for k, v in values.items():
        write(root, "/sys/class/dmi/id/" + k, v + "\n")


def disk(root, name, major_minor, sectors, devpath, model=None):
    write(root, "/sys/block/%s/dev" % name, major_minor + "\n")
    write(root, "/sys/block/%s/size" % name, "%d\n" % sectors)
    if model is not None:
        write(root, "/sys/block/%s/device/model" % name, model + "\n")
    link(root, "/sys/dev/block/" + major_minor, "../../devices/" + devpath + "/block/" + name)


def state(root, machine, user, cpuid):
    """What only a system call gives, as --capture records it."""
    write(root, "/quorvin/machine", machine + "\n")
    write(root, "/quorvin/user", user + "\n")
    write(root, "/quorvin/cpuid", cpuid + "\n")


def base(name):
    root = os.path.join(HERE, name)
    shutil.rmtree(root, ignore_errors=True)
    shutil.copytree(os.path.join(HERE, "this-vm"), root, symlinks=True)
    for d in ("sys/block", "sys/dev", "sys/bus"):
        shutil.rmtree(os.path.join(root, d), ignore_errors=True)
    return root


PCI_IDS = """# excerpt of pci.ids
1002  Advanced Micro Devices, Inc. [AMD/ATI]
\t73bf  Navi 21 [Radeon RX 6800/6800 XT / 6900 XT]
\t\t1002 0e3a  Radeon RX 6900 XT
8086  Intel Corporation
\t9a49  TigerLake-LP GT2 [Iris Xe Graphics]
# a comment between devices
\t46a6  Alder Lake-P GT2 [Iris Xe Graphics]
10de  NVIDIA Corporation
"""


def laptop(name="laptop"):
    r = base(name)
    write(r, "/etc/os-release", 'PRETTY_NAME="Ubuntu 22.04.4 LTS"\nNAME="Ubuntu"\n')
    write(r, "/proc/sys/kernel/hostname", "thinkpad\n")
    write(r, "/proc/sys/kernel/osrelease", "6.5.0-35-generic\n")
    write(r, "/proc/cpuinfo", cpuinfo(1, 4, 2, "11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz",
                                      "GenuineIntel", 6, 140, 1, "1197.000"))
    write(r, "/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", "4700000\n")
    dmi_id(r, {"chassis_type": "10", "chassis_vendor": "LENOVO", "sys_vendor": "LENOVO", "board_vendor": "LENOVO",
               "board_name": "20XWCTO1WW", "product_name": "20XWCTO1WW"})
    write(r, "/sys/firmware/dmi/tables/DMI", smbios([
        processor(0x4, "U3E1", 100, 4700),
        memory(0x10, 8192, 4267, "Samsung", "00000000"),
        memory(0x11, 8192, 4267, "Samsung", "00000001"),
    ]))
    disk(r, "nvme0n1", "259:0", 1000215216, "pci0000:00/0000:00:06.0/0000:04:00.0/nvme/nvme0", None)
    write(r, "/sys/block/nvme0n1/device/model", "SAMSUNG MZVLB512HBJQ-000L7              \n")
    pci = "/sys/bus/pci/devices/0000:00:02.0/"
    write(r, pci + "class", "0x030000\n")
    write(r, pci + "vendor", "0x8086\n")
    write(r, pci + "device", "0x9a49\n")
    link(r, pci + "driver", "../../../bus/pci/drivers/i915")
    write(r, "/usr/share/misc/pci.ids", PCI_IDS)
    write(r, "/sys/class/drm/card0/dev", "226:0\n")
    write(r, "/sys/class/drm/card0-eDP-1/status", "connected\n")
    write(r, "/sys/class/drm/card0-eDP-1/edid", open(os.path.join(EDID, "CSO-1410-c1bef7b6.bin"), "rb").read())
    write(r, "/sys/class/drm/card0-HDMI-A-1/status", "disconnected\n")
    write(r, "/sys/class/drm/card0-HDMI-A-1/edid", b"")
    write(r, "/sys/class/graphics/fb0/bits_per_pixel", "32\n")
    write(r, "/sys/class/graphics/fb0/virtual_size", "1920,1200\n")
    write(r, "/sys/class/graphics/fb0/mode", "U:1920x1200p-60\n")
    # CPUID leaf 1 of family 6 model 140 stepping 1: EAX 000806C1.
    state(r, "x86_64", "alice", "BFEBFBFF000806C1")
    return r


def docked():
    """The laptop at its desk: its panel and an external monitor, a second
    video controller, and the firmware's real identity (SMBIOS 3.2, so the
    UUID's first three fields are little-endian in the table)."""
    r = laptop("docked")
    uuid = bytes.fromhex("4445 4c4c 4200 1035 8052 b4c04f4e3533".replace(" ", ""))
    write(r, "/sys/firmware/dmi/tables/DMI", smbios(system_records(uuid, "PF3ABCDE", "L1HF16P00AB", "PF3ABCDE") + [
        processor(0x4, "U3E1", 100, 4700),
        memory(0x10, 8192, 4267, "Samsung", "00000000"),
        memory(0x11, 8192, 4267, "Samsung", "00000001"),
    ]))
    write(r, "/sys/firmware/dmi/tables/smbios_entry_point", entry_point_3(3, 2))
    write(r, "/etc/machine-id", "5f0c3b7e9a2d4c1b8e6f7a9b0c1d2e3f\n")
    write(r, "/sys/class/drm/card0-HDMI-A-1/status", "connected\n")
    write(r, "/sys/class/drm/card0-HDMI-A-1/edid", open(os.path.join(EDID, "DEL-D12C-0d8aa809.bin"), "rb").read())
    pci = "/sys/bus/pci/devices/0000:01:00.0/"
    write(r, pci + "class", "0x030200\n")
    write(r, pci + "vendor", "0x10de\n")
    write(r, pci + "device", "0x25a0\n")
    write(r, "/usr/share/misc/pci.ids", PCI_IDS + "\t25a0  GA107M [GeForce RTX 3050 Ti Mobile]\n")
    host = "pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0"
    disk(r, "sda", "8:0", 1953525168, host, "Samsung SSD 870")


def server():
    r = base("server")
    write(r, "/etc/os-release", 'PRETTY_NAME="Red Hat Enterprise Linux 9.3 (Plow)"\n')
    write(r, "/proc/sys/kernel/hostname", "rack-07\n")
    write(r, "/proc/sys/kernel/osrelease", "5.14.0-362.8.1.el9_3.x86_64\n")
    write(r, "/proc/cpuinfo", cpuinfo(2, 16, 2, "AMD EPYC 7302 16-Core Processor", "AuthenticAMD",
                                      23, 49, 0, "3000.000"))
    dmi_id(r, {"chassis_type": "23", "chassis_vendor": "Dell Inc.", "sys_vendor": "Dell Inc.", "board_vendor": "Dell Inc.",
               "board_name": "0W23H8", "product_name": "PowerEdge R7515"})
    mods = [memory(0x1100 + i, 32768 if i < 10 else 16384, 3200, "Hynix", "SN%04d" % i)
            for i in range(14)]
    mods.insert(3, memory(0x1200, 0, 0, None, None))  # an empty slot
    mods.append(memory(0x1300, 65536, 2933, "Micron", "BIG0"))
    # A white-box firmware's placeholders where the serial numbers belong.
    write(r, "/sys/firmware/dmi/tables/DMI", smbios(system_records(bytes(16), "To Be Filled By O.E.M.",
                                                                   "Default string", "0123456789") + [
        processor(0x400, "CPU1", 100, 3300), processor(0x401, "CPU2", 100, 3300),
        processor(0x402, "CPU3", 0, 0, populated=False)] + mods))
    disk(r, "sda", "8:0", 3749707776, "pci0000:40/0000:40:01.1/0000:41:00.0/host0/target0:2:0/0:2:0:0",
         "PERC H745 Frnt")
    disk(r, "sdb", "8:16", 3907029168, "pci0000:00/0000:00:08.1/ata3/host2/target2:0:0/2:0:0:0",
         "ST2000NM0008-2F3100")
    disk(r, "sdc", "8:32", 60555264, "pci0000:00/0000:00:07.1/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0",
         "Cruzer Blade")
    disk(r, "nvme0n1", "259:0", 3125627568, "pci0000:80/0000:80:01.1/0000:81:00.0/nvme/nvme0",
         "Dell Ent NVMe P5500 RI U.2 1.92TB")
    for name, dev in (("loop0", "7:0"), ("zram0", "252:0"), ("dm-0", "253:0"), ("sr0", "11:0")):
        disk(r, name, dev, 1000, "virtual/block", "virtual")
    pci = "/sys/bus/pci/devices/0000:c3:00.0/"
    write(r, pci + "class", "0x030000\n")
    write(r, pci + "vendor", "0x1002\n")
    write(r, pci + "device", "0x73bf\n")
    write(r, pci + "mem_info_vram_total", "17163091968\n")
    link(r, pci + "driver", "../../../../bus/pci/drivers/amdgpu")
    write(r, "/sys/module/amdgpu/version", "6.2.4\n")
    write(r, "/sys/bus/pci/devices/0000:00:01.0/class", "0x060000\n")
    write(r, "/usr/share/misc/pci.ids", PCI_IDS)
    # Family 23 (0xF + 0x08) model 49 (0x31) stepping 0: EAX 00830F10.
    state(r, "x86_64", "root", "178BFBFF00830F10")


def no_dmi():
    r = base("no-dmi")
    write(r, "/etc/os-release", "PRETTY_NAME=Alpine\\ Linux\\ v3.19\nID=alpine\n")
    write(r, "/proc/sys/kernel/hostname", "pi\n")
    write(r, "/proc/sys/kernel/arch", "aarch64\n")
    # No module records without DMI: the total is the kernel's own count.
    write(r, "/proc/meminfo", "MemTotal:        3884508 kB\nMemFree:         2999452 kB\n")
    write(r, "/proc/sys/kernel/osrelease", "6.6.31-0-rpi\n")
    write(r, "/proc/cpuinfo", "processor\t: 0\nBogoMIPS\t: 108.00\nCPU implementer\t: 0x41\n\n"
                              "processor\t: 1\nBogoMIPS\t: 108.00\n\nHardware\t: BCM2835\nModel\t\t: Raspberry Pi 4\n")
    disk(r, "mmcblk0", "179:0", 62333952, "platform/emmc2bus/fe340000.mmc/mmc_host/mmc0/mmc0:aaaa", None)
    state(r, "aarch64", "pi", "none")


if __name__ == "__main__":
    laptop()
    docked()
    server()
    no_dmi()
