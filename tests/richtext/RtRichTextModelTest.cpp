// The rich-text component driven as the text panel drives it, by seeded
// random scripts of typing, deleting, cursor moves, character and paragraph
// commands and pastes: undoing everything gives the first text back, redoing
// everything the last, and saving and loading the result keeps it.
#include "RtControlTestSupport.h"
#include "RtfTestSupport.h"
#include "RtUndo.h"

#include <QClipboard>
#include <QMimeData>

#include <random>

namespace {

class RichTextModel : public RtControlTest {
public:
    void SetUp() override
    {
        RtControlTest::SetUp();
        Rtf->SetEditOptions(E()->EditOptions
                            | TRtEditOptions{rtActivateUndo, rtActivateUndoHotkey, rtActivateRedo, rtActivateRedoHotkey});
        E()->TextSaveFormat = "RTF";
    }

    void Command(int32_t Group, int32_t Id)
    {
        uint8_t state = rtcmdClick;
        Rtf->Execute(Group * 256, Id, state);
    }
    void Paste(const QString& Text, bool AsRtf)
    {
        auto* data = new QMimeData;
        if (AsRtf)
            data->setData("text/rtf", QByteArray("{\\rtf1{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\b ")
                                          + Text.toLatin1() + "\\b0  plain}");
        else
            data->setText(Text);
        QGuiApplication::clipboard()->setMimeData(data);
        Key(Qt::Key_V, Qt::ControlModifier);
    }
    std::string Save()
    {
        TMemoryStream m;
        Rtf->SaveToStream(&m);
        return std::string(reinterpret_cast<const char*>(m.Memory()), size_t(m.Size()));
    }
    void Load(const std::string& Bytes)
    {
        TMemoryStream m = RtfStreamOf(Bytes);
        Rtf->LoadFromStream(&m, "RTF");
    }

    // One random step of the script; its name for the trace.
    std::string Step(std::mt19937& Rng)
    {
        auto pick = [&](int N) { return int(Rng() % unsigned(N)); };
        static const QString words[] = {"Haus ", "Grüße", "ab", "x", "Öl und Maß ", "déjà vu", "a b c"};
        static const Qt::Key moves[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Home,
                                        Qt::Key_End};
        switch (pick(13)) {
        case 0:
        case 1:
        case 2: {
            const QString& w = words[pick(int(std::size(words)))];
            Type(w);
            return "type " + w.toStdString();
        }
        case 3: Key(Qt::Key_Backspace); return "backspace";
        case 4: Key(Qt::Key_Delete); return "delete";
        case 5: Key(Qt::Key_Return); return "return";
        case 6: {
            const bool shift = pick(2);
            const int n = 1 + pick(4);
            for (int i = 0; i < n; ++i)
                Key(moves[pick(int(std::size(moves)))], shift ? Qt::ShiftModifier : Qt::NoModifier);
            return shift ? "select" : "move";
        }
        case 7: Key(Qt::Key_A, Qt::ControlModifier); return "select all";
        case 8: {
            const int id = 2 + pick(3);  // bold, italic, underline
            Command(1, id);
            return "style " + std::to_string(id);
        }
        case 9: {
            switch (pick(4)) {
            case 0: Rtf->ExecuteValue(11 * 256, 2, 8 + 2 * pick(8), ""); return "size";
            case 1: Rtf->ExecuteValue(11 * 256, 1, 0, pick(2) ? "DejaVu Sans" : "Liberation Serif"); return "font";
            case 2: {
                int32_t index = 0;
                Rtf->GetSetModeControl()->ColorToIndex(pick(2) ? 0x0000FF : 0x008000, index, false);
                Rtf->ExecuteValue(11 * 256, 3, index, "");
                return "colour";
            }
            default: Rtf->GetSetModeControl()->SetSize(10 + pick(10)); return "attribute control";
            }
        }
        case 10: {
            const int id = 1 + pick(4);  // left, right, justified, centre
            Command(2, id);
            return "align " + std::to_string(id);
        }
        case 12: {
            const int id = 1 + pick(4);  // bullets, numbers, next and prior level
            Command(9, id);
            return "numbering " + std::to_string(id);
        }
        default: {
            const bool rtf = pick(2);
            Paste(pick(2) ? "eins zwei" : "Absatz\nzwei", rtf);
            return rtf ? "paste rtf" : "paste text";
        }
        }
    }
};

TEST_F(RichTextModel, UndoRedoAndReloadKeepEveryTextOfARandomScript)
{
    for (unsigned seed = 1; seed <= 24; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        Rtf.reset();
        SetUp();
        std::mt19937 rng(seed);
        const std::string first = DumpText(*E());
        std::string script;
        for (int i = 0; i < 30; ++i)
            script += Step(rng) + "; ";
        SCOPED_TRACE(script);
        const std::string last = DumpText(*E());

        int steps = 0;
        while (E()->GetUndoStack()->CanUndo() && steps < 500) {
            Key(Qt::Key_Z, Qt::ControlModifier);
            ++steps;
        }
        ASSERT_EQ(DumpText(*E()), first);
        EXPECT_GT(steps, 3);
        for (int i = 0; i < steps && E()->GetUndoStack()->CanRedo(); ++i)
            Key(Qt::Key_Y, Qt::ControlModifier);
        ASSERT_EQ(DumpText(*E()), last);

        // Saved and loaded: the same text; saved again, from the second cycle on the same bytes.
        std::string bytes = Save();
        std::vector<std::string> saved;
        for (int cycle = 0; cycle < 3; ++cycle) {
            Load(bytes);
            ASSERT_EQ(DumpText(*E()), last) << "cycle " << cycle << "\n" << bytes;
            bytes = Save();
            saved.push_back(bytes);
        }
        EXPECT_EQ(saved[0], saved[1]);
        EXPECT_EQ(saved[1], saved[2]);
    }
}

} // namespace
