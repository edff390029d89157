// The rich-text component's activation (dialogs, tool bar, table picker, the
// window moving), the print dialog over a WYSIWYG layout, and its published
// events and properties, each seen at work.
#include "RtControlTestSupport.h"
#include "RtExtraData.h"
#include "RtFindDialog.h"
#include "RtNumbering.h"
#include "RtObjectDialogs.h"
#include "RtToolBar.h"
#include "RtUndo.h"

#include <QBuffer>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QToolButton>

namespace {

class RichTextHooks : public RtControlTest {
protected:
    void SetUp() override
    {
        RtControlTest::SetUp();
        savedDialogs_ = RtCommandDialogs();
        savedObjectDialogs_ = RtObjectDialogs();
        RtCommandDialogs().Message = [this](QWidget*, const QString& Text) { Messages.push_back(Text); };
    }
    void TearDown() override
    {
        RtCommandDialogs() = savedDialogs_;
        RtObjectDialogs() = savedObjectDialogs_;
        RtControlTest::TearDown();
    }
    static std::unique_ptr<TRtRichText> Another(const QString& Text)
    {
        auto rt = std::make_unique<TRtRichText>();
        rt->resize(300, 200);
        rt->SetText(toAnsi(Text));
        rt->show();
        return rt;
    }
    std::string RtfOf(TRtCustomRichText& R)
    {
        TMemoryStream m;
        R.RtfText()->TextSaveFormat = "RTF";
        R.SaveToStream(&m);
        return std::string(reinterpret_cast<const char*>(m.Memory()), size_t(m.Size()));
    }

    // The first window point over an embedded object, (-1, -1) for none.
    QPoint PointOverAnObject() const
    {
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 300; ++x)
                if (Rtf->FindTextObjectAt(x, y))
                    return QPoint(x, y);
        return QPoint(-1, -1);
    }

    std::vector<QString> Messages;

private:
    TRtCommandDialogs savedDialogs_;
    TRtObjectDialogs savedObjectDialogs_;
};

TEST_F(RichTextHooks, FindAndReplaceDialogsWorkOnTheRichTextActivatedLast)
{
    Type("no match here");
    auto other = Another("find the needle");
    Rtf->ShowFindDialog();
    Rtf->ShowReplaceDialog();
    TRtFindDialog* find = TRtFindDialog::Existing(false);
    TRtFindDialog* replace = TRtFindDialog::Existing(true);
    ASSERT_TRUE(find && replace);
    EXPECT_EQ(find->Bound(), Rtf.get());
    other->Activate();
    EXPECT_EQ(TRtCustomRichText::Current(), other.get());
    EXPECT_EQ(find->Bound(), other.get());
    EXPECT_EQ(replace->Bound(), other.get());
    // The dialog's search runs in that text.
    other->RtfText()->SetCursorCharPos(0);
    find->FindText->setText("needle");
    find->FindNextClicked();
    EXPECT_TRUE(Messages.empty());
    int32_t start = -1, length = 0;
    ASSERT_TRUE(other->RtfText()->GetSelection(start, length));
    EXPECT_EQ(start, 9);
    EXPECT_EQ(length, 6);
    EXPECT_FALSE(E()->GetSelection(start, length));
    // Deactivated, the dialogs let go of it; another rich text's activation does not touch it.
    Rtf->Deactivate();
    EXPECT_EQ(find->Bound(), other.get());
    other->Deactivate();
    EXPECT_EQ(find->Bound(), nullptr);
    EXPECT_EQ(replace->Bound(), nullptr);
}

TEST_F(RichTextHooks, MovingOrResizingTheFocusedRichTextActivatesIt)
{
    QWidget window;
    auto* first = new TRtRichText(&window);
    auto* second = new TRtRichText(&window);
    first->setGeometry(0, 0, 200, 100);
    second->setGeometry(0, 120, 200, 100);
    // The rulers follow the rich text activated last.
    TRtBasicRulerType ruler;
    first->SetRtRuler(&ruler);
    second->SetRtRuler(&ruler);
    window.show();
    window.activateWindow();
    first->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(first->hasFocus());
    second->Activate();
    EXPECT_EQ(ruler.RichText(), second);
    first->move(10, 5);
    EXPECT_EQ(TRtCustomRichText::Current(), first);
    EXPECT_EQ(ruler.RichText(), first);
    second->Activate();
    first->resize(260, 100);
    EXPECT_EQ(TRtCustomRichText::Current(), first);
    // Without the focus a move changes nothing.
    second->move(10, 130);
    EXPECT_EQ(TRtCustomRichText::Current(), first);
}

TEST_F(RichTextHooks, ToolBarTakesTheFontSizesAndTheTablePickerItsButton)
{
    TRtToolBar bar(nullptr, {{rtgValue, rtcValueFontSize}, {rtgTable, rtcTableCreate}, {rtgStyle, rtcStyleBold}});
    Rtf->SetRtToolBar(&bar);
    Rtf->Activate();
    QComboBox* sizes = bar.FontSizeBox();
    ASSERT_NE(sizes, nullptr);
    EXPECT_GE(sizes->count(), 10);
    EXPECT_GE(sizes->findText("72"), 0);
    EXPECT_EQ(sizes->currentText(), "12");
    // A size chosen in the box is the size of new text.
    sizes->setEditText("20");
    emit sizes->textActivated("20");
    EXPECT_EQ(E()->CurrentAttr.Size, 20);

    QWidget* anchor = nullptr;
    RtCommandDialogs().PickTable = [&](QWidget*, QWidget* Anchor, int32_t& Columns, int32_t& Rows, bool&) {
        anchor = Anchor;
        Columns = 2;
        Rows = 1;
        return true;
    };
    uint8_t state = rtcmdClick;
    Rtf->Execute(rtgTable, rtcTableCreate, state);
    EXPECT_EQ(anchor, bar.Button(rtgTable, rtcTableCreate));
    ASSERT_NE(anchor, nullptr);
    EXPECT_TRUE(E()->CursorPar->Flags & parfTableCell);
    Rtf->SetRtToolBar(nullptr);
}

// A printer of one image page whose resolution the test chooses.
class TDpiPrinter : public TRtPrinterWrapper {
public:
    explicit TDpiPrinter(TRtRTFTextInput& Engine) : engine_(Engine) { Page.fill(Qt::white); }
    TCanvas* GetCanvas() override
    {
        LaidOutAt.push_back(engine_.FixedResolution);
        return canvas_.get();
    }
    QPaintDevice* GetHandle() override { return &Page; }
    bool GetPrinting() override { return canvas_ != nullptr; }
    bool GetAborted() override { return false; }
    int32_t GetPageWidth() override { return Page.width(); }
    int32_t GetPageHeight() override { return Page.height(); }
    int32_t LogPixelsX() override { return Dpi; }
    int32_t LogPixelsY() override { return Dpi; }
    int32_t PhysicalOffsetX() override { return 0; }
    int32_t PhysicalOffsetY() override { return 0; }
    void NewPage() override {}
    void BeginDoc() override { canvas_ = std::make_unique<TCanvas>(&Page); }
    void EndDoc() override { canvas_.reset(); }
    QImage Page{850, 1100, QImage::Format_ARGB32};
    int32_t Dpi = 100;
    std::vector<int32_t> LaidOutAt;

private:
    TRtRTFTextInput& engine_;
    std::unique_ptr<TCanvas> canvas_;
};

TEST_F(RichTextHooks, PrintDialogLaysTheWysiwygTextOutForThePrinterFirst)
{
    Type("printed text");
    auto own = std::make_unique<TDpiPrinter>(*E());
    TDpiPrinter* printer = own.get();
    SetRtPrinter(std::move(own));
    E()->PrintOptions.Include(rtDoNotChangePrinterDefaults);
    Rtf->SetWYSIWYG(true);
    EXPECT_EQ(E()->FixedResolution, 100);
    // The printer changed its resolution since (another printer chosen in the dialog).
    printer->Dpi = 200;
    RtCommandDialogs().Print = [](QWidget*, int32_t, int32_t&, int32_t&, int32_t&) { return true; };
    EXPECT_TRUE(Rtf->PrintDialog());
    ASSERT_FALSE(printer->LaidOutAt.empty());
    EXPECT_EQ(printer->LaidOutAt.front(), 200);
    Rtf->SetWYSIWYG(false);
    SetRtPrinter(nullptr);
}

TEST_F(RichTextHooks, FieldAndReferenceTextsComeFromTheComponentsEvents)
{
    TTextObj ref;
    ref.Kind = 3;
    ref.Tag = 3;
    ref.RefName = "Intro";
    TObject* sender = nullptr;
    Rtf->OnReferenceGetText = [&](TObject* Sender, const AnsiString& Name, const AnsiString& Format, TTextObj* Ref,
                                  AnsiString& Text, bool& Done) {
        sender = Sender;
        EXPECT_EQ(Name, "Intro");
        EXPECT_EQ(Format, "%d");
        EXPECT_EQ(Ref, &ref);
        Text = "4";
        Done = true;
    };
    AnsiString text;
    E()->GetReferenceText(&ref, text);
    EXPECT_EQ(sender, Rtf.get());
    EXPECT_EQ(text, "4");

    Rtf->InsertNumberField("PAGE");
    TRtObjectField* field = nullptr;
    for (TRtListItem* it = E()->ObjRefList()->FirstItem(); it && !field; it = it->Next)
        field = dynamic_cast<TRtObjectField*>(static_cast<TRtObjRefItem*>(it)->Obj.Object);
    ASSERT_NE(field, nullptr);
    Rtf->OnTextFieldGetText = [&](TObject* Sender, TRtObjectBase* Field, bool& Done) {
        EXPECT_EQ(Sender, Rtf.get());
        EXPECT_EQ(Field, field);
        Done = true;
        return AnsiString("Seite vier");
    };
    Rtf->OnTextFieldGetBounds = [&](TObject* Sender, TRtObjectBase* Field, int32_t& Width, int32_t& Height,
                                    int32_t& Base) {
        EXPECT_EQ(Sender, Rtf.get());
        EXPECT_EQ(Field, field);
        Width = 1234;
        Height = 345;
        Base = 300;
    };
    field->GetFieldText(false, text);
    EXPECT_EQ(text, "Seite vier");
    EXPECT_EQ(field->GetNaturalWidth(), 1234);
    EXPECT_EQ(field->GetNaturalHeight(), 345);
    Rtf->OnTextFieldGetText = nullptr;
    field->GetFieldText(false, text);
    EXPECT_NE(text, "Seite vier");
}

TEST_F(RichTextHooks, LoadedObjectsAskTheComponentForTheirData)
{
    // A picture known only by name, written as the program's own object data.
    auto picture = std::make_unique<TRtOImageObject>();
    picture->StreamName = "logo.bmp";
    Rtf->ObjectEnv()->InsertObject(std::move(picture), "logo");
    Rtf->SetWriteObjectMode(wobRTF);
    const std::string rtf = RtfOf(*Rtf);
    EXPECT_NE(rtf.find("\\rtobject"), std::string::npos);

    auto load = [&](TRtRichText& Into) {
        TMemoryStream m;
        m.WriteBuffer(rtf.data(), int32_t(rtf.size()));
        m.SetPosition(0);
        Into.LoadFromStream(&m, "RTF");
        TRtOImageObject* image = nullptr;
        for (TRtListItem* it = Into.RtfText()->ObjRefList()->FirstItem(); it && !image; it = it->Next)
            image = dynamic_cast<TRtOImageObject*>(static_cast<TRtObjRefItem*>(it)->Obj.Object);
        return image;
    };

    // The linked data is asked for when the object is painted.
    TRtRichText other;
    std::vector<std::pair<AnsiString, TRtOCurrState>> loads;
    other.OnTextObjectLoadStreamEvent = [&](TObject*, const AnsiString& Name, TRtOCurrState State, bool& Done) {
        loads.emplace_back(Name, State);
        Done = true;
    };
    TRtObject* checked = nullptr;
    other.OnTextObjectCheckProperties = [&](TObject* Sender, TRtObject* Obj) {
        EXPECT_EQ(Sender, &other);
        checked = Obj;
    };
    TRtOImageObject* linked = load(other);
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(linked->StreamName, "logo.bmp");
    EXPECT_TRUE(loads.empty());
    linked->EnsureLoaded();
    EXPECT_EQ(loads, (std::vector<std::pair<AnsiString, TRtOCurrState>>{{"logo.bmp", wobPainting}}));
    // Its property dialog confirmed, the component checks the object.
    RtObjectDialogs().Properties = [](TRtObject&) { return true; };
    linked->ShowProperties();
    EXPECT_EQ(checked, linked);

    // A picture known by name only is asked for by that name.
    TRtRichText third;
    std::vector<AnsiString> asked;
    QImage red(4, 3, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "BMP");
    AnsiString answerType = "BMP";
    third.OnHTMLBitmapRequest = [&](TObject* Sender, const AnsiString& Name, QByteArray& Bytes, AnsiString& Type) {
        EXPECT_EQ(Sender, &third);
        asked.push_back(Name);
        Bytes = bmp;
        Type = answerType;
    };
    TRtOImageObject* fetched = load(third);
    EXPECT_EQ(asked, (std::vector<AnsiString>{"logo.bmp"}));
    ASSERT_NE(fetched, nullptr);
    ASSERT_NE(fetched->GetPicture(), nullptr);
    EXPECT_EQ(fetched->GetPicture()->pixelColor(0, 0), QColor(Qt::red));
    // Any other kind of picture is refused.
    answerType = "GIF";
    third.Clear();
    EXPECT_THROW(load(third), Exception);
}

// The drag handlers of the control, reached as a drag over it would.
class TOpenRichText : public TRtRichText {
public:
    using TRtCustomRtfEdit::dragMoveEvent;
    using TRtCustomRtfEdit::dropEvent;
};

TEST_F(RichTextHooks, KeyAndFocusEventsOfTheControl)
{
    std::vector<int32_t> released;
    Rtf->OnKeyUp = [&](TObject* Sender, int32_t& Key, Qt::KeyboardModifiers) {
        EXPECT_EQ(Sender, Rtf.get());
        released.push_back(Key);
    };
    Type("ab");
    EXPECT_EQ(released, (std::vector<int32_t>{Qt::Key_A, Qt::Key_B}));

    int entered = 0, left = 0;
    Rtf->OnEnter = [&](TObject*) { ++entered; };
    Rtf->OnExit = [&](TObject*) { ++left; };
    Rtf->clearFocus();
    EXPECT_EQ(left, 1);
    Rtf->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(entered, 1);
}

TEST_F(RichTextHooks, DragOverAndDropEventsOfTheControl)
{
    TOpenRichText rt;
    rt.resize(300, 100);
    rt.SetText("ab");
    rt.show();
    QApplication::processEvents();
    QMimeData data;
    data.setText("dropped ");
    const QPoint at(2, 5);
    std::vector<TDragState> states;
    bool refuse = false;
    rt.OnDragOver = [&](TObject* Sender, QObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept) {
        EXPECT_EQ(Sender, &rt);
        EXPECT_EQ(Source, nullptr);
        EXPECT_EQ(QPoint(X, Y), at);
        EXPECT_TRUE(Accept);
        states.push_back(State);
        if (refuse)
            Accept = false;
    };
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    rt.dragMoveEvent(&move);
    EXPECT_TRUE(move.isAccepted());
    refuse = true;
    QDragMoveEvent refused(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    rt.dragMoveEvent(&refused);
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_EQ(states, (std::vector<TDragState>{dsDragMove, dsDragMove}));

    QPoint droppedAt;
    rt.OnDragDrop = [&](TObject* Sender, QObject*, int32_t X, int32_t Y) {
        EXPECT_EQ(Sender, &rt);
        droppedAt = QPoint(X, Y);
    };
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    rt.dropEvent(&drop);
    EXPECT_EQ(droppedAt, at);
    EXPECT_EQ(Pars(*rt.RtfText()), (std::vector<std::string>{"dropped ab"}));
}

TEST_F(RichTextHooks, PropertiesReachTheEngineAndTheText)
{
    // Selection colours.
    Type("marked words");
    Rtf->SelectAll();
    Rtf->SetHighLightColor(0x00FF00);
    Rtf->SetHighLightTextColor(0x0000FF);
    EXPECT_EQ(Rtf->HighLightColor(), 0x00FF00);
    QApplication::processEvents();
    const QImage shot = Rtf->viewport()->grab().toImage();
    int green = 0, red = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            green += c == QColor(0, 255, 0);
            red += c == QColor(255, 0, 0);
        }
    EXPECT_GT(green, 100);
    EXPECT_GT(red, 10);
    Rtf->SetColorDesktop(0x123456);
    EXPECT_EQ(E()->GapColor, 0x123456);
    EXPECT_EQ(Rtf->ColorDesktop(), 0x123456);

    // Variables and numbering styles are copied into the text.
    TRtRTFExtraDataCollection vars(nullptr);
    TRtRTFExtraDataItem* author = vars.Add();
    author->Name = "Author";
    author->SetText("Anna");
    Rtf->SetRTFVariables(vars);
    ASSERT_EQ(Rtf->RTFVariables()->Count(), 1);
    EXPECT_NE(RtfOf(*Rtf).find("{\\author Anna}"), std::string::npos);
    TRtRTFNumberingStyleCollection styles(nullptr);
    TRtRTFNumberingStyle* dash = styles.Add();
    dash->TextB = "-";
    dash->Style = rt_bullet;
    Rtf->SetNumberStyles(styles);
    ASSERT_EQ(Rtf->NumberStyles()->Count(), 1);
    EXPECT_EQ(Rtf->NumberStyles()->GetItem(0)->TextB, "-");
    EXPECT_EQ(Rtf->NumberStyles()->GetItem(0)->Number, dash->Number);

    Rtf->HTMLFilePath = "/tmp/html";
    Rtf->HTMLStoreComment = shcField;
    Rtf->HTMLCreateImages = rtciCreateImageEvent;
    EXPECT_EQ(Rtf->HTMLCreateImages, rtciCreateImageEvent);
}

TEST_F(RichTextHooks, OwnersUndoStackRecordsTheText)
{
    TRtUndoStack stack;
    Rtf->SetRtUndoStack(&stack);
    EXPECT_EQ(Rtf->RtUndoStack(), &stack);
    Type("abc");
    EXPECT_TRUE(stack.CanUndo());
    Rtf->Undo();
    EXPECT_EQ(Text(), "");
    EXPECT_FALSE(stack.CanUndo());
    // Detached, the text records into its own stack again.
    Rtf->SetRtUndoStack(nullptr);
    EXPECT_NE(E()->UndoStack, &stack);
    Type("d");
    EXPECT_EQ(stack.UndoCount(), 0);
    EXPECT_TRUE(E()->GetUndoStack()->CanUndo());
}

TEST_F(RichTextHooks, DefaultFontStartsEveryClearedText)
{
    TRtFont font;
    font.SetName("Liberation Mono");
    font.SetSize(16);
    Rtf->SetDefaultFont(font);
    EXPECT_EQ(Rtf->DefaultFont().Name(), "Liberation Mono");
    Type("x");
    Rtf->Clear();
    Type("y");
    const TAttr* a = AttrAt(0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(E()->Header()->Fonts[a->Font].Name, "Liberation Mono");
    EXPECT_EQ(a->Size, 16);
    EXPECT_EQ(E()->DefaultSize, 16);
}

// A window control that takes the mouse itself, as buttons and edit boxes do.
class TMouseControl : public QWidget {
protected:
    void mousePressEvent(QMouseEvent* Event) override { Event->accept(); }
    void mouseMoveEvent(QMouseEvent* Event) override { Event->accept(); }
    void mouseReleaseEvent(QMouseEvent* Event) override { Event->accept(); }
};

// An object with a window control of its own, which carries the object as its Tag.
class TRtTestControlObject : public TRtObject {
public:
    LUMI_CLASSNAME(TRtTestControlObject)
    TRtTestControlObject()
    {
        control_->setProperty("Tag", QVariant::fromValue(quintptr(static_cast<TRtObjectBase*>(this))));
    }
    ~TRtTestControlObject() override { delete control_.data(); }
    void SetParentWindow(QWidget* Parent) override
    {
        TRtObject::SetParentWindow(Parent);
        control_->setParent(Parent);
    }
    QWidget* GetControl() override { return control_; }

private:
    QPointer<QWidget> control_ = new TMouseControl;
};
const bool controlObjectClass = (RegisterRtClass({TRtTestControlObject::StaticClassName(),
                                                  [] { return static_cast<TObject*>(new TRtTestControlObject); }}),
                                 true);

TEST_F(RichTextHooks, LoadedObjectsControlsReachTheTextObjectEvents)
{
    ASSERT_TRUE(controlObjectClass);
    TRtRichText source;
    source.ObjectEnv()->InsertObject(std::make_unique<TRtTestControlObject>(), "control");
    source.SetWriteObjectMode(wobRTF);
    const std::string rtf = RtfOf(source);
    TMemoryStream m;
    m.WriteBuffer(rtf.data(), int32_t(rtf.size()));
    m.SetPosition(0);
    Rtf->LoadFromStream(&m, "RTF");
    QApplication::processEvents();
    const QPoint over = PointOverAnObject();
    ASSERT_GE(over.x(), 0);
    auto* obj = dynamic_cast<TRtTestControlObject*>(Rtf->FindTextObjectAt(over.x(), over.y())->Object);
    ASSERT_NE(obj, nullptr);
    QWidget* control = obj->GetControl();
    ASSERT_EQ(control->parentWidget(), Rtf->viewport());
    control->setGeometry(over.x() - 1, over.y() - 1, 8, 8);
    control->show();
    // Registering it again (a paste registers every object) installs nothing twice.
    Rtf->RegisterObject(obj);

    QStringList events;
    auto record = [&](const char* Name) {
        return [&events, Name, obj](TObject*, TTextObj* Entry, TRtObjectBase* Obj, Qt::MouseButton Button,
                                    Qt::KeyboardModifiers, int32_t X, int32_t Y) {
            EXPECT_EQ(Obj, obj);
            EXPECT_EQ(Entry->Object, obj);
            events << QString("%1 %2 %3,%4").arg(Name).arg(int(Button)).arg(X).arg(Y);
        };
    };
    Rtf->OnTextObjectMouseDown = record("down");
    Rtf->OnTextObjectMouseMove = record("move");
    Rtf->OnTextObjectMouseUp = record("up");
    Rtf->OnTextObjectClick = [&](TObject*, TTextObj*, TRtObjectBase* Obj, bool& Ignore) {
        EXPECT_EQ(Obj, obj);
        events << QString("click %1").arg(Ignore);
    };
    auto send = [&](QEvent::Type Type, Qt::MouseButton Button, Qt::MouseButtons Buttons, QPoint At) {
        QMouseEvent e(Type, At, control->mapToGlobal(At), Button, Buttons, Qt::NoModifier);
        QApplication::sendEvent(control, &e);
    };
    send(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, QPoint(3, 4));
    send(QEvent::MouseMove, Qt::NoButton, Qt::RightButton, QPoint(5, 6));
    send(QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, QPoint(5, 6));
    // A left click inside the control is a click; one released outside it is none.
    send(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(2, 2));
    send(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(2, 3));
    send(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(2, 2));
    send(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(20, 3));
    EXPECT_EQ(events, (QStringList{"down 2 3,4", "move 1 5,6", "up 2 5,6", "down 1 2,2", "click 1", "up 1 2,3",
                                   "down 1 2,2", "up 1 20,3"}));
}

TEST_F(RichTextHooks, ObjectControlEventsReachTheTextObjectEvents)
{
    Type("x");
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(Rtf->InsertPicture(picture));
    QApplication::processEvents();
    // Where the picture lies on the screen.
    const QPoint over = PointOverAnObject();
    ASSERT_GE(over.x(), 0);
    TRtObjectBase* obj = Rtf->FindTextObjectAt(over.x(), over.y())->Object;
    QWidget control(Rtf->viewport());
    control.setGeometry(over.x() - 1, over.y() - 1, 8, 8);
    control.setProperty("Tag", QVariant::fromValue(quintptr(obj)));
    std::vector<std::tuple<TRtObjectBase*, Qt::MouseButton, int32_t, int32_t>> events;
    TTextObjectMouseEvent record = [&](TObject* Sender, TTextObj* Entry, TRtObjectBase* Obj, Qt::MouseButton Button,
                                       Qt::KeyboardModifiers, int32_t X, int32_t Y) {
        EXPECT_EQ(Sender, Rtf.get());
        EXPECT_EQ(Entry->Object, obj);
        events.emplace_back(Obj, Button, X, Y);
    };
    Rtf->OnTextObjectMouseDown = record;
    Rtf->OnTextObjectMouseMove = record;
    Rtf->OnTextObjectMouseUp = [&](TObject*, TTextObj*, TRtObjectBase*, Qt::MouseButton, Qt::KeyboardModifiers,
                                   int32_t, int32_t) { throw std::runtime_error("swallowed"); };
    bool ignoreGiven = false;
    Rtf->OnTextObjectClick = [&](TObject*, TTextObj*, TRtObjectBase* Obj, bool& Ignore) {
        EXPECT_EQ(Obj, obj);
        ignoreGiven = Ignore;
    };
    Rtf->DoTextObjectMouseDown(&control, Qt::RightButton, Qt::NoModifier, 3, 4);
    Rtf->DoTextObjectMouseMove(&control, Qt::NoModifier, 5, 6);
    EXPECT_NO_THROW(Rtf->DoTextObjectMouseUp(&control, Qt::LeftButton, Qt::NoModifier, 0, 0));
    Rtf->DoTextObjectClick(&control);
    EXPECT_EQ(events, (std::vector<std::tuple<TRtObjectBase*, Qt::MouseButton, int32_t, int32_t>>{
                          {obj, Qt::RightButton, 3, 4}, {obj, Qt::LeftButton, 5, 6}}));
    EXPECT_TRUE(ignoreGiven);
    // A control without a tag is not an object's.
    QWidget plain(Rtf->viewport());
    plain.setGeometry(control.geometry());
    Rtf->DoTextObjectMouseDown(&plain, Qt::LeftButton, Qt::NoModifier, 1, 1);
    EXPECT_EQ(events.size(), 2u);
}

}  // namespace
