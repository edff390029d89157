#pragma once
// The background picture of a rich text: kept with the text (written to and
// read from its RTF as the background picture), loaded from and saved to
// picture files, and the parent's painting under a transparent control.
#include <QImage>
#include <QString>

class QWidget;
class TRtRTFText;

// The text's background picture; null when it has none or its data is no picture.
QImage RtTextBackground(const TRtRTFText& Text);
// Gives the text a background picture (PNG data); a null picture removes it.
void SetRtTextBackground(TRtRTFText& Text, const QImage& Picture);
// A picture file; null when the file cannot be read as a picture.
QImage RtLoadBackground(const QString& FileName);
// Saves a picture in the format the file name's extension names (PNG when it
// names none), replacing the file only once the new one is complete.
bool RtSaveBackground(const QImage& Picture, const QString& FileName);
// What Control's parent paints under it (its background and its own
// painting, not its other children), the size of Control.
QImage RtParentBackground(const QWidget& Control);
