#!/bin/sh
# Every option that "signetor-cli --help" lists must be described in the command's manual page,
# so that the two cannot drift apart.
set -eu
cli=$1 page=$2

# The option column of the help: the lines that start with "  -", up to the first wide gap.
options=$("$cli" --help | awk '/^  -/ {
    sub(/^  /, ""); sub(/   .*/, "")
    n = split($0, mots, /[ ,]+/)
    for (i = 1; i <= n; i++) if (mots[i] ~ /^--?[a-z]/) print mots[i]
}')
[ -n "$options" ] || { echo "no option found in the output of $cli --help"; exit 1; }

missing=0
for option in $options; do
    if ! grep -qF -- "*$option*" "$page"; then
        echo "signetor-cli --help lists $option, but $(basename "$page") does not describe it:" \
            "add it under OPTIONS"
        missing=1
    fi
done
exit $missing
