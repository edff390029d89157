#pragma once
// Helpers of the printing tests: the PDF printer selected with a fresh output
// file, the page count and sizes reported by pdfinfo, and pages rendered by
// pdftoppm.
#include "Printers.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSizeF>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace printtest {

// Selects the PDF printer with its defaults; its jobs go to Dir/Name.
inline QString UsePdfPrinter(const QTemporaryDir& Dir, const QString& Name = QStringLiteral("out.pdf"))
{
    TPrinter& p = Printer();
    p.SetPrinterIndex(int(p.Printers().indexOf(QString::fromLatin1(PdfPrinterName))));
    p.OutputFileName = Dir.filePath(Name);
    return p.OutputFileName;
}

struct TPdfInfo {
    int Pages = 0;
    QSizeF PageSize;  // millimetres, of the first page
};

inline TPdfInfo PdfInfo(const QString& File)
{
    QProcess proc;
    proc.start(QStringLiteral("pdfinfo"), {File});
    EXPECT_TRUE(proc.waitForFinished(30000));
    const QString out = QString::fromUtf8(proc.readAllStandardOutput());
    TPdfInfo info;
    const auto pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(out);
    if (pages.hasMatch())
        info.Pages = pages.captured(1).toInt();
    const auto size = QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts")).match(out);
    if (size.hasMatch())
        info.PageSize = QSizeF(size.captured(1).toDouble() / 72 * 25.4, size.captured(2).toDouble() / 72 * 25.4);
    return info;
}

// Page (1-based) at Dpi; null when pdftoppm fails.
inline QImage RenderPdfPage(const QString& File, int Page, int Dpi)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    QProcess proc;
    proc.start(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(Dpi),
                                            QStringLiteral("-f"), QString::number(Page), QStringLiteral("-l"),
                                            QString::number(Page), QStringLiteral("-singlefile"), File, prefix});
    EXPECT_TRUE(proc.waitForFinished(60000));
    QImage img(prefix + QStringLiteral(".png"));
    return img.convertToFormat(QImage::Format_RGB32);
}

// The pixel at a point given in millimetres from the top-left paper corner.
inline QColor PixelAtMm(const QImage& Img, int Dpi, double X, double Y)
{
    return QColor(Img.pixel(int(X / 25.4 * Dpi), int(Y / 25.4 * Dpi)));
}

inline bool Near(const QColor& A, const QColor& B, int Tolerance = 40)
{
    return std::abs(A.red() - B.red()) <= Tolerance && std::abs(A.green() - B.green()) <= Tolerance &&
           std::abs(A.blue() - B.blue()) <= Tolerance;
}

} // namespace printtest
