#!/usr/bin/env bash
# Regenerates the RTF fixtures written by other word processors:
# LibreOffice Writer and AbiWord convert the same HTML source to RTF.
# Needs the Debian packages libreoffice-writer-nogui and abiword.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 - "$tmp" <<'PY'
import sys, base64, struct, zlib
d = sys.argv[1]
def png(w, h, rgb):
    raw = b''.join(b'\0' + bytes(rgb) * w for _ in range(h))
    def chunk(t, b):
        return struct.pack('>I', len(b)) + t + b + struct.pack('>I', zlib.crc32(t + b) & 0xffffffff)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))
open(d + '/dot.png', 'wb').write(png(4, 3, (200, 30, 30)))
html = '''<!DOCTYPE html><html><head><meta charset="utf-8"><title>Probe</title></head><body>
<p>Gr\u00fc\u00dfe aus K\u00f6ln \u20ac 5 \u00a9 \u2013 \u201equoted\u201c</p>
<p><b>bold</b> <i>italic</i> <u>under</u> <span style="color:#ff0000">red</span> <span style="font-size:18pt">big</span></p>
<p align="center">centred</p>
<p>\u041f\u0440\u0438\u0432\u0435\u0442 \u03b1\u03b2\u03b3 \U0001F600 end</p>
<p><a href="https://example.org/x">link text</a></p>
<table border="1"><tr><td>a1</td><td>b1</td></tr><tr><td>a2</td><td><table border="1"><tr><td>n1</td><td>n2</td></tr></table></td></tr></table>
<ul><li>first bullet</li><li>second bullet</li></ul>
<ol><li>one</li><li>two</li></ol>
<p><img src="dot.png" width="40" height="30"></p>
<p>last</p>
</body></html>'''
open(d + '/probe.html', 'w', encoding='utf-8').write(html)
PY
(cd "$tmp" && HOME="$tmp" libreoffice --headless --infilter="HTML (StarWriter)" --convert-to rtf probe.html >/dev/null 2>&1)
cp "$tmp/probe.rtf" libreoffice.rtf
(cd "$tmp" && HOME="$tmp" abiword --to=rtf --to-name=abiword.rtf probe.html >/dev/null 2>&1)
cp "$tmp/abiword.rtf" abiword.rtf
