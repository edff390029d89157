#include "RtInputTestSupport.h"

#include "RtFrameObject.h"
#include "RtObjectEnv.h"

#include <QBuffer>
#include <QWidget>

namespace {

// A picture object that counts its destruction.
class TCountedImage : public TRtOImageObject {
public:
    explicit TCountedImage(int* Deaths) : deaths_(Deaths) {}
    ~TCountedImage() override { ++*deaths_; }

private:
    int* deaths_;
};

class ObjectEnv : public RtInputTest {
protected:
    void SetUp() override
    {
        RtInputTest::SetUp();
        Layout({"ab", "cd"}, 400);
        Window.resize(400, 300);
        Env = std::make_unique<TRtObjectEnv>(E.get(), &Window);
        RtObjectClassesForExt.Add(".BMP=TRtOImageObject");
    }
    void TearDown() override { RtObjectClassesForExt.Clear(); }

    static QByteArray Png(int W, int H)
    {
        QImage img(W, H, QImage::Format_RGB32);
        img.fill(Qt::red);
        QByteArray bytes;
        QBuffer b(&bytes);
        b.open(QIODevice::WriteOnly);
        img.save(&b, "PNG");
        return bytes;
    }
    std::unique_ptr<TRtObject> Picture(int W, int H, int* Deaths = nullptr)
    {
        std::unique_ptr<TRtOImageObject> o;
        if (Deaths)
            o = std::make_unique<TCountedImage>(Deaths);
        else
            o = std::make_unique<TRtOImageObject>();
        o->SetPicture(Png(W, H), "PNG");
        o->SetWidthTW(o->GetNaturalWidth());
        o->SetHeightTW(o->GetNaturalHeight());
        return o;
    }
    int32_t CountObjectChars(TParagraph* P, int32_t Id)
    {
        int32_t n = 0;
        for (TLine* l = P->Lines; l; l = l->Next)
            for (int32_t i = 0; i < l->Length; ++i)
                n += l->Attrs[i].Style.Has(afsIsObject) && int32_t(l->Attrs[i].Tag) == Id;
        return n;
    }
    QWidget Window;   // the edit control's window
    std::unique_ptr<TRtObjectEnv> Env;
};

TEST_F(ObjectEnv, BitmapsBecomePicturesWithTheirSizeInTwips)
{
    TRtGraphic g;
    g.Kind = TRtGraphic::gkBitmap;
    g.Bitmap = QImage(96, 48, QImage::Format_RGB32);
    std::unique_ptr<TRtObject> o = Env->WrapGraphicAsObject(g);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->GetWidthTW(), 1440);
    EXPECT_EQ(o->GetHeightTW(), 720);
    g.Bitmap = QImage(96, 0, QImage::Format_RGB32);
    EXPECT_EQ(Env->WrapGraphicAsObject(g)->GetHeightTW(), 1440);

    RtObjectClassesForExt.Clear();
    try {
        Env->WrapGraphicAsObject(g);
        FAIL();
    } catch (const ERtEngineError& e) {
        EXPECT_EQ(e.Message, "Graphic support was not linked. Please include unit RtEmOBJ to project.");
    }
    try {
        Env->WrapGraphicAsObject(TRtGraphic());
        FAIL();
    } catch (const ERtEngineError& e) {
        EXPECT_EQ(e.Message, "Cannot use other objects than of type TRtObject.");
    }
}

TEST_F(ObjectEnv, GivenSizesServeOneInsertionAndFollowTheAspect)
{
    PutCursor(0, 0, 1);
    TTextObj* ref = Env->InsertObjectSized(Picture(200, 100), "", "", 0, 2880, -1);
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(ref->Width, 2880);
    EXPECT_EQ(ref->Height, 1440);
    EXPECT_EQ(ParString(Par(0)), "a\x01" "b");
    EXPECT_EQ(Cursor(), std::make_tuple(0, 0, 2));
    EXPECT_FALSE(E->CurrentAttr.Style.Has(afsIsObject));
    // The next picture keeps its own size, not the last one's.
    TTextObj* second = Env->InsertObject(Picture(48, 24), "");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Width, 720);
    EXPECT_EQ(second->Height, 360);
    EXPECT_EQ(E->CurrentAttr.Width, 0);
    // Height given, width following.
    TTextObj* third = Env->InsertObjectSized(Picture(200, 100), "", "", 0, -1, 720);
    EXPECT_EQ(third->Width, 1440);
    EXPECT_EQ(third->Height, 720);
}

TEST_F(ObjectEnv, PicturesFitThePrintableAreaNeverBelowOneTwip)
{
    TTextHeader* h = E->Header();
    h->BeginUpdate();
    h->SetPageWidth(4000);
    h->SetLeftMargin(1000);
    h->SetRightMargin(1000);
    h->EndUpdate();
    TTextObj* ref = Env->InsertObject(Picture(400, 200), "");
    EXPECT_EQ(ref->Width, 2000);
    EXPECT_EQ(ref->Height, 1000);
    // Margins beyond the page: the size stays as it is.
    h->BeginUpdate();
    h->SetLeftMargin(3000);
    h->SetRightMargin(3000);
    h->EndUpdate();
    TTextObj* wide = Env->InsertObject(Picture(40, 20), "");
    EXPECT_EQ(wide->Width, 600);
    EXPECT_EQ(wide->Height, 300);
}

TEST_F(ObjectEnv, SameNameReplacesThePictureAndFreesTheNewObject)
{
    int deaths = 0;
    TTextObj* first = Env->InsertObject(Picture(10, 10), "logo");
    ASSERT_NE(first, nullptr);
    TTextObj* again = Env->InsertObject(Picture(30, 20, &deaths), "LOGO");
    EXPECT_EQ(again, first);
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(CountObjectChars(Par(0), E->ObjRefList()->IndexOfObject(first)), 1);
    auto* image = dynamic_cast<TRtOImageObject*>(first->Object);
    ASSERT_NE(image, nullptr);
    ASSERT_NE(image->GetPicture(), nullptr);
    EXPECT_EQ(image->GetPicture()->width(), 30);

    // A refused insertion inserts nothing and frees the object.
    Env->BeforeInsert = [] { return false; };
    EXPECT_EQ(Env->InsertObject(Picture(5, 5, &deaths), "other"), nullptr);
    EXPECT_EQ(deaths, 2);
}

TEST_F(ObjectEnv, RemovingAnObjectRemovesEveryCharacterOfIt)
{
    TTextObj* ref = Env->InsertObject(Picture(10, 10), "");
    const int32_t id = E->ObjRefList()->IndexOfObject(ref);
    Env->InsertObjectChar(Par(1), id, 1, false, false);
    ASSERT_EQ(CountObjectChars(Par(0), id), 1);
    ASSERT_EQ(CountObjectChars(Par(1), id), 1);
    EXPECT_EQ(Env->FindObjectChar(id, Par(1)), 1);
    Env->SelectObject(ref);
    EXPECT_EQ(Env->GetSelectedObject(), ref->Object);
    Env->DeleteObject(ref);
    EXPECT_EQ(Pars(*E), (std::vector<std::string>{"ab", "cd"}));
    EXPECT_EQ(E->SelectedObj, nullptr);
    EXPECT_FALSE(Env->FrameShown);
    EXPECT_EQ(Env->FindObjectChar(id, Par(1)), -1);
}

TEST_F(ObjectEnv, FrameOverTheSelectedObject)
{
    E->EditOptions.Include(rtObjectResizingWidth);
    PutCursor(0, 0, 1);
    TTextObj* ref = Env->InsertObject(Picture(40, 20), "");
    Env->SelectObject(ref);
    ASSERT_TRUE(Env->FrameShown);
    TRtFrameObject* f = Env->Frame.get();
    const TRect r = ref->Object->ObjRect;
    EXPECT_EQ(f->geometry(), QRect(r.Left - 4, r.Top - 4, 40 + 8, 20 + 8));
    EXPECT_EQ(r.Left, E->GetCharX(Par(0), Par(0)->Lines, 1));
    // Only the width handles show with rtObjectResizingWidth.
    EXPECT_FALSE(f->Handles[0]->isVisibleTo(f));
    EXPECT_TRUE(f->Handles[3]->isVisibleTo(f));
    EXPECT_TRUE(f->Handles[7]->isVisibleTo(f));
    EXPECT_FALSE(f->Handles[1]->isVisibleTo(f));
    // Scrolling moves the frame with the text.
    const QPoint before = f->pos();
    E->TopY = 10;
    Env->ScrollFrame(10, 0);
    EXPECT_EQ(f->pos(), before - QPoint(0, 10));
    Env->HideFrame();
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(f->Entry, nullptr);
}

} // namespace

namespace {

class FrameObject : public ObjectEnv {
protected:
    TRtFrameObject* Show(int W, int H, TRtObject** Obj = nullptr)
    {
        PutCursor(0, 0, 1);
        TTextObj* ref = Env->InsertObject(Picture(W, H), "");
        Env->SelectObject(ref);
        if (Obj)
            *Obj = dynamic_cast<TRtObject*>(ref->Object);
        return Env->Frame.get();
    }
    void Drag(TRtFrameObject* F, int Kind, QPoint From, QPoint To)
    {
        F->HandleDown(F->Handles[size_t(Kind)], From);
        F->HandleMove(F->Handles[size_t(Kind)], To);
    }
};

TEST_F(FrameObject, HandlesResizeByWholeMovesAndKeepTheRatioAtCorners)
{
    TRtObject* obj = nullptr;
    TRtFrameObject* f = Show(40, 20, &obj);
    const QRect start = f->geometry();
    // The right-middle handle: 1 pixel is ignored, 2 widen the frame by 2.
    Drag(f, 3, {100, 100}, {101, 100});
    EXPECT_EQ(f->geometry(), start);
    f->HandleMove(f->Handles[3], {102, 100});
    EXPECT_EQ(f->geometry(), start.adjusted(0, 0, 2, 0));
    f->HandleUp(f->Handles[3]);
    EXPECT_EQ(obj->GetWidthTW(), MulDiv(42, 1440, 96));
    EXPECT_EQ(obj->GetHeightTW(), 300);

    // The bottom-right corner: (+10, +3) moves both by 10, the width then follows the ratio.
    const QRect before = f->geometry();
    const double ratio = double(obj->GetWidthTW()) / obj->GetHeightTW();
    Drag(f, 4, {0, 0}, {10, 3});
    EXPECT_EQ(f->height(), before.height() + 10);
    EXPECT_EQ(f->width(), int(Round((f->height() - 8) * ratio)) + 8);
    f->HandleUp(f->Handles[4]);

    // The top-left corner moves the left and top edges.
    const QRect corner = f->geometry();
    Drag(f, 0, {50, 50}, {46, 46});
    EXPECT_EQ(f->y(), corner.y() - 4);
    EXPECT_EQ(f->height(), corner.height() + 4);
    f->HandleUp(f->Handles[0]);
    EXPECT_TRUE(Env->Moved);
}

TEST_F(FrameObject, SizesHaveTheirMinimums)
{
    TRtObject* obj = nullptr;
    TRtFrameObject* f = Show(40, 20, &obj);
    Drag(f, 3, {100, 0}, {0, 0});
    EXPECT_EQ(f->width(), 16);
    f->HandleUp(f->Handles[3]);
    Drag(f, 5, {0, 100}, {0, 0});
    EXPECT_EQ(f->height(), 16);
    f->HandleUp(f->Handles[5]);
    // 16 - 2 x 4 pixels: 8 pixels of object, 120 twips; a 5-twip result would be stored as 10.
    EXPECT_EQ(obj->GetHeightTW(), 120);
    EXPECT_EQ(f->height(), 16);
    // 2 pixels at zoom 400 are 8 twips, stored as 10.
    f->HandleSize = 7;
    E->Zooming = 400;
    Drag(f, 5, {0, 0}, {0, -2});
    f->HandleUp(f->Handles[5]);
    E->Zooming = 100;
    EXPECT_EQ(obj->GetHeightTW(), 10);

    // A horizontal line can be 8 pixels high.
    auto line = std::make_unique<TRtOHorzLine>();
    TTextObj* ref = Env->InsertObject(std::move(line), "");
    Env->SelectObject(ref);
    Drag(f, 5, {0, 100}, {0, 0});
    EXPECT_EQ(f->height(), 8);
    f->HandleUp(f->Handles[5]);
}

TEST_F(FrameObject, ClicksRightAfterADoubleClickStartNoMove)
{
    E->EditOptions.Include(rtObjectMoving);
    TRtFrameObject* f = Show(40, 20);
    int32_t edits = 0;
    E->OnObjectEdit = [&](TObject*, TTextObj*, bool) { ++edits; };
    f->FrameDoubleClick();
    EXPECT_EQ(edits, 1);
    f->FrameDown(false, {5, 5}, {5, 5});
    EXPECT_FALSE(f->Moving);
    f->IgnoreClicksUntil = 0;
    f->FrameDown(false, {5, 5}, {5, 5});
    EXPECT_TRUE(f->Moving);
    // Dropped in the second paragraph, the object's character moves there.
    E->SetCursorCharPos(5);
    f->FrameUp(false, {5, 5});
    EXPECT_EQ(Pars(*E), (std::vector<std::string>{"ab", "c\x01" "d"}));
}

} // namespace
