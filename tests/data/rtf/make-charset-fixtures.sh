#!/usr/bin/env bash
# Regenerates the RTF fixtures of the sample sentences in charsets/sentences.txt
# (one "code sentence" a line, UTF-8): LibreOffice Writer converts each
# sentence, as a text document of its own, to charsets/<code>.rtf.
# Needs the Debian package libreoffice-writer-nogui.
set -euo pipefail
cd "$(dirname "$0")/charsets"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
while read -r code sentence; do
    printf '%s\n' "$sentence" > "$tmp/$code.txt"
    (cd "$tmp" && HOME="$tmp" soffice --headless --infilter="Text (encoded):UTF8,LF,,," \
        --convert-to rtf "$code.txt" >/dev/null 2>&1)
    cp "$tmp/$code.rtf" "$code.rtf"
done < sentences.txt
