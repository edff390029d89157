#pragma once
// Choosing the reader and writer class of a text by format name, file
// extension or the stream's first bytes, and saving a file safely: written to
// a temporary file, renamed into place, the old file kept as ".BAK" on request.
#include "AnsiString.h"
#include "Classes.h"
#include "RtDefs.h"

#include <QString>
#include <functional>

// The reader a stream's first bytes call for (RTF group, HTML tags, else
// text); the stream's position is kept.
AnsiString RtSniffReaderClass(TStream& Stream);

// The reader class for a load: by the upper-case extension (with its dot) when
// the format is "AUTO", else by the format name ("RTF", "HTML", "ANSI" or a
// class name), "AUTO" or empty by the stream's bytes. An automatically chosen
// class that is not registered gives way to the text reader.
AnsiString RtChooseReaderClass(const AnsiString& Ext, const AnsiString& Format, TStream& Stream);

// The writer class for a save, chosen the same way ("UTF8": plain text as
// UTF-8, by each font's charset); "AUTO" writes RTF when
// the text or a header/footer has content or the text keeps styles, else text.
AnsiString RtChooseWriterClass(const AnsiString& Ext, const AnsiString& Format, bool HasContent, bool KeepsStyles);

// FileName with ".BAK" in place of its extension, or, while such a file
// exists, with ".BAK1", ".BAK2", ...
QString RtFreeBackupName(const QString& FileName);

// Writes FileName through Write (which returns the writer's result code, 0 on
// success). The data goes to a temporary file first; when it is complete the
// old file moves to a free backup name, the new one takes its place and the
// backup is deleted. With soDontDeleteBAKFile the old file stays as ".BAK",
// replacing an older one; soDontRenameToBAKFile keeps no backup. Errors raise
// with the editor's messages and leave (or restore) the old file.
void RtSaveFileWithBackup(const QString& FileName, TStoreOptions Options,
                          const std::function<int32_t(TStream& Stream)>& Write);
