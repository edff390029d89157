#!/usr/bin/env bash
# Regenerates the RTF fixtures written by other word processors:
# LibreOffice Writer and AbiWord convert the same HTML source to RTF, and
# LibreOffice converts a text document with header, footer, footnote,
# bookmark, field and JPEG picture (libreoffice-pages.rtf).
# The corpus: the sources in src/ converted by LibreOffice (lo-*: HTML and
# flat text documents; lo-md-*: Markdown through pandoc's DOCX), AbiWord
# (abi-*: HTML) and pandoc (pandoc-*: Markdown). The files written by hand
# after what Word, WordPad and TextEdit write (word-*, wordpad-*, textedit-*)
# are not made here. Beside every RTF file LibreOffice's plain text of it
# (*.txt) is written.
# Needs the Debian packages libreoffice-writer-nogui, abiword, pandoc and imagemagick.
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
convert -size 4x3 xc:'#1e64c8' "$tmp/dot.jpg"
python3 - "$tmp" <<'PY'
import sys, base64
d = sys.argv[1]
jpg = base64.b64encode(open(d + '/dot.jpg', 'rb').read()).decode()
ns = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
      'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
      'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
      'xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" '
      'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" '
      'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
      'xmlns:xlink="http://www.w3.org/1999/xlink"')
doc = f'''<?xml version="1.0" encoding="UTF-8"?>
<office:document {ns} office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">
<office:automatic-styles>
<style:page-layout style:name="pm1"><style:page-layout-properties fo:page-width="21cm" fo:page-height="29.7cm"
 fo:margin-left="2cm" fo:margin-right="2cm" fo:margin-top="2cm" fo:margin-bottom="2cm"/>
<style:header-style/><style:footer-style/></style:page-layout>
</office:automatic-styles>
<office:master-styles><style:master-page style:name="Standard" style:page-layout-name="pm1">
<style:header><text:p>Head ä <text:page-number text:select-page="current">1</text:page-number></text:p></style:header>
<style:footer><text:p>Foot text</text:p></style:footer>
</style:master-page></office:master-styles>
<office:body><office:text>
<text:p>Before <text:bookmark-start text:name="mark"/>marked<text:bookmark-end text:name="mark"/> after.</text:p>
<text:p>Note here<text:note text:id="n1" text:note-class="footnote"><text:note-citation>1</text:note-citation>
<text:note-body><text:p>The footnote.</text:p></text:note-body></text:note> done.</text:p>
<text:p><draw:frame draw:name="pic" text:anchor-type="as-char" svg:width="1cm" svg:height="0.75cm">
<draw:image><office:binary-data>{jpg}</office:binary-data></draw:image></draw:frame> picture</text:p>
<text:p>last</text:p>
</office:text></office:body></office:document>
'''
open(d + '/pages.fodt', 'w', encoding='utf-8').write(doc)
PY
(cd "$tmp" && HOME="$tmp" libreoffice --headless --convert-to rtf pages.fodt >/dev/null 2>&1)
cp "$tmp/pages.rtf" libreoffice-pages.rtf

# The corpus.
soffice() { HOME="$tmp" command soffice -env:UserInstallation="file://$tmp/profile" --headless "$@" >/dev/null 2>&1; }
mkdir -p "$tmp/corpus" "$tmp/lo" "$tmp/md"
cp src/* "$tmp/corpus/"
cp "$tmp/dot.png" "$tmp/corpus/"
(
    cd "$tmp/corpus"
    soffice --infilter="HTML (StarWriter)" --convert-to rtf --outdir "$tmp/lo" ./*.html
    soffice --convert-to rtf --outdir "$tmp/lo" ./*.fodt
    for f in *.html; do
        HOME="$tmp" abiword --to=rtf --to-name="$tmp/corpus/abi-${f%.html}.rtf" "$f" >/dev/null 2>&1
    done
    for f in *.md; do
        pandoc -s -t rtf "$f" -o "pandoc-${f%.md}.rtf"
        pandoc "$f" -o "$tmp/md/${f%.md}.docx"
    done
    soffice --convert-to rtf --outdir "$tmp/md" "$tmp"/md/*.docx
)
rm -f lo-*.rtf abi-*.rtf pandoc-*.rtf
for f in "$tmp"/lo/*.rtf; do cp "$f" "lo-$(basename "$f")"; done
for f in "$tmp"/md/*.rtf; do cp "$f" "lo-md-$(basename "$f")"; done
cp "$tmp"/corpus/abi-*.rtf "$tmp"/corpus/pandoc-*.rtf .

# LibreOffice's plain text of every RTF file.
rm -f ./*.txt
soffice --convert-to "txt:Text (encoded):UTF8" --outdir . ./*.rtf
