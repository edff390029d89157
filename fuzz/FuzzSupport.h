#pragma once
// Shared by the fuzz targets and the seed writer: the offscreen application
// with settings and files kept in a temporary folder, and the program's own
// readers as each target drives them.
#include "AnsiString.h"
#include "Classes.h"

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
