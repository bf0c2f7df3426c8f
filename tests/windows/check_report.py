#!/usr/bin/env python3
"""Checks a report read back from the window (or printed by quorvin-report)
against the pieces it must have, and its WMI values against what the query
scripts returned when run by themselves under cscript in the same prefix.

With --same, checks that two reports show the same values: every line
equal but the elapsed time.

usage: check_report.py REPORT REPLIES_DIR
       check_report.py --same REPORT OTHER_REPORT"""
import os
import re
import sys

CHASSIS = {1: "兼容机", 2: "兼容机", 3: "台式电脑", 4: "Low Profile Desktop", 5: "披萨盒式计算机",
           6: "微塔式计算机", 7: "塔式计算机", 8: "笔记本电脑", 9: "便携式式计算机", 10: "笔记本",
           11: "掌上电脑", 12: "Docking Station", 13: "一体机", 14: "轻薄型笔记本", 15: "Space Saving",
           16: "Lunch Box", 17: "Main System Chassis", 18: "扩展机架", 19: "子机架", 20: "总线扩展机架",
           21: "外围机架", 22: "机架式储存", 23: "机架式服务器", 24: "密封式计算机"}


def banner(title):
    n = (52 - len(title.encode("gbk"))) // 2
    return "*" * n + title + "*" * n


HEAD = [banner("系统信息"), " 系统版本：", " 系统位宽：", " 操作系统：", " 是否64位：", " 取本机名：",
        " 取用户名：", banner("处理器信息"), " CPU名称：", " CPU厂商：", " CPU接口：", " CPU数量：",
        " CPU位宽：", " CPU序列：", " CPU速度：主频-", " CPU核心：核心-", banner("显示器信息"),
        " 屏幕数量：", " 屏幕色深：", " 刷新码率：", " 屏幕宽度：", " 屏幕高度：", " 任务栏高度：",
        " 序列号：", " 显示器ID：", " 生产日期：", " 显示器品牌：", " 显示器型号：", " 显示器尺寸：",
        " 显示器高度：", " 显示器宽度："]


def reply(directory, name):
    path = os.path.join(directory, name + ".txt")
    if not os.path.exists(path):
        return None  # the script failed under cscript too
    data = open(path, "rb").read()
    text = data.decode("utf-16-le") if data else ""
    return text.lstrip("\ufeff")


def pairs(text):
    out = []
    for line in (text or "").split("\r\n"):
        if line:
            out.append((line.split("=", 1)[0], line.rsplit("=", 1)[-1] if "=" in line else ""))
    return out


def read_lines(path):
    lines = open(path, encoding="utf-8").read().replace("\r\n", "\n").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def same(a_path, b_path):
    a, b = read_lines(a_path), read_lines(b_path)
    keep = lambda lines: [l for l in lines if not l.startswith("耗时：")]
    if len(a) != len(b) or keep(a) != keep(b):
        for x, y in zip(keep(a), keep(b)):
            if x != y:
                print("%r\n  vs %r" % (x, y), file=sys.stderr)
        print("%s and %s differ (%d and %d lines)" % (a_path, b_path, len(a), len(b)), file=sys.stderr)
        return 1
    print("%s: the same values as %s" % (a_path, b_path))
    return 0


def main(argv):
    if argv[1] == "--same":
        return same(argv[2], argv[3])
    report_path, replies = argv[1], argv[2]
    lines = read_lines(report_path)
    errors = []

    def expect(cond, what):
        if not cond:
            errors.append(what)

    for i, label in enumerate(HEAD):
        expect(i < len(lines) and lines[i].startswith(label), "line %d should start %r" % (i + 1, label))
    values = {label: (lines[i][len(label):] if i < len(lines) else "") for i, label in enumerate(HEAD)}
    rest = lines[len(HEAD):]
    order = [banner("内存信息"), banner("硬盘信息"), banner("显卡信息"), banner("主板信息"), "*" * 52]
    at = [rest.index(b) if b in rest else -1 for b in order]
    expect(all(a >= 0 for a in at) and at == sorted(at), "section banners missing or out of order")
    expect(len(rest) >= 2 and re.fullmatch(r"耗时：[0-9.e+-]+s", rest[-1]) is not None, "elapsed line")
    if errors:
        print("\n".join(errors), file=sys.stderr)
        return 1
    memory, disk = rest[at[0] + 1:at[1]], rest[at[1] + 1:at[2]]
    video, board = rest[at[2] + 1:at[3]], rest[at[3] + 1:at[4]]
    expect(memory[-1].startswith(" 数量："), "memory count line")
    expect(disk[-1].startswith(" 数量："), "disk count line")
    expect([l[:6] for l in video] == [" 显卡型号：", " 显卡显存：", " 显卡厂商：", " 显卡驱动：", " 显卡数量："][:len(video)]
           and len(video) == 5, "video lines")
    expect(len(board) >= 3 and board[0].startswith(" 信息品牌：") and board[1].startswith(" 信息型号：")
           and board[2].startswith(" 型号信息："), "board lines")
    expect(values[" 是否64位："] == "真", "64-bit line")
    expect(values[" 取用户名："] != "" and values[" 取本机名："] != "", "user and host names")
    expect(re.fullmatch(r"[0-9A-F]{16}", values[" CPU序列："]) is not None, "signature")

    os_reply = dict(pairs(reply(replies, "os")))
    expect(values[" 系统版本："] == os_reply.get("版本", ""), "caption %r" % values[" 系统版本："])
    expect(values[" 系统位宽："] == os_reply.get("系统位宽", "").replace("-bit", "位"), "bitness")
    maker = reply(replies, "maker") or ""
    chassis = reply(replies, "chassis") or ""
    name = CHASSIS.get(int(chassis) if chassis.strip().isdigit() else 0, "")
    expect(values[" 操作系统："].endswith("（%s - 制造商 %s ）" % (name, maker)), "chassis and maker line")
    cpu = pairs(reply(replies, "processor"))
    expect(values[" CPU名称："] == (cpu[0][1] if cpu else ""), "processor name")
    mem = pairs(reply(replies, "memory"))
    expect(len(memory) == 1 + 4 * len([k for k, _ in mem if k.endswith("容量")]), "memory lines")
    vid = pairs(reply(replies, "video"))
    for j, label in enumerate([" 显卡型号：", " 显卡显存：", " 显卡厂商：", " 显卡驱动："]):
        want = vid[j][1] if j < len(vid) else ""
        # WMI hands the uint32 video memory to scripts as a signed value; the
        # report shows the size it stands for.
        if j == 1 and re.fullmatch(r"-\d{1,10}", want) and int(want) >= -2**31:
            want = str(int(want) + 2**32)
        expect(video[j] == label + want, "%s%s vs %r" % (label, want, video[j]))
    count = [v for k, v in vid if k == "数量"]
    expect(video[4] == " 显卡数量：" + (count[-1] if count else ""), "video count")
    brd = dict(pairs(reply(replies, "board")))
    expect(board[0] == " 信息品牌：" + brd.get("品牌", ""), "board maker")
    expect(board[1] == " 信息型号：" + brd.get("型号", ""), "board product")
    expect(board[2] == " 型号信息：" + (reply(replies, "model") or ""), "computer model")
    expect(values[" 系统版本："] != "", "Wine's WMI gives a caption")
    if errors:
        print("\n".join(errors), file=sys.stderr)
        return 1
    print("%s: report as required" % report_path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
