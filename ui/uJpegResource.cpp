#include "uJpegResource.h"

#include "SysUtils.h"
#include "uJpegDecode.h"

#include <QFile>

QImage DecodeJpeg(const QByteArray& Data)
{
    if (Data.isEmpty())
        throw Exception("JPEG: keine Daten");
    QImage image;
    std::string message;
    if (!DecodeJpegBytes(reinterpret_cast<const uint8_t*>(Data.constData()), size_t(Data.size()), QSize(),
                         image, message))
        throw Exception(AnsiString("JPEG: ") + message);
    return image;
}

QImage LoadJpegResource(const QString& Name)
{
    QFile file(QStringLiteral(":/JPEG/") + Name);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("JPEG-Ressource \"%1\" nicht gefunden").arg(Name));
    return DecodeJpeg(file.readAll());
}
