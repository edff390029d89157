// Damaged variants of one small project file: cut at every record boundary
// and inside records, stored counts that promise too much, and floats that are
// not finite or far out of range in every float field.
#include "../common/PlaceElement.h"
#include "FBPictureElement.h"
#include "uFotobuchDocument.h"

#include "Canvas.h"
#include "FotobuchTestUtil.h"
#include "SysUtils.h"
#include "uBitmapDrawContext.h"
#include "uDataFile.h"
#include "uDocDrawer.h"
#include "uFotobuchBildManager.h"
#include "uRTFDrawer.h"
#include "uTransformation.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace fbtest;

namespace {

// A two-page book with a picture, a linked frame, a text, a clip-art, a
// calendar and special days, as the bytes of its project file.
std::vector<uint8_t> FixtureBytes()
{
    QTemporaryDir dir;
    const QString photo = SavePicture(dir, "foto.png", 64, 48);
    TMemoryStream stream;
    {
        TFBDocument doc;
        doc.ScreenMode = 2;
        doc.PageWidth = 150;
        doc.PageHeight = 100;
        for (int i = 0; i < 2; ++i)
            doc.Pages.Add(std::make_unique<TFBPage>(&doc));
        TFBPage* p0 = doc.Pages.GetPage(0);
        TFBPage* p1 = doc.Pages.GetPage(1);
        auto* a = PlaceElement<TFBPictureElement>(p0->Pictures, p0, 50, 40, 60, 40, 10);
        auto* b = PlaceElement<TFBPictureElement>(p1->Pictures, p1, 50, 40, 60, 40);
        a->LoadPictureFromFile(photo);
        a->SetBorderWidth(1);
        TFBPictureLink* link = doc.AddPictureLink();
        link->AddElement(a);
        link->AddElement(b);
        auto* text = PlaceElement<TFBTextElement>(p0->Elements, p0, 100, 70, 40, 20, -30);
        text->Drawer->SetRTFText("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 Sommer\\par}");
        text->SetHasShadow(true);
        auto* art = PlaceElement<TFBClipartElement>(p1->Elements, p1, 20, 20, 10, 10);
        art->SetRefIndex(a->RefIndex);
        auto* cal = PlaceElement<TFBKalenderElement>(p1->Calendars, p1, 75, 80, 140, 30);
        cal->KalenderData->CellPadding.SetValues(1, 2, 3, 4);
        doc.Holidays.AddDay("Neujahr", ", ", EncodeDate(2024, 1, 1));
        doc.Birthdays.AddDay("Anna", ", ", EncodeDate(2024, 3, 5));
        TMemoryDataFile file(stream);
        doc.SaveToDataFile(file);
    }
    return {stream.Bytes().begin(), stream.Bytes().end()};
}

const std::vector<uint8_t>& Fixture()
{
    static const std::vector<uint8_t> bytes = FixtureBytes();
    return bytes;
}

// Where each record of the fixture starts, and its data length.
struct TRecordPlace {
    size_t Start;
    size_t Length;
    AnsiString Section, Key;
};

std::vector<TRecordPlace> Places(const std::vector<uint8_t>& Bytes)
{
    std::vector<TRecordPlace> out;
    size_t pos = 20;
    while (pos + 168 <= Bytes.size()) {
        const auto len = size_t(I32At(&Bytes[pos + 164]));
        out.push_back({pos, len, AnsiString(reinterpret_cast<const char*>(&Bytes[pos + 4])),
                       AnsiString(reinterpret_cast<const char*>(&Bytes[pos + 132]))});
        pos += 168 + len;
    }
    return out;
}

struct TLoaded {
    std::unique_ptr<TFBDocument> Doc = std::make_unique<TFBDocument>();
    bool Incomplete = false;
};

// Loads the bytes as a project, then draws every screen and saves it again.
TLoaded LoadDrawSave(const std::vector<uint8_t>& Bytes)
{
    TLoaded r;
    TMemoryStream stream;
    stream.WriteBuffer(Bytes.data(), int32_t(Bytes.size()));
    stream.SetPosition(0);
    TMemoryDataFile file(stream);
    r.Doc->LoadFromDataFile(file);
    r.Incomplete = file.Incomplete;

    TBitmap bitmap;
    bitmap.SetSize(80, 60);
    TBitmapDrawContext dc(bitmap);
    dc.Transformation->ScaleUniform(0.25f);
    for (int s = 0; s < r.Doc->GetScreenCount(); ++s)
        DocumentDrawer().DrawSpread(*r.Doc, dc, s, 1);

    TMemoryStream out;
    TMemoryDataFile saved(out);
    r.Doc->SaveToDataFile(saved);
    return r;
}

int ElementCount(const TFBDocument& Doc)
{
    int n = 0;
    for (int i = 0; i < Doc.Pages.Count(); ++i) {
        const TFBPage* p = Doc.Pages.GetPage(i);
        n += p->Pictures.Count() + p->Calendars.Count() + p->Elements.Count();
    }
    return n;
}

class DamagedProject : public ::testing::Test {
protected:
    void TearDown() override { BildManager().Clear(); }
};

} // namespace

TEST_F(DamagedProject, FixtureLoadsWhole)
{
    const TLoaded r = LoadDrawSave(Fixture());
    EXPECT_FALSE(r.Incomplete);
    ASSERT_EQ(r.Doc->Pages.Count(), 2);
    EXPECT_EQ(ElementCount(*r.Doc), 5);
    EXPECT_EQ(r.Doc->PictureLinkCount(), 1);
    EXPECT_EQ(BildManager().Count(), 1);
    EXPECT_EQ(r.Doc->Holidays.GetCount(), 1);
}

// A file cut anywhere opens with what its complete records hold; it is marked
// incomplete exactly when the cut falls inside a record.
TEST_F(DamagedProject, CutAtEveryRecordBoundaryAndInsideRecords)
{
    const std::vector<uint8_t>& whole = Fixture();
    const std::vector<TRecordPlace> places = Places(whole);
    ASSERT_GT(places.size(), 100u);
    struct TCut {
        size_t Size;
        bool Inside;
    };
    std::vector<TCut> cuts;
    for (const TRecordPlace& p : places) {
        cuts.push_back({p.Start, false});
        cuts.push_back({p.Start + 1, true});
        cuts.push_back({p.Start + 167, true});
        if (p.Length > 0)
            cuts.push_back({p.Start + 168, true});
        if (p.Length > 1)
            cuts.push_back({p.Start + 168 + p.Length / 2, true});
    }
    int lastElements = -1;
    for (const TCut& c : cuts) {
        SCOPED_TRACE(testing::Message() << "cut at " << c.Size);
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(c.Size));
        const TLoaded r = LoadDrawSave(cut);
        EXPECT_EQ(r.Incomplete, c.Inside);
        EXPECT_GE(r.Doc->Pages.Count(), 1);
        // More of the file never gives fewer elements.
        const int elements = ElementCount(*r.Doc);
        if (!c.Inside) {
            EXPECT_GE(elements, lastElements);
            lastElements = elements;
        }
        BildManager().Clear();
    }
    EXPECT_EQ(lastElements, 5);

    // A cut inside the picture's data keeps everything before it.
    for (const TRecordPlace& p : places)
        if (p.Key == "File") {
            const std::vector<uint8_t> cut(whole.begin(),
                                           whole.begin() + long(p.Start + 168 + p.Length / 2));
            const TLoaded r = LoadDrawSave(cut);
            EXPECT_TRUE(r.Incomplete);
            EXPECT_EQ(r.Doc->Pages.Count(), 2);
            EXPECT_EQ(ElementCount(*r.Doc), 5);
            EXPECT_EQ(r.Doc->PictureLinkCount(), 1);
        }
}

// Counts of -5, 10^9 and the file's size / 168 in every stored list: the file
// opens with at most what it holds, and no more pages than it has records.
TEST_F(DamagedProject, CountsThatPromiseTooMuch)
{
    const std::vector<uint8_t>& whole = Fixture();
    const int32_t perSize = int32_t(whole.size() / 168);
    int lists = 0;
    for (const TRecordPlace& p : Places(whole)) {
        if (p.Key != "Anzahl")
            continue;
        ++lists;
        for (int32_t count : {-5, 1000000000, perSize}) {
            SCOPED_TRACE(testing::Message() << p.Section << " = " << count);
            std::vector<uint8_t> bytes = whole;
            for (int i = 0; i < 4; ++i)
                bytes[p.Start + 168 + size_t(i)] = uint8_t(uint32_t(count) >> (8 * i));
            const TLoaded r = LoadDrawSave(bytes);
            EXPECT_FALSE(r.Incomplete);
            // Pages, pictures and special days the file does not hold are
            // read empty, at most one per record.
            const auto atMost = [&](std::initializer_list<const char*> sections, int held) {
                for (const char* s : sections)
                    if (p.Section == s)
                        return int(whole.size() / 168);
                return held;
            };
            EXPECT_GE(r.Doc->Pages.Count(), 1);
            EXPECT_LE(r.Doc->Pages.Count(), atMost({"Doc/Pages"}, 2));
            EXPECT_LE(ElementCount(*r.Doc), 5);
            EXPECT_LE(r.Doc->PictureLinkCount(), 1);
            EXPECT_LE(BildManager().Count(), atMost({"BildManager"}, 1));
            EXPECT_LE(r.Doc->Holidays.GetCount() + r.Doc->Birthdays.GetCount(),
                      atMost({"Feiertage", "Geburtstage"}, 2));
            BildManager().Clear();
        }
    }
    EXPECT_GE(lists, 10);
}

// Every float field of the document, a page's elements and the calendar
// settings, set to values that are not finite or far out of range: each reads
// as a finite value within what a page can hold, and the screens draw.
TEST_F(DamagedProject, NonFiniteAndHugeFloats)
{
    const std::vector<uint8_t>& whole = Fixture();
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {std::numeric_limits<double>::quiet_NaN(), inf, -inf, 1e20, -1e31,
                             3e38, 1e300};
    auto finiteWithin = [](float v, float limit) { return std::isfinite(v) && std::fabs(v) <= limit; };
    int fields = 0;
    for (const TRecordPlace& p : Places(whole)) {
        // Floats are the 8-byte records outside the picture manager and the
        // special days (whose dates are no lengths).
        const bool noLength = p.Section.rfind("BildManager", 0) == 0 ||
                              p.Section.rfind("Feiertage", 0) == 0 ||
                              p.Section.rfind("Geburtstage", 0) == 0;
        if (p.Length != 8 || noLength)
            continue;
        ++fields;
        for (double v : values) {
            SCOPED_TRACE(testing::Message() << p.Section << "/" << p.Key << " = " << v);
            std::vector<uint8_t> bytes = whole;
            std::memcpy(&bytes[p.Start + 168], &v, 8);
            const TLoaded r = LoadDrawSave(bytes);
            const TFBDocument& d = *r.Doc;
            for (float f : {d.PageWidth, d.PageHeight, d.Stegbreite, d.Umschlagbreite,
                            d.PrintPaperWidth, d.PrintPaperHeight, d.ScreenQuerformatWinkel})
                EXPECT_TRUE(finiteWithin(f, MaxStoredMM)) << f;
            EXPECT_GE(d.PageWidth, 1.0f);
            for (int i = 0; i < d.Pages.Count(); ++i) {
                const TFBPage* page = d.Pages.GetPage(i);
                for (const TFBElementList* list : {&page->Pictures, &page->Calendars, &page->Elements})
                    for (int j = 0; j < list->Count(); ++j) {
                        const TFBElement* e = list->GetItem(j);
                        for (float f : {e->CenterX, e->CenterY, e->Width, e->Height, e->Angle})
                            EXPECT_TRUE(finiteWithin(f, MaxStoredMM)) << f;
                        if (auto* pic = dynamic_cast<const TFBPictureElement*>(e)) {
                            for (float f : {pic->Zoom, pic->OffsetX, pic->OffsetY, pic->BorderWidth})
                                EXPECT_TRUE(finiteWithin(f, MaxStoredMM)) << f;
                        }
                        if (auto* cal = dynamic_cast<const TFBKalenderElement*>(e)) {
                            const TKalenderData& k = *cal->KalenderData;
                            for (float f : {k.FontHeight, k.WochentagSize, k.WochentagFontHeight,
                                            k.MonatJahrFontHeight, k.MonatJahrSize,
                                            k.SondertagFontHeight, k.SondertagSize,
                                            k.CellPadding.Left, k.CellPadding.Top,
                                            k.CellPadding.Right, k.CellPadding.Bottom,
                                            k.RowSpacing.Left, k.RowSpacing.Bottom})
                                EXPECT_TRUE(finiteWithin(f, MaxStoredPercent)) << f;
                        }
                    }
            }
            BildManager().Clear();
        }
    }
    EXPECT_GE(fields, 60);
}
