#!/usr/bin/env bash
# The Debian package is lintian-clean, installs, its quorvin-report --json
# runs, Ansible and Facter read it back as a fact with the same values as the
# text report, and the package removes cleanly; the RPM holds the same files
# and installs into a scratch database. Needs root (dpkg) and Debian's
# lintian, rpm, ansible-core and facter.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

# A shallow clone cannot number a release: the packaging script refuses it
# before it builds anything, saying why.
SHALLOW="$(mktemp -d)"
git clone -q --depth 1 "file://$ROOT" "$SHALLOW/src" 2>/dev/null || fail "a shallow clone of the checkout"
if "$SHALLOW/src/scripts/package" >/dev/null 2>"$SHALLOW/said"; then fail "scripts/package built from a shallow clone"; fi
grep -q "shallow clone" "$SHALLOW/said" || { cat "$SHALLOW/said" >&2; fail "scripts/package did not say why"; }
rm -rf "$SHALLOW"
pass "a shallow clone is refused a package, with the reason"
if [ "$(git -C "$ROOT" rev-parse --is-shallow-repository)" = true ]; then
    echo "SKIPPED: this checkout is a shallow clone, which cannot be packaged (fetch its history to run the rest)"
    exit 0
fi

# The packaging script's own words are shown when it fails.
PKGLOG="$(mktemp)"
PACKAGES="$("$ROOT/scripts/package" 2>"$PKGLOG")" || { cat "$PKGLOG" >&2; fail "scripts/package"; }
rm -f "$PKGLOG"
DEB="$(echo "$PACKAGES" | grep '\.deb$')"
RPM="$(echo "$PACKAGES" | grep '\.rpm$')"
[ -f "$DEB" ] || fail "no package built"
[ -f "$RPM" ] || fail "no RPM built"

# lintian's verdict is its exit status; what it says is shown either way.
lintian_gate() {  # DEB
    local out status=0
    out="$(lintian --fail-on error,warning "$1" 2>&1)" || status=$?
    echo "$out" | grep -v 'running with root privileges' >&2 || true
    return "$status"
}
lintian_gate "$DEB" || fail "lintian finds the package wanting"
pass "lintian: no error and no warning"
# The gate can fail: a package without its copyright file is refused.
PLANT="$(mktemp -d)"
dpkg-deb -R "$DEB" "$PLANT/pkg"
rm "$PLANT/pkg/usr/share/doc/quorvin-report/copyright"
dpkg-deb -b --root-owner-group "$PLANT/pkg" "$PLANT/planted.deb" >/dev/null
if lintian_gate "$PLANT/planted.deb" 2>"$PLANT/said"; then
    fail "the lintian gate let a package without a copyright file through"
fi
grep -q 'no-copyright-file' "$PLANT/said" || { cat "$PLANT/said" >&2; fail "lintian did not say why it refused the planted package"; }
rm -rf "$PLANT"
pass "the lintian gate refuses a planted error and shows lintian's words"

# The RPM: the same files as the Debian package, nothing needed beyond glibc 2.34 (RHEL 9).
rpm -qpi "$RPM" 2>/dev/null | grep -q "^Version *: $(cat "$ROOT/build/package/version.txt")$" || fail "the RPM's version"
diff <(rpm -qp --qf '[%{FILEMODES:perms} %{FILENAMES}\n]' "$RPM" 2>/dev/null | awk '$1 !~ /^[dl]/ {print $2}' | sort) \
     <(dpkg-deb -c "$DEB" | awk '$1 !~ /^d/ {print substr($6, 2)}' | sort) || fail "the RPM and the .deb hold different files"
rpm -qpR "$RPM" 2>/dev/null | grep -o 'GLIBC_2\.[0-9]*' | sort -t. -k2 -n | tail -1 | grep -qx 'GLIBC_2.3[0-4]\|GLIBC_2.[0-2][0-9]\|GLIBC_2.[0-9]' \
    || fail "the RPM needs a glibc newer than 2.34"
SCRATCH="$(mktemp -d)"
rpm --root "$SCRATCH" --dbpath "$SCRATCH/db" --initdb 2>/dev/null
rpm --root "$SCRATCH" --dbpath "$SCRATCH/db" -i --nodeps --noscripts "$RPM" 2>/dev/null || fail "rpm -i into a scratch root"
[ -x "$SCRATCH/usr/bin/quorvin-report" ] || fail "the RPM did not install the program"
rpm --root "$SCRATCH" --dbpath "$SCRATCH/db" -e quorvin-report 2>/dev/null || fail "rpm -e"
[ -z "$(find "$SCRATCH/usr" -type f 2>/dev/null)" ] || fail "the RPM left files behind"
rm -rf "$SCRATCH"
pass "the RPM: the same files, glibc 2.34 at most, installs into and erases from a scratch root"
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

# Facter: the same facts through Puppet's external fact.
mkdir -p "$WORK/facter"
cp /usr/share/quorvin-report/puppet/quorvin.sh "$WORK/facter/"
facter --external-dir "$WORK/facter" --json quorvin > "$WORK/facter.json" 2>/dev/null || fail "facter with the fact"
/usr/bin/python3 - "$WORK/report.txt" "$WORK/facter.json" <<'PY' || fail "Facter's facts differ from the text report"
import json, sys
text = open(sys.argv[1], encoding="utf-8").read().split("\n")
facts = json.load(open(sys.argv[2]))["quorvin"]
def value(label):
    return next(line[len(label):] for line in text if line.startswith(label))
assert value(" CPU名称：") == (facts["processors"][-1]["name"] or "" if facts["processors"] else ""), "processor name"
for i, d in enumerate(facts["disks"], 1):
    assert value(" 磁盘%d容量：" % i) == "%dGB" % ((d["size_bytes"] or 0) >> 30), "disk %d" % i
for i, m in enumerate(facts["memory"]["modules"], 1):
    assert value(" 内存%d容量：" % i) == "%dGB" % ((m["capacity_bytes"] or 0) >> 30), "module %d" % i
print("facter compared: processor, %d disks, %d memory modules" % (len(facts["disks"]), len(facts["memory"]["modules"])))
PY
pass "Facter's quorvin fact holds the text report's processor, disks and memory modules"

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
facter --external-dir "$WORK/facter" quorvin > "$WORK/facter-missing.txt" 2>&1 || true
grep -q "quorvin-report is not installed" "$WORK/facter-missing.txt" || fail "Facter does not say why the fact failed"
pass "without the program, Facter reports the fact's failure and why"
