#pragma once
// The page view's clipboard formats and the data of the drags it takes, shared
// with the page overview; filling a frame with a picture file.
#include "AnsiString.h"
#include "Ole.h"

#include <QString>
#include <QStringList>
#include <initializer_list>
#include <memory>

class TMemoryStream;
class TFBDocument;
class TFBPictureElement;

// The clipboard formats of copied elements: text and clip-art, pictures,
// calendars. Each carries the bytes of a memory data file whose section
// "Clipboard" the element saved itself into.
TClipFormat CF_QN_FotobuchData();
TClipFormat CF_QN_FotobuchPic();
TClipFormat CF_QN_FotobuchKalender();

// The file names of a "QwFileList" or "QwClipart" drag (and of files dropped
// from other programs): one a line, the system's bytes of each (UTF-8 for
// names in UTF-8), kept as they are but for the line end (DecodeFileName).
QStringList FileNamesOf(const AnsiString& Data);
// The bytes of a drag format as a stream at its start.
std::unique_ptr<TMemoryStream> StreamOf(const AnsiString& Data);

// The "QwPic" drag data of a picture element: its identity in the running
// program as decimal text. Every drop target takes only an identity that names
// a picture element of its own document.
AnsiString PictureDragData(const TFBPictureElement* Element);
// The picture element of Document that Data names, null when it names none.
TFBPictureElement* PictureOfDragData(const TFBDocument* Document, const AnsiString& Data);

// The text with each "%d" replaced in turn by the next number. The text may
// come from a language file, so it is never used as a format string.
QString FillNumbers(QString Text, std::initializer_list<int> Numbers);

// Loads File into Frame (zoom 1, centred), recorded for undo first. The only
// picture frame of a photo page without a calendar turns its page to the
// picture's orientation; on a landscape page the picture is turned to stand
// upright. True when the page's orientation was set. A file that holds no
// picture, or is not there, raises the picture manager's message and records
// nothing.
bool LoadFileIntoFrame(TFBDocument& Document, TFBPictureElement& Frame, const QString& File);
