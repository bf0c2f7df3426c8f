#!/bin/sh
# A Facter external fact: made executable in /etc/puppetlabs/facter/facts.d/
# (or /etc/facter/facts.d/) on a managed machine, it makes this machine's
# report the structured fact "quorvin". A missing or failing program exits
# non-zero with the reason on stderr, so that Facter reports it.
if ! command -v quorvin-report >/dev/null 2>&1; then
    echo "quorvin.sh: quorvin-report is not installed on this machine" >&2
    exit 1
fi
report="$(quorvin-report --json)" || exit $?
printf '{"quorvin": %s}\n' "$report"
