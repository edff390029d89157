#include "RtRtfReader.h"

#include "RtExtraData.h"
#include "RtHeaderFooter.h"
#include "RtList.h"
#include "RtNumbering.h"
#include "RtObject.h"
#include "Charsets.h"
#include "RtfKeywords.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr TRtSet<TOneWrtStyle> ClearedByPlain{};

// Paragraph records alike in every property a paragraph takes from the template.
bool SameParFormat(const TParagraph& A, const TParagraph& B)
{
    return A.IndentFirst == B.IndentFirst && A.IndentLeft == B.IndentLeft && A.IndentRight == B.IndentRight
        && A.SpaceBefore == B.SpaceBefore && A.SpaceAfter == B.SpaceAfter && A.SpaceBetween == B.SpaceBetween
        && A.Number == B.Number && A.NumLevel == B.NumLevel && A.Color == B.Color && A.Shading == B.Shading
        && A.PatColor == B.PatColor
        && A.Align == B.Align && A.Tabs == B.Tabs && A.BrdLines == B.BrdLines && A.BrdWidth == B.BrdWidth
        && A.BrdColor == B.BrdColor && A.BrdSpace == B.BrdSpace && A.Flags == B.Flags
        && A.OutlineLevel == B.OutlineLevel && A.ParId == B.ParId && A.ExtFlags == B.ExtFlags
        && A.StyleIndex == B.StyleIndex;
}

int16_t Clamp16(int32_t v) { return int16_t(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

constexpr int32_t CP_UTF8 = 65001;

// Characters as bytes of a charset; a character it lacks becomes "?".
AnsiString ToCharset(std::u32string_view S, int32_t Charset)
{
    std::string bytes;
    for (const char32_t ch : S)
        if (!UnicodeToCharset(Charset, ch, bytes))
            bytes += '?';
    return bytes;
}

// Page measures and tab positions in twips: 0 up to about 700 inches, so that
// sums of them never overflow.
constexpr int32_t MaxTwips = 1000000;
int32_t Twips(int32_t v) { return std::clamp(v, 0, MaxTwips); }

} // namespace

TRtRtfReader::TRtRtfReader() = default;

TRtRtfReader::~TRtRtfReader() = default;

int32_t TRtRtfReader::Parse(TStream* Stream, TParagraph*& firstParagraph)
{
    Dest = rdText;
    Ignorable = false;
    Depth = SkippedDepth = NumberingDefs = 0;
    Started = Stop = LastParDone = SkipNextPicture = RawCode = NumberText = Preformatted = LineBreakPending
        = SectionOutline = false;
    FormatTakenBy = nullptr;
    EmptyFormatFor = nullptr;
    Groups.clear();
    OuterFields.clear();
    FootnoteCount = 0;
    NumberLine = nullptr;
    OpenBookmarks.clear();
    HFFallbackRead = 0;
    HFRead.clear();
    UnicodeSkip = 1;
    SkipChars = 0;
    HighSurrogate = 0;
    StarPending = GroupStart = false;
    FontPage = 0;
    FontBytes = TPendingBytes();
    firstParagraph = StartParse(Stream, 400);
    Par->Flags &= ~(parfNoLines | parfProtected | parfObjectPar | parfObjectPar2);
    LineCapacity = 60;
    const int64_t start = StreamPosition();
    const int32_t step = Text->BeginProgress(int32_t(std::min<int64_t>(Stream->Remaining(), INT32_MAX)));
    Run(start, step);
    FinishRead();
    In.SyncStream();
    Text->EndProgress();
    return 0;
}

void TRtRtfReader::Run(int64_t Start, int32_t Step)
{
    TRtfLexer lex(In);
    TRtfToken t;
    int64_t reported = 0;
    while (!Stop && lex.Next(t) != rttEnd) {
        HandleToken(t);
        if (Step > 0 && StreamPosition() - Start - reported > Step) {
            reported = StreamPosition() - Start;
            Text->StepProgress(int32_t(std::min<int64_t>(reported, INT32_MAX)));
        }
        if (RawCode)
            ReadRawCode(lex);
        if (Started && Depth == 0)
            break;
    }
}

// Raw RTF code: the bytes up to the marker "\rtrtf0" are characters.
void TRtRtfReader::ReadRawCode(TRtfLexer& Lex)
{
    static constexpr char marker[] = "\\rtrtf0";
    constexpr size_t length = sizeof marker - 1;
    size_t matched = 0;
    while (RawCode) {
        const int c = Lex.ReadRaw();
        if (c < 1) {
            Stop = true;
            return;
        }
        if (c == marker[matched]) {
            if (++matched == length) {
                RawCode = false;
                Attr.Style.Exclude(afsIsRTFCode);
            }
            continue;
        }
        for (size_t i = 0; i < matched; ++i)
            HandleCharacter(uint8_t(marker[i]));
        matched = c == marker[0] ? 1 : 0;
        if (!matched)
            HandleCharacter(c);
    }
}

namespace {

// A "*" that opens a group before a word that is no property or character of
// its own stands for "\\*".
bool StarredWord(const TRtfToken& t)
{
    const char c = t.NameLength > 0 ? t.Name[0] : 0;
    if (t.Kind != rttWord || !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
        return false;
    const TRtfKeyword* k = FindRtfKeyword(t.WordName());
    return !k || k->Kind == rtfkDestination;
}

} // namespace

void TRtRtfReader::HandleToken(const TRtfToken& t)
{
    // Bytes before the first group are no part of the text.
    if (!Started && t.Kind != rttGroupOpen)
        return;
    const bool groupStart = GroupStart;
    GroupStart = t.Kind == rttGroupOpen;
    if (StarPending) {
        StarPending = false;
        if (StarredWord(t))
            Ignorable = true;
        else
            HandleCharacter('*');
    } else if (groupStart && t.Kind == rttChar && !t.Escaped && t.Char == '*' && SkippedDepth == 0) {
        StarPending = true;
        return;
    }
    switch (t.Kind) {
    case rttGroupOpen:
        SkipChars = 0;
        FontBytes = TPendingBytes();
        OpenGroup();
        Started = true;
        return;
    case rttGroupClose:
        SkipChars = 0;
        FontBytes = TPendingBytes();
        CloseGroup();
        return;
    case rttWord:
        // Binary data is passed over in skipped groups too, so that its bytes
        // are never read as braces.
        if ((SkippedDepth > 0 || Dest == rdSkip) && t.WordName() == "bin") {
            In.Pass(std::max<int32_t>(0, t.Value), nullptr);
            return;
        }
        if (SkippedDepth > 0)
            return;
        if (SkipChars > 0) {
            --SkipChars;
            return;
        }
        HandleControlWord(t);
        return;
    case rttChar:
        if (SkippedDepth > 0)
            return;
        if (SkipChars > 0) {
            --SkipChars;
            return;
        }
        if (!t.Escaped && Dest == rdPicture) {
            const int d = RtfHexDigit(t.Char);
            if (!Picture)
                return;
            if (d < 0)
                return; // blanks between the hexadecimal digits
            if (PicNibble < 0)
                PicNibble = d;
            else {
                const uint8_t b = uint8_t(PicNibble * 16 + d);
                Picture->WriteBuffer(&b, 1);
                PicNibble = -1;
            }
            return;
        }
        // Bytes of fonts in a code page no font charset has (Mac, DOS, UTF-8).
        if (FontPage != 0 && (t.Char >= 0x80 || FontBytes.Count > 0)) {
            const char32_t ch = DecodeByte(FontBytes, FontPage, t.Char);
            // A byte no charset holds stays as it is, a part of a UTF-8 character goes.
            if (ch && !AddUnicodeChar(ch) && FontPage != CP_UTF8)
                HandleCharacter(t.Char);
            return;
        }
        HandleCharacter(t.Char);
        return;
    case rttEnd:
        return;
    }
}

// The code pages no font charset has are single-byte ones (Mac, DOS) besides
// UTF-8: each byte is decoded alone, once for a code page. Decoding a run of
// them at once could pair or compose bytes, and the tokens come one at a time.
char32_t TRtRtfReader::CodePageChar(int32_t Page, uint8_t Byte)
{
    if (CodePageCharsOf != Page) {
        for (int c = 0x80; c < 0x100; ++c) {
            const char byte = char(c);
            const QList<uint> u = CodePageToUnicode(Page, std::string_view(&byte, 1)).toUcs4();
            CodePageChars[size_t(c - 0x80)] = u.isEmpty() ? 0 : char32_t(u[0]);
        }
        CodePageCharsOf = Page;
    }
    return Byte >= 0x80 ? CodePageChars[size_t(Byte - 0x80)] : char32_t(Byte);
}

namespace {

// Bytes of a UTF-8 character that starts with Lead; 0 for a byte that starts none.
int Utf8Length(uint8_t Lead)
{
    return Lead >= 0xC2 && Lead <= 0xDF ? 2 : Lead >= 0xE0 && Lead <= 0xEF ? 3 : Lead >= 0xF0 && Lead <= 0xF4 ? 4 : 0;
}

} // namespace

char32_t TRtRtfReader::DecodeByte(TPendingBytes& Pending, int32_t Page, uint8_t Byte)
{
    if (Page == CP_UTF8) {
        if (Pending.Count > 0 && (Byte & 0xC0) == 0x80) {
            Pending.Bytes[Pending.Count++] = Byte;
            const int length = Utf8Length(Pending.Bytes[0]);
            if (Pending.Count < length)
                return 0;
            const QString s = QString::fromUtf8(reinterpret_cast<const char*>(Pending.Bytes.data()), length);
            Pending.Count = 0;
            const QList<uint> u = s.toUcs4();
            return u.size() == 1 ? char32_t(u[0]) : U'\uFFFD';
        }
        // A sequence cut short is dropped; a byte that starts none is Windows-1252.
        Pending.Count = 0;
        if (Utf8Length(Byte) == 0)
            return AnsiCharToUnicode(Byte);
        Pending.Bytes[0] = Byte;
        Pending.Count = 1;
        return 0;
    }
    const int32_t charset = CodePageCharset(Page);
    if (charset < 0)
        return CodePageChar(Page, Byte);
    char32_t u;
    if (Pending.Count > 0) {
        Pending.Count = 0;
        u = CharsetCharToUnicode(charset, Pending.Bytes[0], Byte);
    } else if (IsCharsetLeadByte(charset, Byte)) {
        Pending.Bytes[0] = Byte;
        Pending.Count = 1;
        return 0;
    } else
        u = CharsetCharToUnicode(charset, Byte);
    return u ? u : U'\uFFFD';
}

void TRtRtfReader::OpenGroup()
{
    if (SkippedDepth > 0 || Depth >= MaxGroupDepth) {
        ++SkippedDepth;
        ++Depth;
        return;
    }
    TGroup g;
    g.Attr = Attr;
    g.Template = ParTemplate;
    g.Dest = Dest;
    g.UnicodeSkip = UnicodeSkip;
    g.FontPage = FontPage;
    g.InRow = InRow;
    g.NumberText = NumberText;
    Groups.push_back(std::move(g));
    ++Depth;
    if (Dest == rdStylesheet && Depth == StylesheetDepth + 1)
        BeginStyle();
}

void TRtRtfReader::CloseGroup()
{
    if (SkippedDepth > 0) {
        --SkippedDepth;
        --Depth;
        return;
    }
    if (Groups.empty()) {
        --Depth;
        Stop = true;
        return;
    }
    TGroup& g = Groups.back();
    // A paragraph with text takes the paragraph properties changed in the
    // group before the group forgets them, those of the innermost group that
    // closes first; a later paragraph end sets them again from the state then.
    // An empty paragraph keeps them aside: should the text end with it, no
    // further words given, they are its own.
    if ((Dest == rdText || Dest == rdHeader || Dest == rdFooter) && FormatTakenBy != Par
        && !SameParFormat(ParTemplate, g.Template)) {
        if (!ParEmpty()) {
            TakeParFormat(ParTemplate);
            FormatTakenBy = Par;
        } else if (EmptyFormatFor != Par) {
            AssignParFormat(EmptyFormat, ParTemplate);
            EmptyFormatFor = Par;
        }
    }
    if (Dest == rdStylesheet && Depth == StylesheetDepth + 1)
        EndStyle();
    if (g.Field)
        EndField(g.Field == 2);
    if (Dest != g.Dest) {
        if (Dest == rdPicture) {
            ReadPictureData(g.Dest == rdText || g.Dest == rdHeader || g.Dest == rdFooter || g.Dest == rdField
                            || g.Dest == rdShapeResult);
            Picture.reset();
        }
        EndDestination(Dest);
    }
    // The outermost group: the last paragraph keeps the properties read for it.
    if (Groups.size() == 1)
        FinishLastParagraph();
    Attr = g.Attr;
    // A break read for the next paragraph is pending whatever groups close;
    // one a paragraph took in the group is not pending again.
    const uint32_t pendingBreak = ParTemplate.Flags & parfNewPage;
    ParTemplate = std::move(g.Template);
    ParTemplate.Flags = (ParTemplate.Flags & ~parfNewPage) | pendingBreak;
    Dest = g.Dest;
    UnicodeSkip = g.UnicodeSkip;
    FontPage = g.FontPage;
    InRow = g.InRow;
    NumberText = g.NumberText;
    const bool numbering = g.NumberingDef;
    if (numbering)
        --NumberingDefs;
    Groups.pop_back();
    --Depth;
    if (numbering)
        CompleteNumbering();
    // The last paragraph keeps the numbering it took when the text ended.
    if (!LastParDone && CurLine && CurLine->Length == 0 && CharsAdded == 0 && CurLine == Par->Lines) {
        Par->Number = ParTemplate.Number;
        Par->NumLevel = ParTemplate.NumLevel;
    }
}

void TRtRtfReader::HandleControlWord(const TRtfToken& Word)
{
    const std::string_view name = Word.WordName();
    if (name.size() == 1 && (name[0] == '{' || name[0] == '}' || name[0] == '~')) {
        HandleCharacter(name[0] == '~' ? 32 : name[0]);
        Ignorable = false;
        return;
    }
    const TRtfKeyword* k = FindRtfKeyword(name);
    if (!k) {
        if (Ignorable && Dest == rdInfo) {
            // "{\*\company ...}": an information item of that name.
            InfoIndex = -1;
            InfoName = AnsiString(name);
            InfoText.clear();
            InfoBytes = TPendingBytes();
            Dest = rdInfoItem;
        } else if (Ignorable)
            Dest = rdSkip;
        Ignorable = false;
        return;
    }
    Ignorable = false;
    switch (k->Kind) {
    case rtfkChar:
        if (k->Code >= 0x80 && k->Code <= 0xFF)
            AddWindowsChar(uint8_t(k->Code));
        else
            HandleCharacter(k->Code);
        break;
    case rtfkDestination:
        HandleDestination(k->Code, k->Parameter(Word.Value, Word.HasValue));
        break;
    case rtfkProperty:
        HandleProperty(name, k->Code, k->Parameter(Word.Value, Word.HasValue));
        break;
    case rtfkSpecial:
        HandleSpecial(k->Code);
        break;
    }
}

void TRtRtfReader::HandleSpecial(int32_t Code)
{
    if (Dest == rdSkip)
        return;
    if (Code == rtfsIgnorable)
        Ignorable = true;
}

void TRtRtfReader::HandleDestination(int32_t Code, int32_t Value)
{
    if (Dest == rdSkip)
        return;
    if (BeginFieldDestination(Code) || BeginListDestination(Code, Value) || BeginInfoDestination(Code, Value))
        return;
    switch (Code) {
    case rtfdPicture:
    case rtfdProgramObject: // an object in the program's own format
    case rtfdBackground: // the background picture
        BeginPicture(Code);
        break;
    case rtfdFontTable:
        Dest = rdFontTable;
        FontNr = -1;
        FontName.clear();
        break;
    case rtfdColorTable:
        Dest = rdColorTable;
        ColorCount = 0;
        Red = Green = Blue = 0;
        ColorSet = false;
        break;
    case rtfdBinary: { // raw bytes, never passed through the tokenizer
        const int64_t count = std::max<int32_t>(0, Value);
        In.Pass(count, Dest == rdPicture ? Picture.get() : nullptr);
        break;
    }
    case rtfdFootnote:
        if (CurLine->Attrs && !HFChain && FootnoteId == 0)
            BeginFootnote();
        else
            Dest = rdSkip;
        break;
    case rtfdBookmarkStart:
    case rtfdBookmarkEnd:
        Dest = rdBookmark;
        BookmarkName.clear();
        BookmarkEnd = Code == rtfdBookmarkEnd;
        break;
    case rtfdHeader:
    case rtfdFooter:
        if (!HFChain)
            BeginHeaderFooter(Code == rtfdFooter, Value);
        else
            Dest = rdSkip;
        break;
    case rtfdTableDef:
        Dest = rdTableDef;
        TableDefText.clear();
        TableDefLeft = TableDefRight = 0;
        break;
    case rtfdMergePar:
        Dest = rdMergePar;
        Par->TextField.clear();
        break;
    case rtfdCellName:
    case rtfdCellCommand:
        Dest = Code == rtfdCellName ? rdCellName : rdCellCommand;
        break;
    case rtfdStylesheet:
        Dest = rdStylesheet;
        Styles.clear();
        StyleByNumber.clear();
        StylesheetDepth = Depth;
        break;
    case rtfdShapeResult:
        Dest = rdShapeResult;
        break;
    case rtfdDrawingObject:
        break;
    default:
        Dest = rdSkip;
        break;
    }
}

void TRtRtfReader::BeginPicture(int32_t Code)
{
    if (Dest == rdShapeResult || Picture) { // a picture inside a picture is dropped
        Dest = rdSkip;
        return;
    }
    Picture = std::make_unique<TMemoryStream>();
    PicNibble = -1;
    Pic = TPictureDef();
    Pic.Program = Code == rtfdProgramObject;
    Pic.Background = Code == rtfdBackground;
    Dest = rdPicture;
}

bool TRtRtfReader::BeginFieldDestination(int32_t Code)
{
    switch (Code) {
    case rtfdFieldEdit:
        Dest = rdText;
        break;
    case rtfdField:
        if (Dest == rdFieldInst) {
            // A field inside an instruction: the outer field's result shows it.
            Dest = rdSkip;
            break;
        }
        if (Text->Header()->RichText)
            BeginField();
        break;
    case rtfdFieldInst:
        if (Text->Header()->RichText) {
            Dest = rdFieldInst;
            Field.Attr = Attr;
            Field.Inst.clear();
            Field.InstBytes = TPendingBytes();
            Field.Frame.clear();
        }
        break;
    case rtfdFieldFrame: // the format text of a page reference
        Dest = rdFieldFrame;
        break;
    case rtfdFieldResult: // the result keeps the field's destination
        break;
    default:
        return false;
    }
    return true;
}

bool TRtRtfReader::BeginListDestination(int32_t Code, int32_t Value)
{
    switch (Code) {
    case rtfdNumbering:
    case rtfdNumberingSection:
        if (!Groups.empty() && !Groups.back().NumberingDef) {
            Groups.back().NumberingDef = true;
            ++NumberingDefs;
        }
        Level = TLevelDef();
        Level.Level = 0;
        if (Code == rtfdNumberingSection) {
            Level.Level = std::clamp(Value, 1, 9);
            Level.Section = true;
        }
        Dest = rdText;
        break;
    case rtfdNumTextAfter:
        Dest = rdNumTextAfter;
        break;
    case rtfdNumTextBefore:
        Dest = rdNumTextBefore;
        break;
    case rtfdNumberText:
        Dest = Header->KeepNumberingText ? rdText : rdSkip;
        break;
    case rtfdListTable:
        Dest = rdListTable;
        break;
    case rtfdList:
        if (Dest != rdListTable) {
            Dest = rdSkip;
            break;
        }
        Dest = rdList;
        ListGroup = 1;
        for (int32_t i = 0; i < Text->NumberingStyles()->Count(); ++i)
            ListGroup = std::max(ListGroup, Text->NumberingStyles()->GetItem(i)->Group + 1);
        ListLevel = 0;
        break;
    case rtfdListLevel:
        if (Dest != rdList) {
            Dest = rdSkip;
            break;
        }
        Dest = rdListLevel;
        Level = TLevelDef();
        Level.Level = ++ListLevel;
        break;
    case rtfdListOverrideTable:
        Dest = rdListOverrideTable;
        break;
    case rtfdLevelText:
    case rtfdLevelNumbers:
        Dest = Dest != rdListLevel ? rdSkip : Code == rtfdLevelText ? rdLevelText : rdLevelNumbers;
        break;
    default:
        return false;
    }
    return true;
}

bool TRtRtfReader::BeginInfoDestination(int32_t Code, int32_t Value)
{
    switch (Code) {
    case rtfdInfo:
        Dest = Value ? rdUserProps : rdInfo;
        break;
    case rtfdInfoItem: // an information item, or a user property's value
        InfoIndex = Value;
        InfoName = Value >= 0 && Value < int32_t(RtInfoFieldNames.size()) ? AnsiString(RtInfoFieldNames[size_t(Value)])
                                                                            : PropName;
        InfoText.clear();
        InfoBytes = TPendingBytes();
        Dest = rdInfoItem;
        break;
    case rtfdPropName:
        PropName.clear();
        Dest = rdPropName;
        break;
    default:
        return false;
    }
    return true;
}

namespace {

// Adds a character read to a name or text of at most Max bytes; with
// SkipLeading, blanks before its first character are dropped.
void AppendTo(AnsiString& S, int32_t Ch, size_t Max, bool SkipLeading)
{
    if ((!SkipLeading || Ch != ' ' || !S.empty()) && S.size() < Max)
        S += char(Ch);
}

} // namespace

void TRtRtfReader::HandleCharacter(int32_t Ch)
{
    switch (Dest) {
    case rdText:
        // A numbering definition's own text stays out of the document.
        if (NumberingDefs == 0)
            AddChar(Ch);
        break;
    case rdHeader:
    case rdFooter:
    case rdShapeResult:
    case rdFieldInst:
        AddChar(Ch);
        break;
    case rdField:
        AddFieldResultChar(Ch);
        break;
    case rdFootnote:
        AddFootnoteChar(Ch);
        break;
    case rdPicture:
        if (Picture) {
            const uint8_t b = uint8_t(Ch);
            Picture->WriteBuffer(&b, 1);
        }
        break;
    default:
        AddDestinationText(Ch);
        break;
    }
}

void TRtRtfReader::AddFieldResultChar(int32_t Ch)
{
    if (Field.DropResult)
        return;
    if (Field.MergeId) {
        // A merge field: its first character is the insert point, the rest its automatic text.
        const TAttr keep = Attr;
        Attr.Style.Include(Field.MergeFirst ? afsIsInsertpoint : afsAutomatic);
        Attr.Style.Exclude(Field.MergeFirst ? afsAutomatic : afsIsInsertpoint);
        Attr.Tag = uint32_t(Field.MergeId);
        Field.MergeFirst = false;
        AddChar(Ch);
        Attr = keep;
    } else if (Field.Hyperlink) {
        if (Ch <= 0xFF)
            if (const char32_t ch = DecodeByte(Field.ResultBytes, CharsetCodePage(Header->FontCharset(Attr.Font)),
                                               uint8_t(Ch)))
                Field.Result += ch;
        const TAttr keep = Attr;
        Attr.Style.Include(afsHyperLink);
        AddChar(Ch);
        Field.ResultAttr = Attr;
        Attr = keep;
    } else
        AddChar(Ch);
}

void TRtRtfReader::AddDestinationText(int32_t Ch)
{
    switch (Dest) {
    case rdFontTable:
        if (Ch == ';')
            EndFontEntry();
        else
            AppendTo(FontName, Ch, AnsiString::npos, true);
        break;
    case rdColorTable:
        if (Ch == ';')
            EndColorEntry();
        break;
    case rdInfoItem:
        // In the document's code page.
        if (Ch <= 0xFF)
            if (const char32_t ch = DecodeByte(InfoBytes, CodePage, uint8_t(Ch)))
                AddInfoChar(ch);
        break;
    case rdPropName: AppendTo(PropName, Ch, 255, true); break;
    case rdBookmark: AppendTo(BookmarkName, Ch, 255, false); break;
    case rdFieldFrame: AppendTo(Field.Frame, Ch, 255, false); break;
    case rdTableDef: AppendTo(TableDefText, Ch, 255, true); break;
    case rdMergePar: AppendTo(Par->TextField, Ch, 65535, false); break;
    case rdCellName:
    case rdCellCommand: {
        AnsiString& t = Dest == rdCellName ? CellOf(Par)->Name : CellOf(Par)->Command;
        Par->Flags |= parfTableCell;
        AppendTo(t, Ch, 255, false);
        break;
    }
    case rdLevelText:
    case rdNumTextBefore: AppendTo(Level.Text, Ch, 99, false); break;
    case rdNumTextAfter: AppendTo(Level.TextA, Ch, 99, false); break;
    case rdStylesheet:
        if (Ch == ';')
            NewStyle.NameDone = true;
        else if (!NewStyle.NameDone)
            AppendTo(NewStyle.Name, Ch, 255, true);
        break;
    default:
        break;
    }
}

void TRtRtfReader::AddWindowsChar(uint8_t Byte)
{
    switch (Dest) {
    case rdText:
    case rdHeader:
    case rdFooter:
    case rdShapeResult:
    case rdField:
    case rdFieldInst:
    case rdInfoItem:
    case rdPropName:
    case rdFootnote:
        if (AddUnicodeChar(AnsiCharToUnicode(Byte)))
            return;
        break;
    default:
        break;
    }
    HandleCharacter(Byte);
}

void TRtRtfReader::AddInstructionChar(char32_t Ch)
{
    if (Ch >= 11 && (Ch != ' ' || !Field.Inst.empty()) && Field.Inst.size() < 65535)
        Field.Inst += Ch;
}

void TRtRtfReader::AddChar(int32_t Ch)
{
    if (Dest == rdFieldInst) {
        // The instruction's characters, each in the charset of its font.
        if (Ch <= 0xFF)
            if (const char32_t ch = DecodeByte(Field.InstBytes, CharsetCodePage(Header->FontCharset(Attr.Font)),
                                               uint8_t(Ch)))
                AddInstructionChar(ch);
        return;
    }
    if (NumberText) {
        // The number the text shows anyway: dropped with the tab that ends it.
        NumberText = Ch != 9;
        return;
    }
    if (Ch == rtfcLineBreak)
        Ch = 10;
    else if (Ch == 13 || Ch == 10 || Ch < 1 || Ch > 255)
        return;
    TAttr a = Attr;
    if (Ch == 1)
        a.Style.Include(afsIsObject);
    if (Automatic)
        a.Style.Include(afsAutomatic);
    if (Hyphen) {
        a.Style.Include(afsHyphen);
        Hyphen = false;
    }
    if (LineBreakPending) {
        LineBreakPending = false;
        if (CurLine->Length > 0)
            Text->InsertLine(CurLine, LineCapacity);
    }
    PutChar(uint8_t(Ch), a);
}

void TRtRtfReader::AddHiddenText(const std::u32string& S, const TAttr& Like)
{
    const TAttr keep = Attr;
    Attr = Like;
    Attr.Style.Include(afsHidden);
    Attr.Style.Exclude(afsHyperLink);
    for (const char32_t ch : S)
        AddInFont(ch, true);
    Attr = keep;
}

void TRtRtfReader::EndDestination(TRtfDestination D)
{
    switch (D) {
    case rdFieldInst:
        ParseFieldInstruction();
        break;
    case rdListLevel:
        EndListLevel();
        break;
    case rdHeader:
    case rdFooter:
        EndHeaderFooter();
        break;
    case rdInfoItem:
        EndInfoItem();
        break;
    case rdFootnote:
        EndFootnote();
        break;
    case rdBookmark:
        if (!BookmarkName.empty() && CurLine->Attrs)
            AddBookmarkMark();
        break;
    case rdTableDef:
        TableId = Text->TableList()->AddTable(TableDefText, AnsiString(), 0, TableDefRight, TableDefLeft);
        TableFromDef = true;
        break;
    case rdStylesheet:
        ResolveStyles();
        StylesheetDepth = -1;
        break;
    default:
        break;
    }
}

// A field starts; one inside another's result keeps the outer field's state
// aside until it ends.
void TRtRtfReader::BeginField()
{
    if (Groups.empty())
        return;
    if (Dest == rdField && OuterFields.size() < size_t(MaxGroupDepth)) {
        OuterFields.push_back(Field);
        Groups.back().Field = 2;
        // Inside a link's text the inner field's result belongs to the link.
        if (Field.Hyperlink)
            Attr.Style.Include(afsHyperLink);
    } else
        Groups.back().Field = 1;
    Dest = rdField;
    Field.Inst.clear();
    Field.InstBytes = TPendingBytes();
    Field.ClearResult();
}

// The group of a field closes: a link's target follows as hidden text unless
// it is the visible text itself.
void TRtRtfReader::EndField(bool Nested)
{
    if (Field.Hyperlink && !Field.Target.empty() && Field.Target != Field.Result)
        AddHiddenText(Field.Target, Field.Result.empty() ? Attr : Field.ResultAttr);
    Field.ClearResult();
    if (Nested && !OuterFields.empty()) {
        Field = std::move(OuterFields.back());
        OuterFields.pop_back();
    }
}

namespace {

std::u32string_view TrimU(std::u32string_view S)
{
    while (!S.empty() && S.front() <= U' ')
        S.remove_prefix(1);
    while (!S.empty() && S.back() <= U' ')
        S.remove_suffix(1);
    return S;
}

bool StartsWith(std::u32string_view S, std::u32string_view Prefix) { return S.substr(0, Prefix.size()) == Prefix; }

// The first argument: quoted, or up to a blank.
std::u32string_view Argument(std::u32string_view Rest)
{
    while (!Rest.empty() && Rest.front() <= U' ')
        Rest.remove_prefix(1);
    if (!Rest.empty() && Rest.front() == U'"') {
        Rest.remove_prefix(1);
        return Rest.substr(0, Rest.find(U'"'));
    }
    return Rest.substr(0, Rest.find(U' '));
}

} // namespace

void TRtRtfReader::ParseFieldInstruction()
{
    const std::u32string all = std::move(Field.Inst);
    const std::u32string_view inst = TrimU(all);
    Field.Inst.clear();
    Field.InstBytes = TPendingBytes();
    // Names are bytes of the instruction's font, as the text holds them.
    const int32_t charset = Header->FontCharset(Field.Attr.Font);
    const auto bytes = [charset](std::u32string_view S) { return ToCharset(S, charset); };
    if (StartsWith(inst, U"HYPERLINK ")) {
        Field.Hyperlink = true;
        Field.Target = Argument(inst.substr(10));
    } else if (StartsWith(inst, U"PAGEREF ")) {
        // A page reference: its mark stands for the page number, which is
        // shown from the reference; the result written with it is dropped.
        const AnsiString name = bytes(Argument(inst.substr(8))).substr(0, 255);
        if (!name.empty() && CurLine->Attrs) {
            const TAttr keep = Attr;
            Attr = Field.Attr;
            const int32_t id = InsertTextObject(3, 3, false, false, name, AnsiString());
            Attr = keep;
            if (TTextObj* ref = Text->ObjRefList()->GetTextObj(id))
                ref->FormatText = Field.Frame;
            Par->Flags |= parfHasFields;
            Field.DropResult = true;
        }
    } else if (StartsWith(inst, U"MERGEFIELD ")) {
        const AnsiString name = bytes(Argument(inst.substr(11))).substr(0, 255);
        TRtInsertpointList* points = Text->InsertpointList();
        int32_t id = name.empty() ? 0 : points->FindByName(name);
        if (id <= 0 && !name.empty())
            id = points->AddInsertpoint(name, AnsiString(), 0, AnsiString());
        Field.MergeId = id & 0xFFFF;
        Field.MergeFirst = true;
    } else if (StartsWith(inst, U"SYMBOL ")) {
        const int32_t code = StrToIntDef(bytes(Argument(inst.substr(7))), 0);
        const TAttr keep = Attr;
        const size_t f = inst.find(U"\\f ");
        if (f != std::u32string_view::npos) {
            const AnsiString font = bytes(Argument(inst.substr(f + 3)));
            if (!font.empty() && !Header->KeepFontsFixed)
                Attr.Font = uint16_t(Header->GetFontIndexCharset(font, 2));
        }
        const size_t s = inst.find(U"\\s ");
        if (s != std::u32string_view::npos)
            Attr.Size = uint16_t(std::clamp(StrToIntDef(bytes(Argument(inst.substr(s + 3))), 0), 0, 1638));
        if (code > 0 && code < 256) {
            const TRtfDestination d = Dest;
            Dest = rdText;
            AddChar(code);
            Dest = d;
        }
        Attr = keep;
    } else if (!StartsWith(inst, U"INCLUDEPICTURE ") && !StartsWith(inst, U"IMPORT ")) {
        // A field object of the name's class stands for the field; its result is dropped.
        const size_t blank = inst.find(U' ');
        const AnsiString name = bytes(inst.substr(0, blank));
        std::u32string_view parameter = blank == std::u32string_view::npos ? std::u32string_view()
                                                                           : TrimU(inst.substr(blank + 1));
        if (parameter.size() >= 2 && parameter.front() == U'"' && parameter.back() == U'"')
            parameter = parameter.substr(1, parameter.size() - 2);
        if (InsertField(name, bytes(parameter), Field.Attr))
            Field.DropResult = true;
    }
}

bool TRtRtfReader::SetPictureProperty(int32_t Code, int32_t Value)
{
    const int32_t v = std::clamp(Value, -MaxTwips, MaxTwips);
    switch (Code) {
    case rtfpPictureBitmap: Pic.Kind = 3; break;
    case rtfpPictureMetafile: Pic.Kind = 0; break;
    case rtfpPictureBitmapFile: Pic.Kind = 4; break;
    case rtfpPictureBlip: {
        static const uint8_t kinds[4] = {2, 5, 6, 1};
        Pic.Kind = kinds[std::clamp(Value, 0, 3)];
        break;
    }
    case rtfpPictureWidth: Pic.Width = std::max(v, 0); break;
    case rtfpPictureHeight: Pic.Height = std::max(v, 0); break;
    case rtfpPictureGoalWidth: Pic.GoalWidth = std::max(v, 0); break;
    case rtfpPictureGoalHeight: Pic.GoalHeight = std::max(v, 0); break;
    case rtfpPictureScaleX: Pic.ScaleX = std::clamp(Value, 1, 10000); break;
    case rtfpPictureScaleY: Pic.ScaleY = std::clamp(Value, 1, 10000); break;
    case rtfpPicturePlacement: Pic.Placement = uint8_t(std::clamp(Value, 0, 2)); break;
    case rtfpPictureX: Pic.X = v; break;
    case rtfpPictureY: Pic.Y = v; break;
    case rtfpPictureWrap: Pic.Wrap = uint8_t(std::clamp(Value, 0, 3)); break;
    default: return false;
    }
    return true;
}

namespace {

uint32_t U16At(const QByteArray& B, qsizetype At) { return uint8_t(B[At]) | uint32_t(uint8_t(B[At + 1])) << 8; }
uint32_t U32At(const QByteArray& B, qsizetype At) { return U16At(B, At) | U16At(B, At + 2) << 16; }

void PutU32(QByteArray& B, uint32_t V)
{
    for (int shift = 0; shift < 32; shift += 8)
        B.append(char(V >> shift & 0xFF));
}

// A device-independent bitmap as RTF holds it (no file header) as a BMP file:
// the header's offset of the bits follows from the bitmap's header and colour
// table; empty when these do not fit in the bytes.
QByteArray BitmapFileOfDib(const QByteArray& Dib)
{
    const qsizetype n = Dib.size();
    if (n < 12)
        return {};
    const uint32_t headerSize = U32At(Dib, 0);
    uint64_t colours = 0, entrySize = 4;
    if (headerSize == 12) {
        const uint32_t bits = U16At(Dib, 10);
        colours = bits >= 1 && bits <= 8 ? 1u << bits : 0;
        entrySize = 3;
    } else if (headerSize >= 40 && headerSize <= uint64_t(n)) {
        const uint32_t bits = U16At(Dib, 14), compression = U32At(Dib, 16), used = U32At(Dib, 32);
        colours = used ? used : bits >= 1 && bits <= 8 ? 1u << bits : 0;
        // The colour masks follow a header of 40 bytes.
        if (headerSize == 40 && compression == 3)
            colours += 3;
        else if (headerSize == 40 && compression == 6)
            colours += 4;
    } else
        return {};
    const uint64_t offset = 14 + headerSize + colours * entrySize;
    if (offset > 14 + uint64_t(n))
        return {};
    QByteArray file("BM");
    PutU32(file, uint32_t(14 + n));
    PutU32(file, 0);
    PutU32(file, uint32_t(offset));
    return file + Dib;
}

} // namespace

QByteArray TRtRtfReader::PictureFile() const
{
    const QByteArray bytes(reinterpret_cast<const char*>(Picture->Memory()), qsizetype(Picture->Size()));
    return Pic.Kind == 2 ? BitmapFileOfDib(bytes) : bytes;
}

void TRtRtfReader::ReadPictureData(bool IntoText)
{
    if (!Picture || Picture->Size() == 0)
        return;
    Picture->SetPosition(0);
    if (Pic.Background) {
        Text->Background = std::move(Picture);
        Text->HasBackground = true;
        return;
    }
    std::unique_ptr<TRtObject> obj;
    int32_t width = 0, height = 0;
    if (Pic.Program) {
        AnsiString name;
        int32_t tag = 0;
        obj = ReadRtObjectFromStream(Text, Picture.get(), height, width, name, tag);
        if (!obj)
            return;
        AfterObjectRead(obj.get());
        // The standard picture written after it shows the same object.
        SkipNextPicture = true;
        if (Text->NoPictures && dynamic_cast<TRtOImageObject*>(obj.get()))
            return;
        width = obj->GetWidthTW();
        height = obj->GetHeightTW();
    } else {
        if (SkipNextPicture || Text->NoPictures) {
            SkipNextPicture = false;
            return;
        }
        static const char* const types[7] = {"WMF", "EMF", "BMP", "BMP", "BMP", "PNG", "JPG"};
        const AnsiString type = types[Pic.Kind <= 6 ? Pic.Kind : 2];
        obj = CreateRtObjectForExt("." + type);
        if (!obj)
            return;
        if (auto* image = dynamic_cast<TRtOImageObject*>(obj.get())) {
            image->SetPicture(PictureFile(), type);
            if (!image->GetPicture() && image->Metafile().Empty())
                return;  // a picture that cannot be loaded leaves no object
        } else
            obj->ReadData(Picture.get());
        // The size asked for, else the picture's own, each scaled.
        width = Pic.GoalWidth ? Pic.GoalWidth : obj->GetNaturalWidth();
        height = Pic.GoalHeight ? Pic.GoalHeight : obj->GetNaturalHeight();
        width = int32_t(std::min<int64_t>(int64_t(width) * Pic.ScaleX / 100, MaxTwips));
        height = int32_t(std::min<int64_t>(int64_t(height) * Pic.ScaleY / 100, MaxTwips));
        obj->SetWidthTW(width);
        obj->SetHeightTW(height);
    }
    if (!IntoText)
        return;
    if (TTextObj* ref = AddObjectChar(std::move(obj), Attr)) {
        ref->Width = width;
        ref->Height = height;
        ref->Kind = Pic.Placement;
        ref->X = Pic.X;
        ref->Y = Pic.Y;
        ref->WrapMode = Pic.Wrap;
    }
}

TTextObj* TRtRtfReader::AddObjectChar(std::unique_ptr<TRtObject> Obj, const TAttr& A)
{
    if (!CurLine->Attrs)
        return nullptr;
    Obj->Owner = Text;
    TRtObject* raw = Obj.release();
    Text->Objects().push_back(raw);
    TTextObj* ref = Text->ObjRefList()->AddObject(raw);
    TAttr a = A;
    a.Style.Include(afsIsObject);
    a.Tag = uint32_t(Text->ObjRefList()->CurrentId);
    PutChar(1, a);
    return ref;
}

bool TRtRtfReader::InsertField(const AnsiString& Name, const AnsiString& Parameter, const TAttr& A)
{
    std::unique_ptr<TRtObjectField> field = CreateRtFieldObject(Name);
    if (!field || !CurLine->Attrs)
        return false;
    field->FieldMask = Parameter;
    AddObjectChar(std::move(field), A);
    return true;
}

// ---- properties ---------------------------------------------------------------------------

void TRtRtfReader::SetStyleBit(TOneWrtStyle Bit, bool On)
{
    Attr.Style.Set(Bit, On);
    if (Dest == rdStylesheet)
        NewStyle.StyleBits.Include(Bit);
    else if (AtParStart())
        Par->ParAttr.Style.Set(Bit, On);
}

bool TRtRtfReader::AtParStart() const
{
    return Dest != rdStylesheet && CurLine && CurLine->Length == 0 && CharsAdded == 0;
}

uint8_t TRtRtfReader::MapColor(int32_t Value) const
{
    return Value >= 0 && Value < 255 ? ColorMap[size_t(Value)] : 0;
}

uint8_t TRtRtfReader::FontCharset(int32_t FontIndex) const
{
    if (FontIndex < 0 || FontIndex > 255)
        return 0;
    const int32_t cs = Header->Fonts[size_t(FontIndex)].Charset;
    return cs < 0 ? 0 : uint8_t(cs);
}

namespace {

// Words of a numbering or list definition, read as such in any destination.
bool IsNumberingWord(int32_t Code)
{
    switch (Code) {
    case rtfpNumberLevel:
    case rtfpNumberFormat:
    case rtfpNumberIndent:
    case rtfpNumberFont:
    case rtfpNumberFontSize:
    case rtfpNumberUsePrev:
    case rtfpNumberStart:
    case rtfpLevelFormat:
    case rtfpLevelAlign:
    case rtfpListId:
    case rtfpLevelIndent:
    case rtfpListOverride:
    case rtfpListLevel:
        return true;
    default:
        return false;
    }
}

} // namespace

void TRtRtfReader::HandleProperty(std::string_view Name, int32_t Code, int32_t Value)
{
    if (Dest == rdSkip || Code == 0)
        return;
    if (Dest == rdFontTable) {
        if (Code == rtfpFont) {
            FontNr = Value;
            FontCharsetValue = -1;
            FontCodePageValue = 0;
            FontName.clear();
        } else if (Code == rtfpFontCharset)
            FontCharsetValue = Value;
        else if (Code == rtfpFontCodePage)
            FontCodePageValue = Value;
        return;
    }
    if (Dest == rdColorTable) {
        const int32_t v = std::clamp(Value, 0, 255);
        if (Code == rtfpRed)
            Red = v;
        else if (Code == rtfpGreen)
            Green = v;
        else if (Code == rtfpBlue)
            Blue = v;
        ColorSet = true;
        return;
    }
    if (Dest == rdFootnote || Dest == rdInfo || Dest == rdUserProps || Dest == rdInfoItem || Dest == rdPropName) {
        if (Code == rtfpPropType)
            PropType = Value;
        else if (Code == rtfpFootnoteNr && Dest == rdFootnote)
            FootnoteNr = Value;
        else if (Code == rtfpUnicode || Code == rtfpUnicodeSkip)
            SetCharProperty(Code, Value);
        else if (Code == rtfpTypographicChar)
            AddTextWord(Code, Value);
        return;
    }
    if (Code == rtfpFootnoteNumber) {
        if (Dest == rdText || Dest == rdShapeResult)
            AddFootnoteNumber();
        return;
    }
    if (SetPictureProperty(Code, Value))
        return;
    if (Dest == rdTableDef) {
        if (Code == rtfpTableLeft)
            TableDefLeft = std::clamp(Value, -MaxTwips, MaxTwips);
        else if (Code == rtfpTableRight)
            TableDefRight = std::clamp(Value, -MaxTwips, MaxTwips);
        return;
    }
    if (Dest == rdListLevel || Dest == rdList || Dest == rdListOverrideTable || IsNumberingWord(Code)) {
        SetListProperty(Code, Value);
        return;
    }
    if (Code == rtfpCodePage) {
        CodePage = Value;
        return;
    }
    if (SetCharProperty(Code, Value))
        return;
    // Any other word ends the wait of an empty paragraph for its own format.
    EmptyFormatFor = nullptr;
    if (!SetParProperty(Code, Value) && !SetTableProperty(Code, Value))
        SetPageProperty(Code, Value);
}

bool TRtRtfReader::SetCharProperty(int32_t Code, int32_t Value)
{
    if (SetCharStyleProperty(Code, Value) || SetTextKindProperty(Code, Value) || SetFontProperty(Code, Value))
        return true;
    switch (Code) {
    case rtfpOptionalHyphen:
        Hyphen = true;
        break;
    case rtfpUnicode:
        AddUnicode(Value);
        break;
    case rtfpUnicodeSkip:
        UnicodeSkip = uint8_t(std::clamp(Value, 0, 10));
        break;
    default:
        return false;
    }
    return true;
}

bool TRtRtfReader::SetCharStyleProperty(int32_t Code, int32_t Value)
{
    const bool on = Value != 0;
    switch (Code) {
    case rtfpBold: SetStyleBit(afsBold, on); break;
    case rtfpItalic: SetStyleBit(afsItalic, on); break;
    case rtfpUnderline: SetStyleBit(afsUnderline, on); break;
    case rtfpHyperLink: SetStyleBit(afsHyperLink, on); break;
    case rtfpProtected: SetStyleBit(afsProtected, on); break;
    case rtfpStrikeOut: SetStyleBit(afsStrikeOut, on); break;
    case rtfpHidden: SetStyleBit(afsHidden, on); break;
    case rtfpNoSuperSub:
        SetStyleBit(afsSuper, false);
        SetStyleBit(afsSub, false);
        break;
    case rtfpSuper: SetStyleBit(afsSuper, on); if (on) SetStyleBit(afsSub, false); break;
    case rtfpSub: SetStyleBit(afsSub, on); if (on) SetStyleBit(afsSuper, false); break;
    case rtfpRaise:
    case rtfpLower:
        SetStyleBit(Code == rtfpRaise ? afsSuper : afsSub, on);
        if (on && CurLine && CurLine->Length > 0 && CurLine->Attrs)
            Attr.Size = CurLine->Attrs[CurLine->Length - 1].Size;
        break;
    default:
        return false;
    }
    return true;
}

bool TRtRtfReader::SetTextKindProperty(int32_t Code, int32_t Value)
{
    const bool on = Value != 0;
    switch (Code) {
    case rtfpRawCode: // raw RTF code follows, up to "\\rtrtf0"
        if (on) {
            Attr.Style.Include(afsIsRTFCode);
            RawCode = Dest == rdText || Dest == rdHeader || Dest == rdFooter;
        } else
            Attr.Style.Exclude(afsIsRTFCode);
        break;
    case rtfpInsertPoint: // the text that follows is the insert point of that number
        if (on) {
            TRtInsertpointList* points = Text->InsertpointList();
            int32_t id = Value;
            if (Value < 0 || Value > 0xFFFF || !points->FindItem(Value))
                id = points->AddInsertpoint(AnsiString(), AnsiString(), 0, AnsiString());
            Attr.Style.Include(afsIsInsertpoint);
            Attr.Style.Exclude(afsAutomatic);
            Attr.Tag = uint32_t(id & 0xFFFF);
            LastInsertPoint = Attr.Tag;
        } else {
            Attr.Style.Exclude(afsIsInsertpoint);
            Attr.Tag = 0;
            LastInsertPoint = 0;
        }
        break;
    case rtfpNumber: // the paragraph's number as text, which the numbering shows itself
        NumberText = on;
        break;
    case rtfpInsertPointAuto: // automatic text of the insert point before it
        Attr.Style.Set(afsAutomatic, on);
        if (on) {
            Attr.Style.Exclude(afsIsInsertpoint);
            if (Attr.Tag == 0)
                Attr.Tag = LastInsertPoint;
        } else if (!Attr.Style.Has(afsIsInsertpoint)) {
            Attr.Tag = 0;
            LastInsertPoint = 0;
        }
        break;
    default:
        return false;
    }
    return true;
}

bool TRtRtfReader::SetFontProperty(int32_t Code, int32_t Value)
{
    switch (Code) {
    case rtfpPlain: {
        const bool bookmark = Attr.Style.Has(afsBookmark);
        const uint32_t tag = Attr.Tag;
        Attr.Style = ClearedByPlain;
        Attr.Size = 0;
        Attr.TextColor = Attr.BGColor = 0;
        Attr.Tag = 0;
        if (bookmark) {
            Attr.Style.Include(afsBookmark);
            Attr.Tag = tag;
        }
        if (MapFont(0) >= 0) {
            Attr.Font = uint16_t(MapFont(0));
            Attr.Charset = FontCharset(Attr.Font);
            FontPage = FontPageOf(0);
        }
        break;
    }
    case rtfpFont:
        if (MapFont(Value) >= 0) {
            Attr.Font = uint16_t(MapFont(Value));
            Attr.Charset = FontCharset(Attr.Font);
            FontPage = FontPageOf(Value);
            NewStyle.CharMask |= Dest == rdStylesheet ? scFont : 0;
            if (AtParStart()) {
                Par->ParAttr.Font = Attr.Font;
                Par->ParAttr.Charset = Attr.Charset;
            }
        }
        break;
    case rtfpFontSize:
        if (!Header->KeepSizesFixed) {
            Attr.Size = uint16_t(std::clamp(Value / 2, 0, 1638));
            NewStyle.CharMask |= Dest == rdStylesheet ? scSize : 0;
            if (AtParStart())
                Par->ParAttr.Size = Attr.Size;
        }
        break;
    case rtfpTextColor:
        NewStyle.CharMask |= Dest == rdStylesheet ? scColor : 0;
        if (Text->Use256Colors)
            Attr.TextColor = MapColor(Value);
        else
            Attr.TextColor = uint8_t((Attr.TextColor & 0xF0) | (MapColor(Value) & 0x0F));
        break;
    case rtfpBackColor:
        NewStyle.CharMask |= Dest == rdStylesheet ? scBGColor : 0;
        if (Text->Use256Colors)
            Attr.BGColor = MapColor(Value);
        else
            Attr.TextColor = uint8_t((Attr.TextColor & 0x0F) | ((MapColor(Value) & 0x0F) << 4));
        break;
    default:
        return false;
    }
    if (AtParStart()) {
        Par->ParAttr.TextColor = Attr.TextColor;
        Par->ParAttr.BGColor = Attr.BGColor;
    }
    return true;
}

// One UTF-16 unit of "\u": the character in the current font, or in the
// font's entry of a charset that holds it; its fallback characters are then
// dropped. A character no charset holds keeps its fallback characters.
void TRtRtfReader::AddUnicode(int32_t Value)
{
    const char16_t unit = char16_t(Value < 0 ? Value + 65536 : Value);
    const char16_t high = HighSurrogate;
    HighSurrogate = 0;
    if (unit >= 0xD800 && unit < 0xDC00) {
        // The pair's character comes with its second half.
        HighSurrogate = unit;
        SkipChars = UnicodeSkip;
        return;
    }
    char32_t ch = unit;
    if (unit >= 0xDC00 && unit < 0xE000) {
        if (!high)
            return;
        ch = QChar::surrogateToUcs4(high, unit);
    }
    if (AddUnicodeChar(ch))
        SkipChars = UnicodeSkip;
}

bool TRtRtfReader::AddUnicodeChar(char32_t Ch)
{
    switch (Dest) {
    case rdFieldInst:
        AddInstructionChar(Ch);
        return true;
    case rdInfoItem:
        AddInfoChar(Ch);
        return true;
    case rdPropName:
        // Names of user properties are Windows-1252.
        for (const char c : ToCharset(std::u32string_view(&Ch, 1), ANSI_CHARSET))
            AppendTo(PropName, uint8_t(c), 255, true);
        return true;
    case rdFootnote:
        AddFootnoteUnicode(Ch);
        return true;
    default:
        return AddInFont(Ch, false);
    }
}

bool TRtRtfReader::AddInFont(char32_t Ch, bool ToText)
{
    std::string bytes;
    uint16_t font = Attr.Font;
    const char32_t text[1] = {Ch};
    if (!Header->UnicodeToFontChars(std::u32string_view(text, 1), font, bytes, true, UnicodeCharset))
        return false;
    const TAttr keep = Attr;
    if (font != Attr.Font) {
        UnicodeCharset = Header->FontCharset(font);
        Attr.Font = font;
        Attr.Charset = uint8_t(UnicodeCharset);
    }
    for (const char b : bytes) {
        if (ToText)
            AddChar(uint8_t(b));
        else
            HandleCharacter(uint8_t(b));
    }
    Attr.Font = keep.Font;
    Attr.Charset = keep.Charset;
    return true;
}

bool TRtRtfReader::SetParProperty(int32_t Code, int32_t Value)
{
    return SetParFormatProperty(Code, Value) || SetBorderOrShading(Code, Value) || SetStyleProperty(Code, Value)
        || SetStoredLayoutProperty(Code, Value) || AddTextWord(Code, Value);
}

bool TRtRtfReader::SetParFormatProperty(int32_t Code, int32_t Value)
{
    TParagraph& t = ParTemplate;
    switch (Code) {
    case rtfpIndentLeft: t.IndentLeft = Clamp16(std::max(0, Value)); break;
    case rtfpIndentRight: t.IndentRight = Clamp16(Value); break;
    case rtfpIndentFirst: t.IndentFirst = Clamp16(Value); break;
    case rtfpSpaceBefore: t.SpaceBefore = Clamp16(Value); break;
    case rtfpSpaceAfter: t.SpaceAfter = Clamp16(Value); break;
    case rtfpSpaceBetween:
        t.SpaceBetween = Value == 1000 ? 0 : Clamp16(Value);
        t.Flags &= ~parfMultSpaceBetween;
        break;
    case rtfpMultSpaceBetween:
        if (Value)
            t.Flags |= parfMultSpaceBetween;
        else
            t.Flags &= ~parfMultSpaceBetween;
        break;
    case rtfpAlignment: {
        static const uint8_t map[4] = {paralLeft, paralRight, paralCenter, paralBlock};
        t.Align = map[std::clamp(Value, 0, 3)];
        break;
    }
    case rtfpParagraphDefaults: {
        const TParagraph fresh;
        AssignParFormat(t, fresh);
        InRow = false;
        ParOverride = 0;
        ParListLevel = 1;
        break;
    }
    case rtfpKeepTogether:
        if (!RowDefined)
            t.Flags |= parfKeepTogether;
        break;
    case rtfpKeepWithNext: // the paragraph's, or the style's being defined
        t.Flags |= parfKeepWithNext;
        break;
    case rtfpTabKind:
        PendingTabKind = (Value >= 1 && Value <= 3) ? Value : 0;
        break;
    case rtfpTabStop: {
        // A right tab at the right edge of the text area marks the header. The
        // page size is held turned already in landscape.
        if (PendingTabKind == 1 && std::abs(TextWidth() - Twips(Value)) <= 58)
            Header->RightTabAtEdge = true;
        const int32_t idx = Header->AddTab(Twips(Value), PendingTabKind);
        if (idx >= 0 && idx < 64)
            t.Tabs |= uint64_t(1) << idx;
        PendingTabKind = 0;
        break;
    }
    case rtfpNumberingStyle: // a numbering style of the text, by number
        if (!Header->LoadOptions.Has(loIgnoreOutlineStyles) && Value > 0 && Value <= 32767
            && Text->NumberingStyles()->FindStyle(Value, -1))
            t.Number = int16_t(Value);
        break;
    case rtfpParagraphId: t.ParId = uint32_t(Value); break;
    case rtfpOutlineLevel: t.OutlineLevel = uint8_t(std::clamp(Value, 0, 255)); break;
    case rtfpParagraphFlag: {
        static const uint32_t flags[5] = {0, parfNoLines, parfProtected, parfObjectPar, parfObjectPar2};
        t.Flags |= flags[std::clamp(Value, 0, 4)];
        break;
    }
    case rtfpParagraphHidden: t.Flags |= parfSkip1; break;
    case rtfpParagraphNoWrap: t.Flags |= parfNoWrap; break;
    case rtfpTableOfContents: t.ExtFlags |= parxTableOfContents; break;
    default:
        return false;
    }
    return true;
}

bool TRtRtfReader::SetBorderOrShading(int32_t Code, int32_t Value)
{
    switch (Code) {
    case rtfpBorder: case rtfpBorderWidth: case rtfpBorderSpace: case rtfpBorderColor:
        SetBorder(Code, Value);
        break;
    case rtfpBordersBetween: BordersBetween = true; break;
    case rtfpShading:
        (RowDefining ? PendingCell.Shading : ParTemplate.Shading) = uint8_t(std::clamp(100 - Value / 100, 0, 100));
        break;
    case rtfpShadingColor:
    case rtfpShadingForeColor: {
        uint8_t& shading = RowDefining ? PendingCell.Shading : ParTemplate.Shading;
        if (Code == rtfpShadingColor)
            (RowDefining ? PendingCell.BGColor : ParTemplate.Color) = MapColor(Value);
        else
            (RowDefining ? PendingCell.PatColor : ParTemplate.PatColor) = MapColor(Value);
        if (shading == 0)
            shading = 100;
        break;
    }
    default:
        return false;
    }
    return true;
}

bool TRtRtfReader::SetStyleProperty(int32_t Code, int32_t Value)
{
    switch (Code) {
    case rtfpStyle:
        if (Dest == rdStylesheet)
            NewStyle.Number = Value;
        else
            ApplyStyle(Value);
        break;
    case rtfpCharStyle:
        if (Dest == rdStylesheet) {
            NewStyle.Number = Value;
            NewStyle.CharStyle = true;
        }
        break;
    case rtfpStyleBasedOn:
        if (Dest == rdStylesheet)
            NewStyle.BasedOn = Value;
        break;
    case rtfpStyleNext:
        if (Dest == rdStylesheet)
            NewStyle.Next = Value;
        break;
    default:
        return false;
    }
    return true;
}

bool TRtRtfReader::SetStoredLayoutProperty(int32_t Code, int32_t Value)
{
    switch (Code) {
    case rtfpFormatted:
        if (Value != 0 && Header->PreformattedTextAllowed
            && !Header->LoadOptions.Has(soIgnoreWordwrapInformation)) {
            Preformatted = true;
            Text->TextFormatted1 = true;
            LineCapacity = 400;
        }
        break;
    case rtfpLineWidth: // the width of the line just ended, negative on a paragraph's last line
        if (Preformatted && CurLine) {
            const int32_t w = std::clamp(Value, -MaxTwips, MaxTwips);
            CurLine->Width = MulDiv(std::abs(w), std::max(Header->XRes, 1), 1440);
            CurLine->Flags |= linfStoredLayout;
            LineBreakPending = w > 0;
        }
        break;
    case rtfpNewPage:
        if (Preformatted && CurLine)
            CurLine->Flags |= linfPageBreakAfter;
        break;
    default:
        return false;
    }
    return true;
}

bool TRtRtfReader::AddTextWord(int32_t Code, int32_t Value)
{
    switch (Code) {
    case rtfpParagraphEnd:
    case rtfpPageBreak:
    case rtfpCellEnd:
        EndParagraph(Code);
        break;
    case rtfpFieldChar:
        if (Dest == rdText || Dest == rdHeader || Dest == rdFooter)
            InsertField(Value == 5 ? "PAGE" : Value == 4 ? "TIME" : "DATE", AnsiString(), Attr);
        break;
    case rtfpTypographicChar: {
        // lquote, rquote, endash, enspace and emspace, emdash
        static const int32_t chars[8] = {0, 0, 0, 0x91, 0x92, 0x96, 0xA0, 0x97};
        const int32_t ch = chars[std::clamp(Value, 0, 7)];
        if (ch)
            AddWindowsChar(uint8_t(ch));
        break;
    }
    default:
        return false;
    }
    return true;
}

bool TRtRtfReader::SetTableProperty(int32_t Code, int32_t Value)
{
    switch (Code) {
    case rtfpRowDefaults: BeginRowDef(); break;
    case rtfpCellRight: // the properties read since the last boundary belong to this cell
        if (PendingCell.Merged && !Cells.empty()) {
            Cells.back().Right = std::max(Cells.back().Right, Twips(Value));
            ++Cells.back().Skip;
        } else if (Cells.size() < 255) {
            PendingCell.Right = Twips(Value);
            Cells.push_back(PendingCell);
        }
        PendingCell = TCellDef();
        break;
    case rtfpRowEnd: FinishRow(); break;
    case rtfpInTable: InRow = true; RowDefining = false; break;
    case rtfpRowGap: RowGap = Twips(Value); break;
    case rtfpRowLeft: RowLeft = std::clamp(Value, -MaxTwips, MaxTwips); break;
    case rtfpRowAlign: RowAlign = Value; break;
    case rtfpCellVertAlign: PendingCell.VertAlign = uint8_t(std::clamp(Value, 0, 2)); break;
    case rtfpCellMerged: PendingCell.Merged = true; break;
    case rtfpCellFrame: CellOf(Par)->FrameValue = Value; break;
    default:
        return false;
    }
    return true;
}

void TRtRtfReader::SetPageProperty(int32_t Code, int32_t Value)
{
    switch (Code) {
    case rtfpPaperWidth:
    case rtfpPaperHeight:
        if (Value > 0) {
            const bool width = (Code == rtfpPaperWidth) != bool(RtReaderOptions & rroExchangePaperSize);
            if (width)
                Header->SetPageWidth(Twips(Value));
            else
                Header->SetPageHeight(Twips(Value));
        }
        break;
    case rtfpMarginLeft: Header->SetLeftMargin(Twips(Value)); break;
    case rtfpMarginRight: Header->SetRightMargin(Twips(Value)); break;
    case rtfpMarginTop: Header->SetTopMargin(Twips(Value)); break;
    case rtfpMarginBottom: Header->SetBottomMargin(Twips(Value)); break;
    case rtfpMarginHeader: Header->SetMarginHeader(Twips(Value)); break;
    case rtfpMarginFooter: Header->SetMarginFooter(Twips(Value)); break;
    case rtfpMarginMirror: Header->SetMarginMirror(true); break;
    case rtfpLandscape: Header->SetLandscape(true); break;
    case rtfpPrintHeaderFooter:
        if (Header->HeaderFooterPrinting || Header->LoadOptions.Has(loPrintHeaderFooterParameter))
            Text->PrintHeaderFooter = TRtPrintHeaderFooter(std::clamp(Value, 0, 3));
        break;
    case rtfpDefaultTab:
        if (Value > 0 && !Header->LoadOptions.Has(loIgnoreDefaultTabstop))
            Header->SetDefaultTabstop(Twips(Value));
        break;
    case rtfpFacingPages: FacingPages = Value != 0; break;
    case rtfpTitlePage: TitlePage = Value != 0; break;
    case rtfpSpecialHeaderFooter: SpecialHF = true; break;
    default:
        break;
    }
}

// ---- paragraphs and tables ------------------------------------------------------------------

int64_t TRtRtfReader::TextWidth() const
{
    return int64_t(Header->PageWidth()) - Header->LeftMargin() - Header->RightMargin();
}

TRtCell* TRtRtfReader::CellOf(TParagraph* P)
{
    if (!P->Cell)
        P->Cell = new TRtCell;
    return P->Cell;
}

void TRtRtfReader::BeginRowDef()
{
    if (CellIndex > 0)
        FinishRow();
    Cells.clear();
    PendingCell = TCellDef();
    RowDefined = true;
    RowLeft = RowGap = RowAlign = 0;
    CellIndex = 0;
    SharesUsed = 0;
    RowDefining = true;
    // Rows that follow each other form one table; a program table definition
    // names the table of the row that follows it.
    if (TableFromDef)
        TableFromDef = false;
    else if (!(LastCellPar && LastCellPar->Next == Par && CurLine->Length == 0))
        TableId = 0;
}

// The row's edges: its left position and the space beside it on the right,
// split for centred rows, on the left for right-aligned rows. It joins the
// table of the rows before it when it lies within that table's edges, else it
// is a table of its own. Its shares are of its table's width, counted from the
// table's left edge; a row wider than the text is scaled to fit.
void TRtRtfReader::PlaceRow()
{
    int64_t maxRight = 0;
    for (const TCellDef& c : Cells)
        maxRight = std::max<int64_t>(maxRight, c.Right);
    const int64_t text = TextWidth();
    // A row without boundaries spans the text (its cells get shares of their own below).
    const int64_t remainder = maxRight > 0 ? std::max(text - maxRight, -int64_t(Header->RightMargin())) : 0;
    int64_t left = RowLeft, right = remainder;
    if (RowAlign == 1)
        left = right = (remainder - RowLeft) / 2;
    else if (RowAlign == 2) {
        left = remainder - RowLeft;
        right = 0;
    }
    const int64_t most = std::numeric_limits<int32_t>::max();
    left = std::clamp<int64_t>(left, 0, most);
    right = std::clamp<int64_t>(right, 0, most);
    // The boundary at the row's left edge.
    const int64_t start = RowAlign == 0 ? left : 0;
    int32_t tableLeft = 0, tableRight = 0;
    if (TableId != 0 && Text->TableList()->GetTableLeftRight(TableId, tableLeft, tableRight) && left >= tableLeft
        && right >= tableRight) {
        RowZero = start - (left - tableLeft);
        RowScale = std::max(text - tableLeft - tableRight, maxRight - RowZero);
    } else {
        TableId = Text->TableList()->AddTable(AnsiString(), AnsiString(), 0, int32_t(right), int32_t(left));
        RowZero = start;
        RowScale = maxRight - start;
    }
    SharesUsed = std::min(RowShare(start), 254);
}

// The share of the row's table from its left edge to Boundary, to the nearest whole share.
int32_t TRtRtfReader::RowShare(int64_t Boundary) const
{
    if (RowScale <= 0)
        return 0;
    return int32_t(std::clamp(((Boundary - RowZero) * 255 + RowScale / 2) / RowScale, int64_t(0), int64_t(255)));
}

void TRtRtfReader::FinishCell()
{
    TParagraph* par = Par;
    TakeParFormat(ParTemplate);
    if (CellIndex == 0)
        PlaceRow();
    int32_t width = 10;
    if (CellIndex < int32_t(Cells.size()) && RowScale > 0)
        width = std::max(1, RowShare(Cells[size_t(CellIndex)].Right) - SharesUsed);
    TRtCell* cell = CellOf(par);
    cell->Left = uint8_t(std::min(255, SharesUsed));
    cell->Width = uint8_t(std::min(255, width));
    cell->TableId = TableId;
    cell->Gap = RowGap;
    SharesUsed = std::min(255, SharesUsed + width);
    par->Flags |= parfTableCell | parfNotLastCell;
    if (CellIndex > 0)
        par->Flags |= parfNotFirstCell;
    par->TableLevel = 1;
    if (CellIndex < int32_t(Cells.size())) {
        const TCellDef& def = Cells[size_t(CellIndex)];
        if (def.BrdLines) {
            par->BrdLines = def.BrdLines;
            par->BrdColor = def.BrdColor;
            par->BrdWidth = def.BorderWidth;
            par->BrdSpace = def.BrdSpace;
            cell->BrdFlags = uint8_t(def.BrdLines);
            cell->BrdColor = def.BrdColor;
            cell->BrdWidth = def.BorderWidth;
            cell->BrdSpace = def.BrdSpace;
        }
        if (def.Shading || def.BGColor || def.PatColor) {
            par->Shading = def.Shading ? def.Shading : 100;
            par->Color = def.BGColor;
            par->PatColor = def.PatColor;
        }
        const uint8_t va = def.VertAlign;
        if (va == 1)
            par->Flags |= parfCellVCenter;
        else if (va == 2)
            par->Flags |= parfCellVBottom;
    }
    ++CellIndex;
    LastCellPar = par;
}

void TRtRtfReader::FinishRow()
{
    if (LastCellPar && CellIndex > 0)
        LastCellPar->Flags &= ~parfNotLastCell;
    CellIndex = 0;
    SharesUsed = 0;
    RowDefined = false;
}

void TRtRtfReader::EndParagraph(int32_t Code)
{
    LineBreakPending = false;
    NumberLine = nullptr;
    NumberText = false;
    const bool empty = CurLine->Length == 0 && CurLine == Par->Lines && CharsAdded == 0;
    // A break before any text of the body starts the text with an empty page:
    // it ends the empty first paragraph.
    const bool textStart = Dest == rdText && Par == Text->FirstPar && !InRow;
    if (Code == rtfpPageBreak && empty && !textStart) {
        ParTemplate.Flags |= parfNewPage;
        Par->Flags |= parfNewPage;
        return;
    }
    if (Code == rtfpCellEnd && CellIndex > 0 && CellIndex <= int32_t(Cells.size()) && Cells[size_t(CellIndex - 1)].Skip > 0) {
        --Cells[size_t(CellIndex - 1)].Skip; // a merged cell: its text joins the cell before
        return;
    }
    if ((Code == rtfpParagraphEnd || Code == rtfpPageBreak) && InRow) {
        AddChar(rtfcLineBreak); // a paragraph or page inside a cell is a line break
        return;
    }
    if (Code == rtfpCellEnd)
        FinishCell();
    else
        TakeParFormat(ParTemplate);
    Par->ParAttr = Attr;
    Par->Flags |= parfReformat;
    const uint32_t newPage = ParTemplate.Flags & parfNewPage;
    ParTemplate.Flags &= ~parfNewPage;
    if (Code != 48)
        Par->Flags |= newPage;
    TrimLines();
    if (!InRow)
        CountParagraph();
    TParagraph* par = Par;
    Text->InsertPar(par, LineCapacity);
    AssignParFormat(*par, ParTemplate);
    par->Flags &= ~(parfTableCell | parfNotLastCell | parfNotFirstCell | parfNewPage);
    par->ParAttr = Attr;
    par->RunNumber = uint16_t(++ParNumber);
    par->Flags |= parfReformat;
    BeginParagraph(par);
    if (Code == rtfpPageBreak) {
        // A page break before the paragraph that follows.
        par->Flags |= parfNewPage;
    }
}

void TRtRtfReader::FinishLastParagraph()
{
    if (LastParDone)
        return;
    LastParDone = true;
    if (FormatTakenBy != Par)
        TakeParFormat(EmptyFormatFor == Par && ParEmpty() ? EmptyFormat : ParTemplate);
    if (CharsAdded > 0 || CurLine->Length > 0)
        Par->ParAttr = Attr;
}

void TRtRtfReader::TakeParFormat(const TParagraph& Source)
{
    // A page break read before the paragraph's text is no format of its own:
    // it stays whatever format the paragraph takes; nor is the end mark's
    // character format, read into the paragraph itself.
    const uint32_t brokenBefore = Par->Flags & parfNewPage;
    const TAttr endMark = Par->ParAttr;
    AssignParFormat(*Par, Source);
    Par->ParAttr = endMark;
    Par->Flags |= brokenBefore;
}

bool TRtRtfReader::ParEmpty() const
{
    return CharsAdded == 0 && CurLine->Length == 0 && CurLine == Par->Lines;
}

void TRtRtfReader::FinishRead()
{
    if (HFChain)
        EndHeaderFooter();
    DropHeaderFooterCopies();
    if (FootnoteId)
        EndFootnote();
    if (CellIndex > 0)
        FinishRow();
    FinishLastParagraph();
    TRtCustomStyleCollection* styles = StyleCollection();
    if (styles && (Header->RegisterReadStyles || Header->LoadOptions.Has(loAddReadParagraphStyles)))
        for (const TRtReadStyleDef& d : Styles)
            if (!d.CharStyle)
                AddToCollection(*styles, d);
    for (TParagraph* p = Par; p; p = p->Prior) {
        MapParStyle(*p);
        if (p->IndentRight < 0)
            p->IndentRight = 0;
        KeepStoredBreaks(*p);
        p->Flags |= parfReformat;
    }
}

void TRtRtfReader::KeepStoredBreaks(TParagraph& P) const
{
    if (!Preformatted)
        return;
    for (const TLine* l = P.Lines; l; l = l->Next)
        if (l->Flags & linfStoredLayout) {
            P.ExtFlags |= parxKeepLineBreaks;
            return;
        }
}

// ---- font and colour tables -----------------------------------------------------------------

void TRtRtfReader::EndFontEntry()
{
    AnsiString name = Trim(FontName);
    FontName.clear();
    if (Header->KeepFontsFixed || FontNr < 0 || name.empty()) {
        FontNr = -1;
        return;
    }
    // Fonts named as symbol fonts are symbol fonts whatever their character set;
    // fonts without a charset of their own (or the default one) take the document's code page.
    // A font's code page ("\\cpg") is the charset it belongs to, or the code page
    // of its bytes where no charset has it (UTF-8 among them).
    const bool symbol = IsSymbolFontName(name);
    const int32_t pageCharset = FontCodePageValue > 0 ? CodePageCharset(FontCodePageValue) : -1;
    const bool ownCharset = FontCharsetValue >= 0 && FontCharsetValue != 1;
    const int32_t charset = symbol              ? SYMBOL_CHARSET
                            : pageCharset >= 0  ? pageCharset
                            : ownCharset        ? std::clamp(FontCharsetValue, 0, 255)
                                                : std::max(0, CodePageCharset(CodePage));
    int32_t bytePage = 0;
    if (!symbol && FontCodePageValue > 0 && pageCharset < 0)
        bytePage = FontCodePageValue;
    else if (!symbol && !ownCharset && pageCharset < 0 && CodePageCharset(CodePage) < 0)
        bytePage = CodePage;
    const int32_t idx = Header->GetFontIndexCharset(name, charset);
    if (idx >= 0 && idx < 256) {
        FontMap[FontNr] = int16_t(idx);
        if (Header->Fonts[size_t(idx)].Charset < 0)
            Header->Fonts[size_t(idx)].Charset = charset;
        if (bytePage)
            FontPages[FontNr] = bytePage;
        else
            FontPages.erase(FontNr);
        if (FontNr == 0) {
            Attr.Font = uint16_t(idx);
            Attr.Charset = uint8_t(charset);
            FontPage = bytePage;
        }
    }
    FontNr = -1;
}

int32_t TRtRtfReader::MapFont(int32_t Value) const
{
    const auto it = FontMap.find(Value);
    return it == FontMap.end() ? -1 : it->second;
}

int32_t TRtRtfReader::FontPageOf(int32_t Number) const
{
    const auto it = FontPages.find(Number);
    return it == FontPages.end() ? 0 : it->second;
}

void TRtRtfReader::EndColorEntry()
{
    if (ColorCount < 255) {
        int32_t idx = 0;
        if (ColorSet && ColorCount > 0) {
            const TColor c = TColor(Red | (Green << 8) | (Blue << 16));
            if (!Header->GetColorIndex(c, Text->Use256Colors, idx))
                idx = 0;
        }
        ColorMap[size_t(ColorCount)] = uint8_t(std::clamp(idx, 0, 254));
        if (idx > 0)
            Header->Colors[size_t(idx)].Used = 1;
    }
    ++ColorCount;
    Red = Green = Blue = 0;
    ColorSet = false;
}

// ---- stylesheet ---------------------------------------------------------------------------------

void TRtRtfReader::BeginStyle()
{
    NewStyle = TRtReadStyleDef();
    Attr = TAttr();
    if (MapFont(0) >= 0)
        Attr.Font = uint16_t(MapFont(0));
    FontPage = FontPageOf(0);
    AssignParFormat(ParTemplate, TParagraph());
}

uint32_t TRtRtfReader::ParMaskOf(const TParagraph& P)
{
    const TParagraph d;
    uint32_t m = 0;
    m |= P.IndentLeft != d.IndentLeft ? spIndentLeft : 0;
    m |= P.IndentRight != d.IndentRight ? spIndentRight : 0;
    m |= P.IndentFirst != d.IndentFirst ? spIndentFirst : 0;
    m |= P.SpaceBefore != d.SpaceBefore ? spSpaceBefore : 0;
    m |= P.SpaceAfter != d.SpaceAfter ? spSpaceAfter : 0;
    m |= (P.SpaceBetween != d.SpaceBetween || (P.Flags & parfMultSpaceBetween)) ? spSpaceBetween : 0;
    m |= P.Align != d.Align ? spAlign : 0;
    m |= (P.Shading != d.Shading || P.Color != d.Color || P.PatColor != d.PatColor) ? spShading : 0;
    m |= P.Tabs != d.Tabs ? spTabs : 0;
    m |= (P.Flags & (parfKeepTogether | parfKeepWithNext)) ? spKeep : 0;
    m |= (P.BrdLines != d.BrdLines) ? spBorders : 0;
    return m;
}

void TRtRtfReader::EndStyle()
{
    NewStyle.Attr = Attr;
    NewStyle.FontPage = FontPage;
    AssignParFormat(NewStyle.Template, ParTemplate);
    NewStyle.ParMask = ParMaskOf(ParTemplate);
    if (!NewStyle.CharStyle)
        StyleByNumber.emplace(NewStyle.Number, Styles.size());
    Styles.push_back(std::move(NewStyle));
    NewStyle = TRtReadStyleDef();
}

namespace {

// Copies the properties that Mask names from Source.
void MergePar(TParagraph& Dest, const TParagraph& Source, uint32_t Mask)
{
    if (Mask & 1) Dest.IndentLeft = Source.IndentLeft;
    if (Mask & 2) Dest.IndentRight = Source.IndentRight;
    if (Mask & 4) Dest.IndentFirst = Source.IndentFirst;
    if (Mask & 8) Dest.SpaceBefore = Source.SpaceBefore;
    if (Mask & 16) Dest.SpaceAfter = Source.SpaceAfter;
    if (Mask & 32) {
        Dest.SpaceBetween = Source.SpaceBetween;
        Dest.Flags = (Dest.Flags & ~parfMultSpaceBetween) | (Source.Flags & parfMultSpaceBetween);
    }
    if (Mask & 64) Dest.Align = Source.Align;
    if (Mask & 128) {
        Dest.Shading = Source.Shading;
        Dest.Color = Source.Color;
        Dest.PatColor = Source.PatColor;
    }
    if (Mask & 256) Dest.Tabs = Source.Tabs;
    if (Mask & 512) {
        const uint32_t keep = parfKeepTogether | parfKeepWithNext;
        Dest.Flags = (Dest.Flags & ~keep) | (Source.Flags & keep);
    }
    if (Mask & 1024) {
        Dest.BrdLines = Source.BrdLines;
        Dest.BrdWidth = Source.BrdWidth;
        Dest.BrdColor = Source.BrdColor;
        Dest.BrdSpace = Source.BrdSpace;
    }
}

void MergeAttr(TAttr& Dest, const TAttr& Source, WrtStyle Bits, uint32_t Mask)
{
    Dest.Style = (Dest.Style - Bits) | (Source.Style & Bits);
    if (Mask & 1) {
        Dest.Font = Source.Font;
        Dest.Charset = Source.Charset;
    }
    if (Mask & 2) Dest.Size = Source.Size;
    if (Mask & 4) Dest.TextColor = Source.TextColor;
    if (Mask & 8) Dest.BGColor = Source.BGColor;
}

} // namespace

void TRtRtfReader::ResolveStyles()
{
    // 0 not visited, 1 being resolved, 2 done: a style based on itself,
    // directly or through others, ends the chain.
    std::vector<uint8_t> state(Styles.size(), 0);
    std::vector<size_t> chain;
    for (size_t i = 0; i < Styles.size(); ++i) {
        chain.clear();
        size_t k = i;
        while (state[k] == 0) {
            state[k] = 1;
            chain.push_back(k);
            const auto base = StyleByNumber.find(Styles[k].BasedOn);
            if (Styles[k].BasedOn < 0 || base == StyleByNumber.end())
                break;
            k = base->second;
        }
        // From the oldest ancestor down: each takes what its base sets and
        // keeps its own settings; where the chain closes a cycle, the base
        // met again gives its own settings only.
        for (size_t j = chain.size(); j-- > 0;) {
            TRtReadStyleDef& d = Styles[chain[j]];
            const auto base = StyleByNumber.find(d.BasedOn);
            if (d.BasedOn >= 0 && base != StyleByNumber.end() && base->second != chain[j]
                && state[base->second] != 0) {
                const TRtReadStyleDef& b = Styles[base->second];
                TParagraph merged;
                MergePar(merged, b.Template, b.ParMask);
                MergePar(merged, d.Template, d.ParMask);
                AssignParFormat(d.Template, merged);
                TAttr attr;
                MergeAttr(attr, b.Attr, b.StyleBits, b.CharMask);
                MergeAttr(attr, d.Attr, d.StyleBits, d.CharMask);
                d.Attr = attr;
                if (!(d.CharMask & scFont) && (b.CharMask & scFont))
                    d.FontPage = b.FontPage;
                d.ParMask |= b.ParMask;
                d.CharMask |= b.CharMask;
                d.StyleBits = d.StyleBits | b.StyleBits;
            }
            state[chain[j]] = 2;
        }
    }
}

void TRtRtfReader::ApplyStyle(int32_t Number)
{
    const auto it = StyleByNumber.find(Number);
    if (it == StyleByNumber.end())
        return;
    const TRtReadStyleDef& d = Styles[it->second];
    // Keeping, keeping with the next paragraph, tab stops and borders come
    // with the paragraph's own words, as word processors write them: they
    // cannot be switched off there, so what the style sets and the paragraph
    // lacks would come back.
    MergePar(ParTemplate, d.Template,
             d.ParMask & ~(TRtParStyle::spTabs | TRtParStyle::spKeep | TRtParStyle::spBorders));
    // Until the end of reading the paragraphs name their definition by a
    // negative index; the collection's index + 1 replaces it (MapParStyle).
    if (it->second < size_t(INT16_MAX))
        ParTemplate.StyleIndex = int16_t(-int32_t(it->second) - 1);
    MergeAttr(Attr, d.Attr, d.StyleBits, d.CharMask);
    if (d.CharMask & scFont)
        FontPage = d.FontPage;
    if (AtParStart())
        MergeAttr(Par->ParAttr, d.Attr, d.StyleBits, d.CharMask);
}

TRtCustomStyleCollection* TRtRtfReader::StyleCollection() const
{
    return Text->OwnerControl ? Text->OwnerControl->RtStyleCollection() : nullptr;
}

int32_t TRtRtfReader::AddToCollection(TRtCustomStyleCollection& Collection, const TRtReadStyleDef& Def) const
{
    const AnsiString name = Trim(Def.Name);
    if (name.empty())
        return -1;
    const int32_t found = Collection.IndexOfStyle(name);
    if (found >= 0 && !Header->LoadOptions.Has(loOverwriteParagraphStyleAttr))
        return found;
    auto nameOf = [this](int32_t Number) {
        const auto it = StyleByNumber.find(Number);
        return Number >= 0 && it != StyleByNumber.end() ? Trim(Styles[it->second].Name) : AnsiString();
    };
    TRtParStyle style;
    style.Name = name;
    style.BasedOn = nameOf(Def.BasedOn);
    style.Next = nameOf(Def.Next);
    AssignParFormat(style.Par, Def.Template);
    style.Par.StyleIndex = 0;
    style.ParMask = Def.ParMask;
    style.Attr = Def.Attr;
    style.StyleBits = Def.StyleBits;
    style.CharMask = Def.CharMask;
    return Collection.AddStyle(style);
}

void TRtRtfReader::MapParStyle(TParagraph& P)
{
    if (P.StyleIndex >= 0)
        return;
    const size_t def = size_t(-int32_t(P.StyleIndex) - 1);
    P.StyleIndex = 0;
    if (def >= Styles.size())
        return;
    const TRtReadStyleDef& d = Styles[def];
    // Characters that differ from what the style sets are overrides.
    uint32_t mask = (d.StyleBits.Has(afsBold) ? 1 : 0) | (d.StyleBits.Has(afsItalic) ? 2 : 0)
                  | (d.StyleBits.Has(afsUnderline) ? 4 : 0) | (d.CharMask & scFont ? 8 : 0)
                  | (d.CharMask & scSize ? 16 : 0) | (d.CharMask & scColor ? 32 : 0)
                  | (d.CharMask & scBGColor ? 64 : 0);
    Text->MarkParStyleAttrs(d.Attr, mask, &P);
    TRtCustomStyleCollection* styles = StyleCollection();
    if (!styles)
        return;
    int32_t index = styles->IndexOfStyle(Trim(d.Name));
    if (index < 0 && !Header->ForbidNewStyles && !Header->LoadOptions.Has(loDontAddReadParagraphStyleNames))
        index = AddToCollection(*styles, d);
    if (index >= 0 && index < INT16_MAX)
        P.StyleIndex = int16_t(index + 1);
}

// ---- lists and numbering ------------------------------------------------------------------------

AnsiString TRtRtfReader::FontNameOf(int32_t Index) const
{
    return Index >= 0 && Index < 256 ? Header->Fonts[size_t(Index)].Name : AnsiString();
}

void TRtRtfReader::SetListProperty(int32_t Code, int32_t Value)
{
    switch (Code) {
    case rtfpLevelFormat: {
        static const std::pair<int32_t, TRtNumberStyle> map[] = {
            {0, rt_1}, {1, rt_lg_i}, {2, rt_i}, {3, rt_lg_a}, {4, rt_a}, {23, rt_bullet}};
        Level.Style = rt_1;
        for (const auto& m : map)
            if (m.first == Value)
                Level.Style = m.second;
        break;
    }
    case rtfpNumberFormat: {
        static const TRtNumberStyle map[7] = {rt_1, rt_bullet, rt_1, rt_lg_a, rt_a, rt_lg_i, rt_i};
        Level.Style = map[std::clamp(Value, 0, 6)];
        break;
    }
    case rtfpNumberLevel: Level.Level = std::clamp(Value, 0, 9); break;
    case rtfpNumberIndent: case rtfpLevelIndent: Level.Indent = std::clamp(Value, -32767, 32767); break;
    case rtfpNumberFont:
        Level.Font = MapFont(Value);
        break;
    case rtfpNumberFontSize: Level.Size = std::clamp(Value, 0, 1638); break;
    case rtfpNumberUsePrev: Level.UsePrev = Value != 0; break;
    case rtfpListId:
        if (Dest == rdList)
            GroupOfList[Value] = ListGroup;
        else if (Dest == rdListOverrideTable && Overrides.size() < 10000)
            Overrides.push_back(Value);
        break;
    case rtfpListOverride:
        if (Dest != rdListOverrideTable)
            SelectList(Value, ParListLevel);
        else if (!Overrides.empty() && OverrideNumbers.size() < 10000)
            OverrideNumbers[Value] = Overrides.back();  // the number this override declares
        break;
    case rtfpListLevel:
        SelectList(ParOverride, std::clamp(Value, 0, 8) + 1);
        break;
    case rtfpFont:
        if (Dest == rdListLevel)
            Level.Font = MapFont(Value);
        break;
    case rtfpFontSize:
        if (Dest == rdListLevel)
            Level.Size = std::clamp(Value / 2, 0, 1638);
        break;
    case rtfpIndentLeft: Level.IndentLeft = std::clamp(Value, 0, 32767); break;
    case rtfpIndentFirst: Level.IndentFirst = std::clamp(Value, -32767, 32767); break;
    default:
        break;
    }
}

namespace {

// The level text shows numbers of the levels above before its own ("1.1."):
// the level continues the numbers of the levels above, as the store shows them.
bool UpperLevelsShown(const AnsiString& Before)
{
    return std::any_of(Before.begin(), Before.end(), [](char C) { return uint8_t(C) < 10; });
}

} // namespace

void TRtRtfReader::EndListLevel()
{
    // The level text starts with its length; bytes below 10 stand for the
    // numbers of the levels. Before the last of them is the text before the
    // number, after it the text after.
    AnsiString t = Level.Text;
    if (!t.empty() && uint8_t(t[0]) < 100)
        t = t.substr(1, std::min<size_t>(uint8_t(t[0]), t.size() - 1));
    const size_t semi = t.find(';');
    if (semi != AnsiString::npos)
        t.resize(semi);
    AnsiString before = t, after;
    size_t at = AnsiString::npos;
    for (size_t i = 0; i < t.size(); ++i)
        if (uint8_t(t[i]) < 10)
            at = i;
    bool usePrev = Level.UsePrev;
    if (Level.Style != rt_bullet && at != AnsiString::npos) {
        before = t.substr(0, at);
        after = t.substr(at + 1);
        if (UpperLevelsShown(before)) {
            usePrev = true;
            before = TextBetweenLevels(before);
        }
    }
    TRtRTFNumberingStyleCollection* styles = Text->NumberingStyles();
    const int32_t nr = styles->FindOrAddStyle(Level.Style, before, Level.Level, ListGroup, usePrev,
                                              Level.Size, Level.Indent, FontNameOf(Level.Font), after);
    if (TRtRTFNumberingStyle* st = styles->FindStyle(nr, -1)) {
        st->IndentLeft = Level.IndentLeft;
        st->IndentFirst = Level.IndentFirst;
    }
    Level = TLevelDef();
}

// The text between the number of the level above and the level's own, less
// what that level shows after its number already.
AnsiString TRtRtfReader::TextBetweenLevels(const AnsiString& Before) const
{
    size_t last = 0;
    for (size_t i = 0; i < Before.size(); ++i)
        if (uint8_t(Before[i]) < 10)
            last = i + 1;
    AnsiString between = Before.substr(last);
    const TRtRTFNumberingStyleCollection* styles = Text->NumberingStyles();
    for (int32_t i = 0; i < styles->Count(); ++i) {
        const TRtRTFNumberingStyle* upper = styles->GetItem(i);
        if (upper->Group == ListGroup && upper->LevelInGroup == Level.Level - 1) {
            if (between.rfind(upper->TextA, 0) == 0)
                between.erase(0, upper->TextA.size());
            break;
        }
    }
    return between;
}

void TRtRtfReader::SelectList(int32_t Override, int32_t LevelNr)
{
    ParOverride = Override;
    ParListLevel = LevelNr;
    // Overrides are found by the numbers they declare; without numbers by their places.
    int32_t listId = 0;
    if (const auto declared = OverrideNumbers.find(Override); declared != OverrideNumbers.end())
        listId = declared->second;
    else if (OverrideNumbers.empty() && Override >= 1 && Override <= int32_t(Overrides.size()))
        listId = Overrides[size_t(Override - 1)];
    else
        return;
    const auto group = GroupOfList.find(listId);
    if (group == GroupOfList.end())
        return;
    TRtRTFNumberingStyleCollection* styles = Text->NumberingStyles();
    TRtRTFNumberingStyle* st = nullptr;
    for (int32_t i = 0; i < styles->Count() && !st; ++i) {
        TRtRTFNumberingStyle* s = styles->GetItem(i);
        if (s->Group == group->second && s->LevelInGroup == LevelNr)
            st = s;
    }
    if (!st)
        return;
    ParTemplate.Number = int16_t(st->Number);
    ParTemplate.NumLevel = uint8_t(LevelNr);
    if (st->IndentLeft || st->IndentFirst) {
        ParTemplate.IndentLeft = int16_t(st->IndentLeft);
        ParTemplate.IndentFirst = int16_t(st->IndentFirst);
    }
}

void TRtRtfReader::CompleteNumbering()
{
    TRtRTFNumberingStyleCollection* styles = Text->NumberingStyles();
    const AnsiString font = FontNameOf(Level.Font);
    const auto find = [&](int32_t Group) {
        return styles->FindOrAddStyle(Level.Style, Level.Text, Level.Level, Group, Level.UsePrev, Level.Size,
                                      Level.Indent, font, Level.TextA);
    };
    if (Level.Section) {
        // A level of the section's outline is that level of the first outline
        // group; one that paragraphs of the text use already stays as it is.
        TRtRTFNumberingStyle* st = styles->GetOutlineStyle(1, Level.Level);
        bool used = false;
        for (const TParagraph* p = Text->FirstPar; p && !used; p = p->Next)
            used = p->Number == st->Number;
        if (used) {
            find(1);
        } else {
            st->Style = Level.Style;
            st->TextB = Level.Text;
            st->TextA = Level.TextA;
            st->UsePrev = Level.UsePrev;
            st->Size = Level.Size;
            st->Indent = Level.Indent;
            st->Font = font;
        }
        SectionOutline = true;
        Level = TLevelDef();
        return;
    }
    // With the section's outline read, a paragraph's numbering that shows one
    // of its levels is that level.
    int32_t nr = 0;
    for (int32_t i = 0; SectionOutline && i < styles->Count() && !nr; ++i)
        if (styles->GetItem(i)->Matches(Level.Style, Level.Text, Level.Level, 1, Level.UsePrev, Level.Size,
                                        Level.Indent, font, Level.TextA))
            nr = styles->GetItem(i)->Number;
    if (!nr)
        nr = find(0);
    ParTemplate.Number = int16_t(std::clamp(nr, 0, 32767));
    ParTemplate.NumLevel = uint8_t(Level.Level);
    Level = TLevelDef();
}

// ---- borders -----------------------------------------------------------------------------------

TRtRtfReader::TBorderTarget TRtRtfReader::Borders()
{
    if (RowDefining)
        return {&PendingCell.BrdLines, &PendingCell.BorderWidth, &PendingCell.BrdColor, &PendingCell.BrdSpace};
    return {&ParTemplate.BrdLines, &ParTemplate.BrdWidth, &ParTemplate.BrdColor, &ParTemplate.BrdSpace};
}

// "\\brdrnone": after a side's word only that side goes, the others stay.
void TRtRtfReader::ClearBorder(const TBorderTarget& B) const
{
    static const uint16_t sides[4] = {0x10, 0x04, 0x20, 0x08}; // left, top, right, bottom
    if (BorderSide >= 0 && BorderSide <= 3) {
        *B.Lines &= uint16_t(~sides[BorderSide]);
        if (*B.Lines & 0x3C)
            return;
    }
    *B.Lines = 0;
}

void TRtRtfReader::SetBorder(int32_t Code, int32_t Value)
{
    TBorderTarget b = Borders();
    switch (Code) {
    case rtfpBorder: {
        // box, top, left, bottom, right, double, dotted, -, -, table lines, hairline, none
        static const uint16_t bits[12] = {0x3D, 0x05, 0x11, 0x09, 0x21, 0x81, 0x101, 0, 0, 0x4001, 0x4201, 0};
        static const int8_t sides[12] = {-1, 1, 0, 3, 2, -2, -2, -2, -2, -2, -2, -2};
        const int32_t v = std::clamp(Value, 0, 11);
        if (v == 11)
            ClearBorder(b);
        else if (v == 0 && BordersBetween)
            *b.Lines |= 0x41;
        else
            *b.Lines |= bits[v];
        if (sides[v] != -2)
            BorderSide = sides[v];
        break;
    }
    case rtfpBorderWidth: *b.Width = uint8_t(std::clamp(Value, 0, 255)); break;
    case rtfpBorderSpace: *b.Space = uint8_t(std::clamp(Value / 20, 0, 255)); break;
    case rtfpBorderColor: {
        const uint8_t c = MapColor(Value);
        if (BorderSide < 0)
            b.Color->fill(c);
        else
            (*b.Color)[size_t(BorderSide)] = c;
        break;
    }
    default:
        break;
    }
}

// ---- headers and footers ------------------------------------------------------------------------

void TRtRtfReader::BeginHeaderFooter(bool Footer, int32_t Letter)
{
    // The page range: first page, left, right or all pages; a lettered word
    // without "\\titlepg" or "\\facingp" stands for all pages.
    uint8_t kind = 0;
    if (Letter == 'f')
        kind = TitlePage ? 3 : 0;
    else if (Letter == 'l')
        kind = SpecialHF ? 5 : FacingPages ? 2 : 0;
    else if (Letter == 'r')
        kind = SpecialHF ? 4 : FacingPages ? 1 : 0;
    const bool fallback = kind == 0 && (Letter == 'f' || Letter == 'l' || Letter == 'r');
    // One text to a range: the first read is kept, except that "\\header"
    // or "\\footer" takes the place of a lettered word's stand-in.
    const uint8_t bit = Footer ? 2 : 1;
    const TRtPagePropertyKind hfKind = Footer ? rtIsFooter : rtIsHeader;
    if (TRtSpecialTextProperty* had = Text->FindHeaderFooter(TRtPagePropertyRange(kind), hfKind)) {
        if (fallback || kind != 0 || !(HFFallbackRead & bit)) {
            Dest = rdSkip;
            return;
        }
        DeleteHeaderFooter(had);
    }
    if (kind == 0)
        HFFallbackRead = uint8_t(fallback ? HFFallbackRead | bit : HFFallbackRead & ~bit);
    // A row never reaches across the header's edges: its cells are paragraphs of one chain.
    if (CellIndex > 0)
        FinishRow();
    MainPosition.Paragraph = Par;
    MainPosition.Line = CurLine;
    MainPosition.CharsAdded = CharsAdded;
    MainPosition.ParNumber = ParNumber;
    MainPosition.FormatTakenBy = FormatTakenBy;
    MainPosition.EmptyFormatFor = EmptyFormatFor;
    AssignParFormat(MainPosition.EmptyFormat, EmptyFormat);
    MainPosition.LastCellPar = LastCellPar;
    LastCellPar = nullptr;
    TParagraph* chain = nullptr;
    Text->InsertPar(chain, LineCapacity);
    AssignParFormat(*chain, TParagraph());
    chain->ParAttr = Attr;
    HFChain = chain;
    HFKind = kind;
    BeginParagraph(chain);
    CurLine = chain->Lines;
    Dest = Footer ? rdFooter : rdHeader;
    HFFooter = Footer;
}

namespace {

// Whether two characters look alike: the same character and attribute; an
// object reference stands for its name and object class, not its id.
bool SameMark(TRtRTFText* Text, uint8_t CharA, const TAttr& A, uint8_t CharB, const TAttr& B)
{
    if (CharA != CharB)
        return false;
    TAttr a = A, b = B;
    a.Width = a.Base = a.Height = b.Width = b.Base = b.Height = 0;
    if (!A.Style.Has(afsIsObject) || !B.Style.Has(afsIsObject))
        return a == b;
    a.Tag = b.Tag = 0;
    if (!(a == b))
        return false;
    const TTextObj* refA = Text->ObjRefList()->GetTextObj(int32_t(A.Tag));
    const TTextObj* refB = Text->ObjRefList()->GetTextObj(int32_t(B.Tag));
    if (!refA || !refB)
        return refA == refB;
    const auto className = [](const TTextObj* R) { return R->Object ? R->Object->ClassName() : std::string(); };
    return refA->Type == refB->Type && refA->RefName == refB->RefName && className(refA) == className(refB);
}

// Whether two paragraph chains hold the same text in the same form.
bool SameChain(TRtRTFText* Text, const TParagraph* A, const TParagraph* B)
{
    for (; A && B; A = A->Next, B = B->Next) {
        if (!SameParFormat(*A, *B))
            return false;
        // Character by character, whatever the lines.
        const TLine* la = A->Lines;
        const TLine* lb = B->Lines;
        int32_t ia = 0, ib = 0;
        for (;;) {
            while (la && ia >= la->Length) {
                la = la->Next;
                ia = 0;
            }
            while (lb && ib >= lb->Length) {
                lb = lb->Next;
                ib = 0;
            }
            if (!la || !lb)
                break;
            if (!la->Attrs || !lb->Attrs
                || !SameMark(Text, la->Chars[ia], la->Attrs[ia], lb->Chars[ib], lb->Attrs[ib]))
                return false;
            ++ia;
            ++ib;
        }
        if (la || lb)
            return false;
    }
    return !A && !B;
}

} // namespace

// The writer puts the all-pages header or footer also in the place of a
// first-page, left or right one the text does not have, so that other
// programs show it there; read back, such a copy is the all-pages one.
void TRtRtfReader::DropHeaderFooterCopies()
{
    const std::vector<TRtSpecialTextProperty*> read = HFRead;
    for (TRtSpecialTextProperty* item : read) {
        const TRtSpecialTextProperty* all = Text->FindHeaderFooter(rtraOnAllPages, item->Kind);
        if (all && item != all && SameChain(Text, item->Paragraphs(), all->Paragraphs()))
            DeleteHeaderFooter(item);
    }
}

void TRtRtfReader::DeleteHeaderFooter(TRtSpecialTextProperty* Item)
{
    HFRead.erase(std::remove(HFRead.begin(), HFRead.end(), Item), HFRead.end());
    for (int32_t i = 0; i < Text->HeaderFooterCount(); ++i)
        if (Text->GetHeaderFooter(i) == Item) {
            Text->HeaderFooters()->Delete(i);
            return;
        }
}

void TRtRtfReader::EndHeaderFooter()
{
    if (!HFChain)
        return;
    if (CellIndex > 0)
        FinishRow();
    AssignParFormat(*Par, ParTemplate);
    // A trailing empty paragraph is dropped.
    TParagraph* last = Par;
    if (last != HFChain && last->Lines && !last->Lines->Next && last->Lines->Length == 0) {
        last->Prior->Next = nullptr;
        last->Prior = nullptr;
        Text->FreeParChain(last);
    }
    TRtSpecialTextProperty* item = Text->HeaderFooters()->Add();
    item->Kind = HFFooter ? rtIsFooter : rtIsHeader;
    item->Range = TRtPagePropertyRange(HFKind);
    for (TParagraph* p = HFChain; p; p = p->Next) {
        p->Owner = item;
        MapParStyle(*p);
        if (p->IndentRight < 0)
            p->IndentRight = 0;
        KeepStoredBreaks(*p);
    }
    item->SetParagraphs(HFChain);
    HFRead.push_back(item);
    HFChain = nullptr;
    NumberLine = nullptr;
    Par = MainPosition.Paragraph;
    CurLine = MainPosition.Line;
    CharsAdded = MainPosition.CharsAdded;
    ParNumber = MainPosition.ParNumber;
    FormatTakenBy = MainPosition.FormatTakenBy;
    EmptyFormatFor = MainPosition.EmptyFormatFor;
    AssignParFormat(EmptyFormat, MainPosition.EmptyFormat);
    LastCellPar = MainPosition.LastCellPar;
    Pending = 0;
}

// ---- document information -----------------------------------------------------------------------

void TRtRtfReader::AddInfoChar(char32_t Ch)
{
    if ((Ch != U' ' || !InfoText.empty()) && InfoText.size() < 65535)
        InfoText += Ch;
}

void TRtRtfReader::EndInfoItem()
{
    if (InfoName.empty())
        return;
    TRtRTFExtraDataCollection* data = Text->ExtraData();
    TRtRTFExtraDataItem* item = data->Find(InfoName, 0);
    if (!item) {
        item = data->Add();
        item->Name = InfoName;
    } else if (!item->HasOption(rtxLoadFromRTF))
        return;
    // Western, or the charset typed text would take for the first character Western lacks.
    int32_t charset = ANSI_CHARSET;
    std::string probe;
    for (size_t i = 0; i < InfoText.size(); ++i)
        if (!UnicodeToCharset(ANSI_CHARSET, InfoText[i], probe)) {
            charset = std::max<int32_t>(ANSI_CHARSET, ChooseCharset(std::u32string_view(InfoText).substr(i), -1));
            break;
        }
    item->Text = ToCharset(InfoText, charset);
    item->Charset = uint8_t(charset);
    if (InfoIndex >= 1000 || InfoIndex < 0) {
        switch (PropType) {
        case 30: item->SubType = rtxString; break;
        case 3: item->SubType = rtxNumber; break;
        case 11: item->SubType = rtxBoolean; break;
        case 64: item->SubType = rtxDate; break;
        default: item->SubType = rtxDefault; break;
        }
    }
    InfoText.clear();
}

// ---- bookmarks ----------------------------------------------------------------------------------

// A bookmark's start or end mark. Bookmarks are one to a name: a start
// repeated while its bookmark is open adds nothing, a bookmark started
// again under a name already taken gets a name of its own ("name_2"), and
// an end with no open start is dropped, as the writer would drop it.
void TRtRtfReader::AddBookmarkMark()
{
    auto open = std::find_if(OpenBookmarks.begin(), OpenBookmarks.end(),
                             [&](const auto& b) { return SameText(b.first, BookmarkName); });
    AnsiString name = BookmarkName;
    if (BookmarkEnd) {
        if (open == OpenBookmarks.end())
            return;
        name = open->second;
        OpenBookmarks.erase(open);
    } else {
        if (open != OpenBookmarks.end())
            return;
        for (int32_t n = 2; Text->ObjRefList()->FindNamedRef(name, 1); ++n)
            name = BookmarkName + "_" + IntToStr(n);
        OpenBookmarks.emplace_back(BookmarkName, name);
    }
    // Tag 1: a bookmark, which page references (tag 3) look up by name.
    InsertTextObject(1, 1, true, BookmarkEnd, name, AnsiString());
    Par->Flags |= parfHasFields;
}

// ---- footnotes ----------------------------------------------------------------------------------

void TRtRtfReader::BeginFootnote()
{
    // The number "\\chftn" just gave, or a superscript character, before the
    // footnote is its mark; without one the footnote gets the next number.
    // A number's digits together are the mark.
    TLine* line = CurLine;
    bool automatic = line == NumberLine && line->Length == NumberEnd && line->Length > 0;
    int32_t markStart = automatic ? NumberStart : line->Length - 1;
    if (!automatic
        && !(line->Length > 0 && line->Attrs[line->Length - 1].Style.Has(afsSuper)
             && !line->Attrs[line->Length - 1].Style.Has(afsIsObject))) {
        AddFootnoteNumber();
        automatic = true;
        line = CurLine;
        markStart = NumberStart;
    }
    if (line->Length == 0) {  // nothing took the mark
        Dest = rdSkip;
        return;
    }
    markStart = std::clamp(markStart, 0, line->Length - 1);
    FootnoteText.clear();
    FootnoteNr = 0;
    FootnoteStarted = false;
    FootnoteId = Text->FootnoteList()->AddFootnote(AnsiString(), automatic ? 1 : 0, 0);
    // A note repeats its own mark at its start; a number it repeats as "\\chftn".
    FootnoteMark = automatic ? 0 : line->Chars[line->Length - 1];
    for (int32_t i = markStart; i < line->Length; ++i) {
        TAttr& markAttr = line->Attrs[i];
        markAttr.Style.Include(afsIsFootnote);
        markAttr.Style.Exclude(afsSuper);
        markAttr.Tag = uint32_t(FootnoteId);
    }
    Dest = rdFootnote;
}

// The next automatic footnote number, as superscript digits ("\\chftn" in
// the text); they become the mark of the footnote that follows.
void TRtRtfReader::AddFootnoteNumber()
{
    const TAttr keep = Attr;
    Attr.Style.Include(afsSuper);
    Attr.Style.Exclude(afsSub);
    const TLine* line = CurLine;
    int32_t start = CurLine->Length;
    for (char c : IntToStr(++FootnoteCount)) {
        AddChar(uint8_t(c));
        if (CurLine != line) {  // the digits went on in a new line
            line = CurLine;
            start = 0;
        }
    }
    Attr = keep;
    NumberLine = CurLine;
    NumberStart = start;
    NumberEnd = CurLine->Length;
}

void TRtRtfReader::AddFootnoteChar(int32_t Ch)
{
    if (!FootnoteStarted) {
        // The mark repeated at the start of the note, blanks and a tab.
        if (FootnoteMark && Ch == FootnoteMark) {
            FootnoteMark = 0;
            return;
        }
        if (Ch == ' ' || Ch == 9)
            return;
        FootnoteStarted = true;
    }
    if (FootnoteText.size() > 65535 || Ch < 1 || Ch > 255)
        return;
    // Kept as RTF text, as the writer puts it out.
    const uint8_t c = uint8_t(Ch);
    if (c == '\\' || c == '{' || c == '}') {
        FootnoteText += '\\';
        FootnoteText += char(c);
    } else if (c == 9)
        FootnoteText += "\\tab ";
    else if (c >= 0x20 && c < 0x7F)
        FootnoteText += char(c);
    else {
        static const char hex[] = "0123456789abcdef";
        FootnoteText += "\\'";
        FootnoteText += hex[c >> 4];
        FootnoteText += hex[c & 15];
    }
}

void TRtRtfReader::AddFootnoteUnicode(char32_t Ch)
{
    if (Ch < 0x80) {
        AddFootnoteChar(int32_t(Ch));
        return;
    }
    FootnoteStarted = true;
    if (FootnoteText.size() > 65535)
        return;
    // "?" for readers without "\\u"; the reader here drops it again.
    for (const QChar unit : QString::fromUcs4(&Ch, 1))
        FootnoteText += "\\u" + IntToStr(int16_t(unit.unicode())) + "?";
}

void TRtRtfReader::EndFootnote()
{
    if (auto* item = static_cast<TRtFootnoteItem*>(Text->FootnoteList()->FindItem(FootnoteId))) {
        item->Text = FootnoteText;
        item->Value = FootnoteNr;
    }
    FootnoteId = 0;
}
