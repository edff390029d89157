#pragma once
// JPEG pictures that the program carries as resources (":/JPEG/<name>"),
// decoded with libjpeg.
#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes JPEG bytes into an RGB32 image. Raises Exception for data that is
// not a readable JPEG.
QImage DecodeJpeg(const QByteArray& Data);
// The JPEG resource of that name, decoded; raises Exception when it is
// missing or unreadable.
QImage LoadJpegResource(const QString& Name);
