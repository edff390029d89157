// The ordinary metafiles beside LibreOffice Draw's own rendering of them: soffice
// exports each file as a page at two sizes, and the player's drawing must look
// the same within a tolerance. Skipped where soffice is not installed.
#include "Metafile.h"

#include "../common/LibreOffice.h"
#include "../common/MetafileImages.h"
#include "../common/MetafileRecords.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>

using namespace metafile_images;

namespace {

// The files exported by soffice as pages of PageWidth pixels into Dir; false when it failed.
bool ExportPages(const QStringList& Files, int PageWidth, const QString& Dir)
{
    // An A4 page: LibreOffice places a picture at its own size, or less when it does not fit.
    const QString options = QStringLiteral(R"(png:draw_png_Export:{"PixelWidth":{"type":"long","value":"%1"},)"
                                           R"("PixelHeight":{"type":"long","value":"%2"}})")
                                .arg(PageWidth)
                                .arg(int(PageWidth * 297.0 / 210.0 + 0.5));
    return RunLibreOffice(Dir, QStringList{QStringLiteral("--convert-to"), options, QStringLiteral("--outdir"), Dir}
                                   + Files);
}

}  // namespace

TEST(MetafileLibreOffice, OrdinaryDrawingsLookAsLibreOfficeDrawsThem)
{
    if (SofficeProgram().isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed";
    const QString folder = QStringLiteral(LUMI_TEST_DATA "/metafile/ordinary");
    QStringList files;
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.wmf"), QStringLiteral("*.emf")}, QDir::Files))
        files << folder + QLatin1Char('/') + name;
    ASSERT_GE(files.size(), 24);
    for (const int page : {794, 1588}) {
        // A WMF and an EMF of the same name would give the same PNG: each kind in a folder of its own.
        for (const char* kind : {"wmf", "emf"}) {
            QTemporaryDir dir;
            ASSERT_TRUE(dir.isValid());
            const QStringList ofKind = files.filter(QLatin1Char('.') + kind);
            ASSERT_TRUE(ExportPages(ofKind, page, dir.path()));
            for (const QString& file : ofKind) {
                const QString name = QFileInfo(file).fileName();
                SCOPED_TRACE(name.toStdString() + " on a page " + std::to_string(page) + " pixels wide");
                QImage rendered(dir.path() + QLatin1Char('/') + QFileInfo(file).completeBaseName()
                                + QStringLiteral(".png"));
                ASSERT_FALSE(rendered.isNull());
                QImage ref(rendered.size(), QImage::Format_RGB32);
                ref.fill(Qt::white);
                QPainter(&ref).drawImage(0, 0, rendered);
                const QImage refContent = Content(ref);
                // The player draws the picture as large as LibreOffice drew what it holds.
                QFile f(file);
                ASSERT_TRUE(f.open(QIODevice::ReadOnly));
                TMetafile m;
                ASSERT_TRUE(m.LoadFromBytes(f.readAll()));
                QImage image(refContent.size(), QImage::Format_RGB32);
                image.fill(Qt::white);
                bool whole = false;
                {
                    QPainter p(&image);
                    whole = m.Draw(p, QRectF(0, 0, image.width(), image.height()));
                }
                EXPECT_TRUE(whole);
                const QImage content = Content(image).scaled(refContent.size(), Qt::IgnoreAspectRatio,
                                                             Qt::SmoothTransformation);
                const int reach = page / 794 + 1;
                // Glyphs and the edges of bars a pixel or two wide are smoothed differently
                // (a barcode's differ most, up to a tenth); a drawing cut short, blank or
                // missing a shape differs far more.
                EXPECT_LT(FarPixels(content, refContent, reach), 0.12);
                EXPECT_LT(FarPixels(refContent, content, reach), 0.12);
            }
        }
    }
}
