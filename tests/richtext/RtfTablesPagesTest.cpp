// Tables and page breaks read back as they were written: page breaks before
// rows and at the start of the text, the cells' own spacing whatever layout
// did with the row, and rows that differ in width, offset and cell count. The
// random run edits texts with tables and page breaks in the control (cells
// split, combined, deleted and widened, rows inserted and deleted), saves,
// loads and compares every paragraph's and cell's format. RT_TABLE_PAGE_SEEDS sets its number
// of seeds (2,000 by default), RT_TABLE_PAGE_FIRST_SEED the first (1).
#include "RtControlTestSupport.h"
#include "RtfTestSupport.h"
#include "RtCommands.h"
#include "RtList.h"
#include "RtUndo.h"

#include <QClipboard>
#include <QFile>
#include <QMimeData>

#include <functional>
#include <random>
#include <set>

namespace {

// The paragraphs as "text" joined by " ", a page break before a paragraph as "| ".
std::string Pages(const TRtRTFText& Text)
{
    std::string s;
    for (const TParagraph* p = Text.FirstPar; p; p = p->Next) {
        if (p->Prior)
            s += (p->Flags & parfNewPage) ? " | " : " ";
        s += "\"" + ParString(p) + "\"";
    }
    return s;
}

// Every paragraph's text and the formats a save must keep: a page break before
// it (none can stand before the first), spacing, indents, and of a cell its
// place in the row, its share of the row and the table's edges.
std::string Formats(TRtRTFText& Text)
{
    std::string s;
    for (const TParagraph* p = Text.FirstPar; p; p = p->Next) {
        char buf[160];
        snprintf(buf, sizeof buf, "%s sb=%d sa=%d li=%d ri=%d fi=%d", (p->Flags & parfNewPage) && p->Prior ? "|" : "-",
                 p->SpaceBefore, p->SpaceAfter, p->IndentLeft, p->IndentRight, p->IndentFirst);
        s += buf;
        if (p->Flags & parfTableCell) {
            int32_t left = 0, right = 0;
            if (p->Cell)
                Text.TableList()->GetTableLeftRight(p->Cell->TableId, left, right);
            snprintf(buf, sizeof buf, " cell%s%s %d+%d table %d..%d", (p->Flags & parfNotFirstCell) ? "" : " first",
                     (p->Flags & parfNotLastCell) ? "" : " last", p->Cell ? p->Cell->Left : -1,
                     p->Cell ? p->Cell->Width : -1, left, right);
            s += buf;
        }
        s += " \"" + ParString(p) + "\"\n";
    }
    return s;
}

TEST(RtfTablesPages, PageBreaksBeforeRowsAndAtTheStartStartTheirPage)
{
    const struct {
        const char* Rtf;
        const char* Pages;
    } cases[] = {
        // A break ending a paragraph, before a row, after "\par" or "\pard", and in the first
        // cell of a row that is not the table's first (as written here).
        {"{\\rtf1 a\\page\\trowd\\cellx1000\\cellx2000\\intbl x\\cell y\\cell\\row\\pard c\\par}",
         "\"a\" | \"x\" \"y\" \"c\" \"\""},
        {"{\\rtf1 a\\par\\page\\trowd\\cellx1000\\cellx2000\\intbl x\\cell y\\cell\\row\\pard c\\par}",
         "\"a\" | \"x\" \"y\" \"c\" \"\""},
        {"{\\rtf1 a\\page\\pard\\trowd\\cellx1000\\intbl x\\cell\\row\\pard c\\par}", "\"a\" | \"x\" \"c\" \"\""},
        {"{\\rtf1 \\trowd\\cellx1000\\intbl x\\cell\\row\\trowd\\cellx1000\\intbl\\page y\\cell\\row\\pard c}",
         "\"x\" | \"y\" \"c\""},
        {"{\\rtf1 a\\sect b}", "\"a\" | \"b\""},
        // At the very start: an empty first page, before text and before a row.
        {"{\\rtf1 \\page a\\par}", "\"\" | \"a\" \"\""},
        {"{\\rtf1\\pard\\page\\trowd\\cellx1000\\intbl x\\cell\\row\\pard c}", "\"\" | \"x\" \"c\""},
        // A break on an empty paragraph stays one break.
        {"{\\rtf1 a\\par\\page\\page b}", "\"a\" | \"b\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Rtf);
        TRtRTFText text;
        ReadRtf(text, c.Rtf);
        EXPECT_EQ(Pages(text), c.Pages);
        // Written and read again, the same pages.
        TRtRTFText again;
        ReadRtf(again, WriteRtf(text));
        EXPECT_EQ(Pages(again), Pages(text));
    }
}

// Rows of one table whose cells, by their shares of the table's width, leave room on the
// right: read back, every cell has the share it was written with.
TEST(RtfTablesPages, RowsNarrowerThanTheirTableKeepTheirWidth)
{
    const std::vector<std::vector<uint8_t>> rows[] = {
        {{10}},
        {{255}, {10}},
        {{10, 20}, {100, 155}},
        {{1}, {85, 85, 85}, {200}},
        {{128, 127}, {64}, {30, 30, 30, 30}},
    };
    for (const auto& shares : rows) {
        std::string rtf = "{\\rtf1\\paperw12240\\margl1800\\margr1800 ";
        for (const auto& row : shares) {
            rtf += "\\trowd";
            for (size_t i = 0; i < row.size(); ++i)
                rtf += "\\cellx" + std::to_string((i + 1) * 100);
            for (size_t i = 0; i < row.size(); ++i)
                rtf += "\\intbl c\\cell";
            rtf += "\\row";
        }
        rtf += "\\pard end}";
        TRtRTFText text;
        ReadRtf(text, rtf);
        // The shares are set in the store as edits leave them, in one table.
        const int32_t table = text.FirstPar->Cell->TableId;
        text.TableList()->SetTableRight(table, 0);
        TParagraph* p = text.FirstPar;
        for (const auto& row : shares) {
            int32_t left = 0;
            for (uint8_t share : row) {
                ASSERT_TRUE(p && p->Cell);
                p->Cell->Left = uint8_t(left);
                p->Cell->Width = share;
                p->Cell->TableId = table;
                left += share;
                p = p->Next;
            }
        }
        const std::string written = WriteRtf(text);
        SCOPED_TRACE(written);
        TRtRTFText again;
        ReadRtf(again, written);
        EXPECT_EQ(Formats(again), Formats(text));
    }
    // A row of another writer narrower than the table's first row keeps its width too.
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 \\trowd\\cellx4000\\cellx8000\\intbl a\\cell b\\cell\\row"
                  "\\trowd\\cellx2000\\intbl c\\cell\\row\\pard end}");
    const TParagraph* c = ParAt(text, 2);
    ASSERT_TRUE(c && c->Cell);
    EXPECT_EQ(c->Cell->Width, 64);
}

// Rows of one table that differ in width, offset and cell count stand where they
// were written, each with its own cells, as read and as written and read again.
TEST(RtfTablesPages, RowsKeepTheirOwnEdgesAndCells)
{
    const struct {
        const char* Rows;
        std::vector<std::string> Edges;
    } cases[] = {
        // A later row wider than the first keeps its own widths.
        {"\\trowd\\cellx500\\intbl a\\cell\\row\\trowd\\cellx1000\\cellx2000\\cellx4000\\intbl b\\cell c\\cell d\\cell\\row",
         {"0: a|500", "0: b|1000 c|2000 d|4000"}},
        {"\\trowd\\cellx500\\intbl a\\cell\\row\\trowd\\cellx4500\\intbl b\\cell\\row", {"0: a|500", "0: b|4500"}},
        // A later row's own left position; one left of the text starts at its edge, as a first row does.
        {"\\trowd\\trleft1000\\cellx3500\\intbl a\\cell\\row\\trowd\\trleft-200\\cellx4000\\intbl b\\cell\\row",
         {"1000: a|3500", "0: b|4000"}},
        {"\\trowd\\trleft-200\\cellx4000\\intbl a\\cell\\row", {"0: a|4000"}},
        {"\\trowd\\trleft1000\\cellx6000\\intbl a\\cell\\row\\trowd\\trleft2000\\cellx3000\\cellx4000\\intbl b\\cell c\\cell\\row",
         {"1000: a|6000", "2000: b|3000 c|4000"}},
        // A row that starts inside its table, and one narrower than the table before it.
        {"\\trowd\\cellx2000\\cellx4000\\intbl a\\cell b\\cell\\row\\trowd\\trleft2000\\cellx4000\\intbl c\\cell\\row"
         "\\trowd\\cellx1000\\intbl d\\cell\\row",
         {"0: a|2000 b|4000", "2000: c|4000", "0: d|1000"}},
        // A page inside a cell is a line break there.
        {"\\trowd\\cellx2000\\cellx4000\\intbl a\\page b\\cell c\\cell\\row", {"0: a/b|2000 c|4000"}},
        // A row without boundaries spans the text (8,640 twips), each cell 10 shares of it.
        {"\\trowd\\intbl a\\cell b\\cell\\row", {"0: a|350 b|700"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Rows);
        TRtRTFText text;
        ReadRtf(text, std::string("{\\rtf1\\paperw12240\\margl1800\\margr1800 ") + c.Rows + "\\pard end}");
        EXPECT_EQ(RowEdges(text), c.Edges);
        const std::string written = WriteRtf(text);
        TRtRTFText again;
        ReadRtf(again, written);
        EXPECT_EQ(RowEdges(again), c.Edges) << written;
    }
}

// A one-cell row that edits left starting inside its table is written where it starts.
TEST(RtfTablesPages, RowStartingInsideItsTableIsWrittenWhereItStarts)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1\\paperw12240\\margl1800\\margr1800 \\trowd\\cellx2000\\cellx4000\\intbl a\\cell b\\cell\\row"
                  "\\pard end}");
    TParagraph* a = text.FirstPar;
    a->Flags &= ~parfNotLastCell;
    a->Next->Flags &= ~parfNotFirstCell;
    ASSERT_EQ(RowEdges(text), (std::vector<std::string>{"0: a|2000", "2000: b|4000"}));
    const std::string written = WriteRtf(text);
    TRtRTFText again;
    ReadRtf(again, written);
    EXPECT_EQ(RowEdges(again), RowEdges(text)) << written;
}

// Read into a text whose page measures reach the limits of their numbers (as a
// program may set them), a row keeps its width and its cells their shares.
TEST(RtfTablesPages, RowsOnAPageAtTheLimitsOfItsNumbers)
{
    const struct {
        int32_t Width, Left, Right;
        bool Fits;  // the space right of the row is a 32-bit number
    } pages[] = {{INT32_MAX, -1000, 0, true},
                 {INT32_MAX, 0, -1000, true},
                 {INT32_MAX, INT32_MIN, INT32_MIN, false},
                 {INT32_MIN, INT32_MAX, INT32_MAX, false}};
    for (const auto& page : pages) {
        SCOPED_TRACE(std::to_string(page.Width) + " " + std::to_string(page.Left) + " " + std::to_string(page.Right));
        // Read as into a text that holds them, without clearing it.
        TRtRTFText text;
        text.Header()->SetPageWidth(page.Width);
        text.Header()->SetLeftMargin(page.Left);
        text.Header()->SetRightMargin(page.Right);
        TestPlatform();
        TRtRtfReader reader;
        reader.Text = &text;
        reader.Header = text.Header();
        reader.Par = text.FirstPar;
        TMemoryStream m = RtfStreamOf("{\\rtf1 \\trowd\\trleft100000\\cellx102000\\cellx104000\\intbl a\\cell b\\cell\\row\\pard end}");
        reader.ReadStream(&m);
        const TParagraph* a = text.FirstPar;
        ASSERT_TRUE(a->Cell && a->Next->Cell);
        EXPECT_EQ(a->Cell->Left, 0);
        EXPECT_EQ(a->Cell->Width, 128);
        EXPECT_EQ(a->Next->Cell->Width, 127);
        int32_t left = 0, right = 0;
        text.TableList()->GetTableLeftRight(a->Cell->TableId, left, right);
        EXPECT_EQ(left, 100000);
        EXPECT_GE(right, 0);
        if (page.Fits) {
            EXPECT_EQ(int64_t(page.Width) - page.Left - page.Right - left - right, 4000);
        }
    }
}

using RtfTablesPagesControl = RtControlTest;

std::string Saved(TRtRichText& Rtf)
{
    TMemoryStream m;
    Rtf.SaveToStream(&m);
    return std::string(reinterpret_cast<const char*>(m.Memory()), size_t(m.Size()));
}

void Load(TRtRichText& Rtf, const std::string& Bytes)
{
    TMemoryStream m = RtfStreamOf(Bytes);
    Rtf.Clear();
    Rtf.LoadFromStream(&m, "RTF");
}

// Laying the text out and painting it leaves the cells' spacing as read: a cell
// that is shorter than its row has no space after it from that.
TEST_F(RtfTablesPagesControl, LayoutLeavesTheCellsSpacing)
{
    QFile f(QStringLiteral(LUMI_TEST_DATA "/richtext/cell-space-after.rtf"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const std::string rtf = f.readAll().toStdString();
    TRtRTFText read;
    ReadRtf(read, rtf);
    const std::string formats = Formats(read);
    EXPECT_EQ(formats.find("sa=3"), std::string::npos) << formats;
    Load(*Rtf, rtf);
    Rtf->repaint();
    EXPECT_EQ(Formats(*E()), formats);
    std::string bytes = Saved(*Rtf);
    for (int cycle = 0; cycle < 2; ++cycle) {
        Load(*Rtf, bytes);
        Rtf->repaint();
        EXPECT_EQ(Formats(*E()), formats) << "cycle " << cycle;
        bytes = Saved(*Rtf);
    }
}

// Undo of a cell command gives every cell of the row its share back, so the row
// is saved as before; redo does the command again.
TEST_F(RtfTablesPagesControl, UndoOfCellCommandsRestoresTheRow)
{
    UseUndoAndSaveRtf();
    const std::string rtf = "{\\rtf1\\paperw8000\\margl1000\\margr1000\\trowd\\cellx2000\\cellx5000\\pard\\intbl a\\cell"
                            "\\pard\\intbl b\\cell\\row\\pard end}";
    const auto split = [&] {
        uint8_t state = rtcmdClick;
        Rtf->Execute(rtgTable, rtcTableSplitCell, state);
    };
    const auto moveBorder = [&] {
        int32_t x = 0, w = 0;
        E()->GetCellPosition(E()->FirstPar, x, w);
        ASSERT_NE(E()->MoveCellBorder(E()->FirstPar, x + w + 40, false), 0);
    };
    for (const auto& [name, command] : {std::pair<const char*, std::function<void()>>{"split", split},
                                        {"move border", moveBorder}}) {
        SCOPED_TRACE(name);
        Load(*Rtf, rtf);
        E()->GetUndoStack()->Clear();
        Rtf->repaint();
        Key(Qt::Key_Home, Qt::ControlModifier);
        const std::string formats = Formats(*E());
        const std::string saved = Saved(*Rtf);
        command();
        Rtf->repaint();
        const std::string done = Formats(*E());
        ASSERT_NE(done, formats);
        Key(Qt::Key_Z, Qt::ControlModifier);
        Rtf->repaint();
        EXPECT_EQ(Formats(*E()), formats);
        EXPECT_EQ(Saved(*Rtf), saved);
        Key(Qt::Key_Y, Qt::ControlModifier);
        Rtf->repaint();
        EXPECT_EQ(Formats(*E()), done);
    }
}

// A text of paragraphs and tables with page breaks, spacing and indents, and
// its rows as RowEdges gives them when every row lies within the text.
struct TRandomText {
    std::string Rtf;
    std::vector<std::string> Rows;
    bool RowsFit = true;
};

TRandomText RandomText(std::mt19937& Rng)
{
    TRandomText text;
    auto pick = [&](int N) { return int(Rng() % unsigned(N)); };
    auto spacing = [&] {
        static const int values[] = {0, 0, 0, 30, 120, 240, 360};
        std::string s;
        for (const char* w : {"\\sb", "\\sa", "\\li", "\\ri", "\\fi"})
            if (const int v = values[pick(int(std::size(values)))])
                s += w + std::to_string(v);
        return s;
    };
    std::string rtf = "{\\rtf1{\\fonttbl{\\f0 Liberation Sans;}}\\paperw8000\\paperh5000\\margl1000\\margr1000\\f0 ";
    if (pick(4) == 0)
        rtf += "\\page ";
    const int blocks = 2 + pick(4);
    int word = 0;
    for (int b = 0; b < blocks; ++b) {
        if (pick(3) == 0) {
            const int rows = 1 + pick(3);
            for (int r = 0; r < rows; ++r) {
                const int cells = 1 + pick(4);
                // Rows of one table differ in offset, width and cell count.
                int x = pick(3) == 0 ? 100 * (1 + pick(20)) : 0;
                rtf += "\\trowd\\trleft" + std::to_string(x);
                std::string row = Near50(x) + ":";
                std::vector<int> rights;
                for (int c = 0; c < cells; ++c) {
                    // Boundaries on whole 50 twips, which the cells' shares keep to within 25.
                    rights.push_back(x += 50 * (6 + pick(40)));
                    rtf += "\\cellx" + std::to_string(x);
                }
                text.RowsFit &= x <= 6000;
                for (int c = 0; c < cells; ++c) {
                    rtf += "\\pard\\intbl" + spacing();
                    if (c == 0 && pick(4) == 0)
                        rtf += "\\page";
                    rtf += " c" + std::to_string(++word) + "\\cell";
                    row += " c" + std::to_string(word) + "|" + Near50(rights[size_t(c)]);
                }
                text.Rows.push_back(row);
                rtf += "\\row";
            }
            rtf += "\\pard ";
        } else {
            // One draw a statement, so that a seed gives one text whatever the compiler.
            rtf += "\\pard" + spacing();
            if (pick(4) == 0)
                rtf += "\\page";
            rtf += " w" + std::to_string(++word);
            if (pick(2))
                rtf += " and more words to fill a line";
            rtf += "\\par ";
        }
    }
    text.Rtf = rtf + "end}";
    return text;
}

class RtfTablesPagesRandom : public RtControlTest {
public:
    void SetUp() override
    {
        RtControlTest::SetUp();
        UseUndoAndSaveRtf();
    }
    void Paste(const QByteArray& Rtf1)
    {
        auto* data = new QMimeData;
        data->setData("text/rtf", Rtf1);
        QGuiApplication::clipboard()->setMimeData(data);
        Key(Qt::Key_V, Qt::ControlModifier);
    }
    // Moves the cursor a few lines and characters from where it is, or to an end, with Shift
    // when Select.
    void Move(std::mt19937& Rng, bool Select)
    {
        auto pick = [&](int N) { return int(Rng() % unsigned(N)); };
        const Qt::KeyboardModifiers shift = Select ? Qt::ShiftModifier : Qt::NoModifier;
        if (pick(6) == 0) {
            Key(pick(2) ? Qt::Key_Home : Qt::Key_End, shift | Qt::ControlModifier);
            return;
        }
        for (int i = pick(4); i > 0; --i)
            Key(pick(3) ? Qt::Key_Down : Qt::Key_Up, shift);
        for (int i = pick(6); i > 0; --i)
            Key(pick(3) ? Qt::Key_Right : Qt::Key_Left, shift);
    }
    // One random edit; its name for the trace.
    std::string Edit(std::mt19937& Rng)
    {
        auto pick = [&](int N) { return int(Rng() % unsigned(N)); };
        Move(Rng, false);
        switch (pick(17)) {
        case 0: Type("xy"); return "type";
        case 1: Key(Qt::Key_Return); return "return";
        case 2: Key(Qt::Key_Return, Qt::ControlModifier); return "page break";
        case 3:
            Move(Rng, true);
            Key(pick(2) ? Qt::Key_Delete : Qt::Key_Backspace);
            return "delete selection";
        case 4: Key(pick(2) ? Qt::Key_Delete : Qt::Key_Backspace); return "delete";
        case 5:
            Move(Rng, true);
            Key(Qt::Key_X, Qt::ControlModifier);
            Move(Rng, false);
            Key(Qt::Key_V, Qt::ControlModifier);
            return "cut and paste";
        case 6:
            Paste(pick(2) ? "{\\rtf1 p\\page q}" : "{\\rtf1\\sa120 p\\par\\page\\sb60 q\\par r}");
            return "paste page break";
        case 7: Key(Qt::Key_Z, Qt::ControlModifier); return "undo";
        case 8: Key(Qt::Key_Y, Qt::ControlModifier); return "redo";
        case 10: return TableCommand(rtcTableSplitCell, "split cell");
        case 11: return TableCommand(rtcTableCombineCells, "combine cells");
        case 12: return TableCommand(rtcTableDeleteColumn, "delete column");
        case 13: return TableCommand(rtcTableInsertColumn, "insert column");
        case 14: return TableCommand(pick(2) ? rtcTableInsertRow : rtcTableDeleteRow, "insert or delete row");
        case 15: {
            // Moves the border right of the cursor's cell, in its row or in every row.
            TParagraph* cell = E()->CursorPar;
            if (!cell || !(cell->Flags & parfTableCell))
                return "move no border";
            int32_t x = 0, w = 0;
            E()->GetCellPosition(cell, x, w);
            E()->MoveCellBorder(cell, x + w + pick(81) - 40, pick(2));
            Rtf->repaint();
            return "move border";
        }
        default:
            Move(Rng, true);
            Key(Qt::Key_Return, Qt::ControlModifier);
            return "page break over selection";
        }
    }
    const std::set<std::string> CellEdits{"split cell",   "combine cells",        "delete column",
                                          "insert column", "insert or delete row", "move border"};
    std::string TableCommand(int32_t Id, const char* Name)
    {
        uint8_t state = rtcmdClick;
        Rtf->Execute(rtgTable, Id, state);
        return Name;
    }
    // A Return typed in a cell (a paragraph mark inside the cell's text) is written as a
    // line break: texts with one are not compared.
    bool ReturnInCell() const
    {
        for (const TParagraph* p = E()->FirstPar; p; p = p->Next)
            if ((p->Flags & parfTableCell) && ParString(p).find('\r') != std::string::npos)
                return true;
        return false;
    }
};

TEST_F(RtfTablesPagesRandom, EditedTextsReadBackWithTheirFormats)
{
    const int seeds = qEnvironmentVariableIsSet("RT_TABLE_PAGE_SEEDS") ? qEnvironmentVariableIntValue("RT_TABLE_PAGE_SEEDS") : 2000;
    const int firstSeed = qEnvironmentVariableIsSet("RT_TABLE_PAGE_FIRST_SEED")
        ? qEnvironmentVariableIntValue("RT_TABLE_PAGE_FIRST_SEED")
        : 1;
    int compared = 0, withTables = 0, withBreaks = 0, failed = 0, undone = 0, rowsRead = 0, misread = 0;
    for (int seed = firstSeed; seed < firstSeed + seeds; ++seed) {
        std::mt19937 rng{unsigned(seed)};
        const TRandomText random = RandomText(rng);
        const std::string& start = random.Rtf;
        Load(*Rtf, start);
        // Rows within the text are read as written.
        if (random.RowsFit && !random.Rows.empty()) {
            ++rowsRead;
            if (RowEdges(*E()) != random.Rows && ++misread <= 5)
                ADD_FAILURE() << "seed " << seed << " read " << testing::PrintToString(RowEdges(*E())) << " from\n"
                              << start;
        }
        E()->GetUndoStack()->Clear();
        std::string script;
        bool cellsEdited = false, cellEditUndone = false;
        for (int i = 0; i < 12; ++i) {
            const std::string before = Formats(*E());
            const std::string edit = Edit(rng);
            script += edit + "; ";
            cellEditUndone |= cellsEdited && (edit == "undo" || edit == "redo");
            cellsEdited |= CellEdits.count(edit) > 0 && Formats(*E()) != before;
        }
        Rtf->repaint();
        if (ReturnInCell())
            continue;
        const std::string formats = Formats(*E());
        const std::string saved = Saved(*Rtf);
        Load(*Rtf, saved);
        Rtf->repaint();
        ++compared;
        undone += cellEditUndone;
        withTables += formats.find(" cell") != std::string::npos;
        withBreaks += formats.find("\n|") != std::string::npos;
        if (Formats(*E()) != formats) {
            ++failed;
            if (failed <= 5)
                ADD_FAILURE() << "seed " << seed << ": " << script << "\n" << start << "\nedited:\n" << formats
                              << "read back:\n" << Formats(*E()) << "saved:\n" << saved;
        }
    }
    printf("%d seeds from %d: %d texts with rows within the text, %d of them read otherwise; %d compared (%d with "
           "tables, %d with page breaks), %d differ; %d compared with cell edits undone or redone\n",
           seeds, firstSeed, rowsRead, misread, compared, withTables, withBreaks, failed, undone);
    EXPECT_EQ(misread, 0);
    EXPECT_EQ(failed, 0);
    // Most texts are compared, and most of them hold tables and page breaks.
    EXPECT_GT(compared, seeds / 2);
    EXPECT_GT(withTables, compared / 3);
    EXPECT_GT(withBreaks, compared / 3);
}

}  // namespace
