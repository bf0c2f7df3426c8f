#!/usr/bin/env bash
# The Debian package installs, its quorvin-report --json runs, Ansible reads
# it back as a local fact with the same values as the text report, and the
# package removes cleanly. Needs root (dpkg) and Debian's ansible-core.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

DEB="$("$ROOT/scripts/package" 2>/dev/null | grep '\.deb$')"
[ -f "$DEB" ] || fail "no package built"
dpkg -i "$DEB" >/dev/null || fail "dpkg -i $DEB"
trap 'dpkg -r quorvin-report >/dev/null 2>&1 || true' EXIT
[ -x /usr/bin/quorvin-report ] || fail "/usr/bin/quorvin-report is not installed"
VERSION="$(cat "$ROOT/build/package/version.txt")"
[ "$(dpkg-query -W -f='${Version}' quorvin-report)" = "$VERSION" ] || fail "the package is not version $VERSION"
[ "$(/usr/bin/quorvin-report --version)" = "quorvin-report $VERSION" ] || fail "the installed program is not version $VERSION"
[ -f /usr/share/doc/quorvin-report/README.md ] || fail "the documentation is not installed"
/usr/bin/quorvin-report --json | /usr/bin/python3 -c 'import json, sys, jsonschema
jsonschema.validate(json.load(sys.stdin), json.load(open("/usr/share/quorvin-report/report.schema.json")))' \
    || fail "the installed quorvin-report --json does not validate"
pass "the package installs and its quorvin-report --json validates against the installed schema"

WORK="$(mktemp -d)"
trap 'dpkg -r quorvin-report >/dev/null 2>&1 || true; rm -rf "$WORK"' EXIT
cp /usr/share/quorvin-report/ansible/quorvin.fact "$WORK/"
/usr/bin/quorvin-report > "$WORK/report.txt"
ANSIBLE_LOCALHOST_WARNING=False ANSIBLE_NOCOLOR=1 \
    ansible localhost -c local -m setup -a "fact_path=$WORK filter=ansible_local" > "$WORK/ansible.txt" 2>/dev/null \
    || fail "ansible setup with the fact"
/usr/bin/python3 - "$WORK/report.txt" "$WORK/ansible.txt" <<'PY' || fail "Ansible's facts differ from the text report"
import json, sys
text = open(sys.argv[1], encoding="utf-8").read().split("\n")
out = open(sys.argv[2], encoding="utf-8").read()
facts = json.loads(out[out.index("=>") + 2:])["ansible_facts"]["ansible_local"]["quorvin"]
def value(label):
    for line in text:
        if line.startswith(label):
            return line[len(label):]
    raise SystemExit("no line " + label)
def shown(v):
    return "" if v is None else str(v)
errors = []
# The text report shows the last processor package.
if value(" CPU名称：") != shown(facts["processors"][-1]["name"] if facts["processors"] else None):
    errors.append("processor name")
for i, d in enumerate(facts["disks"], 1):
    if value(" 磁盘%d容量：" % i) != "%dGB" % ((d["size_bytes"] or 0) >> 30):
        errors.append("disk %d" % i)
for i, m in enumerate(facts["memory"]["modules"], 1):
    if value(" 内存%d容量：" % i) != "%dGB" % ((m["capacity_bytes"] or 0) >> 30) or value(" 内存%d厂商：" % i) != shown(m["maker"]):
        errors.append("memory module %d" % i)
disk_lines = [l for l in text if l.startswith(" 磁盘") and "容量：" in l]
if len(disk_lines) != len(facts["disks"]):
    errors.append("disk count")
if errors:
    raise SystemExit("differ: " + ", ".join(errors))
print("compared: processor, %d disks, %d memory modules" % (len(facts["disks"]), len(facts["memory"]["modules"])))
PY
pass "ansible_local.quorvin holds the text report's processor, disks and memory modules"

dpkg -r quorvin-report >/dev/null || fail "dpkg -r"
[ ! -e /usr/bin/quorvin-report ] || fail "/usr/bin/quorvin-report is left after removal"
[ ! -e /usr/share/quorvin-report ] || fail "/usr/share/quorvin-report is left after removal"
pass "the package removes cleanly"

# With the program gone, the fact fails loudly: Ansible warns and names the reason.
ANSIBLE_LOCALHOST_WARNING=False ANSIBLE_NOCOLOR=1 \
    ansible localhost -c local -m setup -a "fact_path=$WORK filter=ansible_local" > "$WORK/missing.txt" 2>&1 || true
grep -q "WARNING\]: Failure executing fact script" "$WORK/missing.txt" || fail "Ansible did not warn about the missing program"
grep -q "quorvin-report is not installed" "$WORK/missing.txt" || fail "Ansible's warning does not say why"
pass "without the program, Ansible warns that the fact failed and why"
