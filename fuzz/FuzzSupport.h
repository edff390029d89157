#pragma once
// Shared by the fuzz targets and the seed writer: the offscreen application
// with settings and files kept in a temporary folder, and the program's own
// readers as each target drives them.
#include "AnsiString.h"
#include "Classes.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// Starts the offscreen application once (fonts, pictures and drawing need it).
void FuzzStartApplication();
// The bytes as a stream at position 0.
std::unique_ptr<TMemoryStream> FuzzStream(const uint8_t* Data, size_t Size);

// Opens the bytes as a project file (indexed as on opening), draws every
// screen with previews and full pictures, and saves the project again.
void FuzzProject(const uint8_t* Data, size_t Size);
// The first byte chooses the reader: a page template (loaded, saved, drawn
// as a miniature and laid onto a page) or a colour preset.
void FuzzTemplateStreams(const uint8_t* Data, size_t Size);
// The bytes as the rich text of a text box: parsed, laid out and drawn.
void FuzzRTFDrawer(const uint8_t* Data, size_t Size);
// The first byte chooses the format the rest arrives in through a drop or the
// clipboard: a file list, a page template, a colour, a dragged picture, an
// element copy or a list of files from another program.
void FuzzDropFormats(const uint8_t* Data, size_t Size);
constexpr int FuzzDropFormatCount = 8;
// The rich-text component as the text panel drives it: the first byte gives
// the length of a script of edits that follows, the rest is RTF loaded into
// the component; laid out and painted after the load, during the script and
// after a save and reload.
void FuzzRichText(const uint8_t* Data, size_t Size);
// An input of FuzzRichText: a script (at most 255 bytes) and the RTF after it.
QByteArray FuzzRichTextInput(const QByteArray& Script, const QByteArray& Rtf);
