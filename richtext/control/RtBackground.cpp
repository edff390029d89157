#include "RtBackground.h"

#include "RtRtfTxt.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QWidget>

QImage RtTextBackground(const TRtRTFText& Text)
{
    if (!Text.HasBackground || !Text.Background || Text.Background->Size() == 0)
        return QImage();
    const TByteVector& bytes = Text.Background->Bytes();
    return QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), int(Text.Background->Size()));
}

void SetRtTextBackground(TRtRTFText& Text, const QImage& Picture)
{
    Text.HasBackground = false;
    Text.Background.reset();
    if (Picture.isNull())
        return;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!Picture.save(&buffer, "PNG"))
        return;
    Text.Background = std::make_unique<TMemoryStream>();
    Text.Background->WriteBuffer(png.constData(), int32_t(png.size()));
    Text.HasBackground = true;
}

QImage RtLoadBackground(const QString& FileName)
{
    QImageReader reader(FileName);
    reader.setAutoTransform(true);
    return reader.read();
}

bool RtSaveBackground(const QImage& Picture, const QString& FileName)
{
    if (Picture.isNull() || FileName.isEmpty())
        return false;
    QByteArray format = QFileInfo(FileName).suffix().toLower().toLatin1();
    if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format))
        format = "png";
    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, format);
    if (!writer.write(Picture)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QImage RtParentBackground(const QWidget& Control)
{
    QImage image(Control.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QWidget* parent = Control.parentWidget();
    if (!parent || image.isNull())
        return image;
    QPainter p(&image);
    parent->render(&p, QPoint(), QRegion(Control.geometry()), QWidget::DrawWindowBackground);
    return image;
}
