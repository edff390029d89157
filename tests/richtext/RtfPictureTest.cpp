// Pictures in RTF: each kind read and drawn, pictures that cannot be loaded,
// and the standard forms written as the object's and the store's modes say.
#include "RtfTestSupport.h"

#include "RtObject.h"

#include <QFile>

namespace {

QByteArray MetafileBytes(const char* Name)
{
    QFile f(QStringLiteral(LUMI_TEST_DATA "/metafile/") + QLatin1String(Name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// 8 x 6 pixels: red, green, blue and white quarters.
QImage Quarters()
{
    QImage image(8, 6, QImage::Format_RGB32);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            image.setPixel(x, y, y < 3 ? (x < 4 ? qRgb(255, 0, 0) : qRgb(0, 255, 0))
                                       : (x < 4 ? qRgb(0, 0, 255) : qRgb(255, 255, 255)));
    return image;
}

// The picture object of the character at Pos of the first paragraph.
TRtOImageObject* PictureAt(const TRtRTFText& Text, int32_t Pos)
{
    const TTextObj* ref = const_cast<TRtRTFText&>(Text).ObjRefList()->GetTextObj(int32_t(AttrAt(Text.FirstPar, Pos).Tag));
    return ref ? dynamic_cast<TRtOImageObject*>(ref->Object) : nullptr;
}

// The object painted at its size in the text (15 twips a pixel).
QImage Drawn(TRtOImageObject& Picture)
{
    return Picture.TRtObject::GetBitmapHandle().convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(RtfReader, DeviceIndependentBitmapsAreDrawn)
{
    TPictureClasses classes{".BMP"};
    // A bitmap of true colours and one with a colour table, each without its file header.
    const QImage quarters = Quarters();
    for (const QImage& image : {quarters, quarters.convertToFormat(QImage::Format_Indexed8)}) {
        const QByteArray dib = ImageBytes(image, "BMP").mid(14);
        TRtRTFText text;
        ReadRtf(text, "{\\rtf1 a{\\pict\\dibitmap0\\picw8\\pich6\\picwgoal120\\pichgoal90 " + dib.toHex().toStdString()
                          + "}b}");
        ASSERT_EQ(ParString(text.FirstPar), "a\x01" "b");
        TRtOImageObject* picture = PictureAt(text, 1);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(Drawn(*picture), quarters) << image.format();
    }
}

TEST(RtfReader, PicturesThatCannotBeLoadedLeaveNoObject)
{
    TPictureClasses classes{".PNG", ".JPG", ".EMF", ".WMF", ".BMP"};
    // A bitmap whose colour table would be larger than its bytes.
    QByteArray dib = ImageBytes(Quarters().convertToFormat(QImage::Format_Indexed8), "BMP").mid(14);
    dib[32] = char(200);
    const std::string cases[] = {
        "\\pngblip 89504e470d0a1a0a0000",
        "\\jpegblip ffd8ffe000104a464946",
        "\\emfblip 0100000058000000",
        "\\wmetafile8\\picw100\\pich100 0100090000035e000000",
        "\\dibitmap0 28000000080000000600000001000800",
        "\\dibitmap0 " + dib.toHex().toStdString(),
        "\\wbitmap0\\picw8\\pich6 ffffffff",
    };
    for (const std::string& pict : cases) {
        TRtRTFText text;
        ReadRtf(text, "{\\rtf1 a{\\pict" + pict + "}b}");
        EXPECT_EQ(ParString(text.FirstPar), "ab") << pict;
        EXPECT_TRUE(text.Objects().empty()) << pict;
    }
}

TEST(RtfRoundTrip, PicturesOfEveryKindInTheFormsTheModesAsk)
{
    TPictureClasses classes{".PNG", ".WMF", ".EMF", ".BMP"};
    const struct {
        const char* Type;
        QByteArray Bytes;
        const char* Word;
    } kinds[] = {
        {"WMF", MetafileBytes("shapes.wmf"), "\\wmetafile8\\picw4994\\pich2348\\picwgoal"},
        {"EMF", MetafileBytes("shapes.emf"), "\\emfblip\\picw4993\\pich2347\\picwgoal"},
        {"BMP", ImageBytes(Quarters(), "BMP"), "\\dibitmap0\\picw8\\pich6\\picwgoal"},
        // Formats RTF has no word for go as PNG.
        {"PPM", ImageBytes(Quarters(), "PPM"), "\\pngblip\\picw8\\pich6\\picwgoal"},
    };
    const std::string png = ImageBytes(Quarters()).toHex().toStdString();
    for (const auto& kind : kinds) {
        TRtRTFText first;
        ReadRtf(first, "{\\rtf1 a{\\pict\\pngblip " + png + "}b}");
        TRtOImageObject* picture = PictureAt(first, 1);
        ASSERT_NE(picture, nullptr);
        picture->SetPicture(kind.Bytes, kind.Type);
        picture->SetWidthTW(2 * 189 * 15);
        picture->SetHeightTW(2 * 89 * 15);
        const QImage drawn = Drawn(*picture);
        // Object modes under the store's mode that leaves it to them, then the store's own modes.
        const struct {
            TRtObjectWriteRTFModeGlobal Store;
            TRtObjectWriteRTFMode Object;
            bool Own, Standard;
        } modes[] = {
            {wobDependingOnObject, wobOnlyStandard, false, true}, {wobDependingOnObject, wobOnlyRTF, true, false},
            {wobDependingOnObject, wobBoth, true, true},          {wobStandard, wobOnlyRTF, false, true},
            {wobRTF, wobOnlyStandard, true, false},               {wobStandardAndRTF, wobOnlyStandard, true, true},
        };
        for (const auto& mode : modes) {
            first.ObjectWriteMode = mode.Store;
            picture->WriteRTFMode = mode.Object;
            const std::string written = WriteRtf(first);
            const std::string what = std::string(kind.Type) + " " + std::to_string(mode.Store) + "/"
                                     + std::to_string(mode.Object) + "\n" + written.substr(0, 2000);
            EXPECT_EQ(written.find("\\rtobject") != std::string::npos, mode.Own) << what;
            EXPECT_EQ(written.find("{\\pict" + std::string(kind.Word) + "5670\\pichgoal2670\r\n") != std::string::npos,
                      mode.Standard)
                << what;
            TRtRTFText second;
            ReadRtf(second, written);
            ASSERT_EQ(ParString(second.FirstPar), "a\x01" "b") << what;
            TRtOImageObject* back = PictureAt(second, 1);
            ASSERT_NE(back, nullptr) << what;
            EXPECT_EQ(back->GetWidthTW(), 2 * 189 * 15) << what;
            EXPECT_EQ(back->GetHeightTW(), 2 * 89 * 15) << what;
            EXPECT_EQ(Drawn(*back), drawn) << what;
        }
    }
}
