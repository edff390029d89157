#include "SsRegEx.h"

namespace {
constexpr char CR = 13;
constexpr char LF = 10;

char Upper(char c)
{
    return AnsiUpperCase(AnsiString(1, c))[0];
}

bool IsAlnum(char c)
{
    const uint8_t u = uint8_t(c);
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

bool IsClosure(const TSsToken* t)
{
    return t && (t->Kind == tkClosure || t->Kind == tkOptional);
}

AnsiString WordDelimiters()
{
    AnsiString s = "\t ";
    for (int c : {33, 34, 38})
        s += char(c);
    for (int c = 40; c <= 47; ++c)
        s += char(c);
    for (int c = 58; c <= 64; ++c)
        s += char(c);
    for (int c = 91; c <= 94; ++c)
        s += char(c);
    s += char(96);
    for (int c = 123; c <= 126; ++c)
        s += char(c);
    return s;
}
}  // namespace

// ---- node heap ------------------------------------------------------------------------

TSsToken* TSsNodeHeap::New()
{
    TSsToken* t;
    if (!free_.empty()) {
        t = free_.back();
        free_.pop_back();
    } else {
        blocks_.push_back(std::make_unique<TSsToken>());
        t = blocks_.back().get();
    }
    *t = TSsToken();
    return t;
}

void TSsNodeHeap::Release(TSsToken* t)
{
    t->ClassText.reset();
    free_.push_back(t);
}

void TSsNodeHeap::FreeList(TSsToken* first)
{
    while (first) {
        TSsToken* next = first->Next;
        FreeList(first->Nested);
        Release(first);
        first = next;
    }
}

void TSsNodeHeap::Clear()
{
    std::vector<std::unique_ptr<TSsToken>> kept;
    for (auto& b : blocks_)
        if (std::find(free_.begin(), free_.end(), b.get()) == free_.end())
            kept.push_back(std::move(b));
    blocks_ = std::move(kept);
    free_.clear();
}

TSsToken* TSsNodeHeap::Copy(const TSsToken* token)
{
    if (!token)
        return nullptr;
    TSsToken* t = New();
    if (token->ClassText)
        t->ClassText = std::make_unique<AnsiString>(*token->ClassText);
    t->Kind = token->Kind;
    t->Ch = token->Ch;
    t->Alternative = token->Alternative;
    t->Nested = Copy(token->Nested);
    t->Next = Copy(token->Next);
    return t;
}

// ---- masks ------------------------------------------------------------------------------

AnsiString MaskToPattern(const AnsiString& mask)
{
    // Characters of a file name that the pattern syntax would take as
    // operators are escaped, so that every mask compiles and matches them
    // literally; inside the first character's class the same holds for the
    // characters a class treats specially.
    static const AnsiString operators = ".\\[]()|{}+^$";
    static const AnsiString classSpecials = "\\]^-";
    AnsiString p = "(";
    size_t i = 0;
    if (!mask.empty() && mask[0] != '*' && mask[0] != '?') {
        p += "(^[";
        if (classSpecials.find(mask[0]) != AnsiString::npos)
            p += '\\';
        p += mask[0];
        p += "])";
        i = 1;
    }
    for (; i < mask.size(); ++i) {
        const char c = mask[i];
        if (c == '*')
            p += ".*";
        else if (c == '?')
            p += i == 0 ? "(^.)" : ".?";
        else if (operators.find(c) != AnsiString::npos) {
            p += '\\';
            p += c;
        } else
            p += c;
    }
    return p + "\\n)";
}

// ---- engine --------------------------------------------------------------------------------

TSsStreamRegEx::TSsStreamRegEx() = default;

TSsStreamRegEx::~TSsStreamRegEx() = default;

void TSsStreamRegEx::ReleasePatterns()
{
    heap_.FreeList(matchList_);
    heap_.FreeList(avoidList_);
    matchList_ = avoidList_ = nullptr;
}

bool TSsStreamRegEx::SetFileMasks(const AnsiString& masks)
{
    TStringList parts;
    size_t start = 0;
    while (start <= masks.size()) {
        size_t end = masks.find(';', start);
        if (end == AnsiString::npos)
            end = masks.size();
        const AnsiString mask = masks.substr(start, end - start);
        if (!mask.empty())
            // Alternatives are joined with "|"; the first one carries none,
            // which would make every name match.
            parts.Add((parts.Count() > 0 ? "|" : "") + MaskToPattern(mask));
        start = end + 1;
    }
    if (parts.Count() > 0) {
        MatchPattern.Assign(parts);
        heap_.FreeList(matchList_);
        matchList_ = nullptr;
        AnsiString text;
        for (int i = 0; i < parts.Count(); ++i)
            text += parts[i];
        matchList_ = Compile(text);
    }
    return matchList_ != nullptr;
}

TSsToken* TSsStreamRegEx::Compile(const AnsiString& text)
{
    if (text.empty())
        return nullptr;
    size_t i = 0;
    bool inTag = false;
    TSsToken* list = nullptr;
    try {
        list = MakePattern(text, i, false, inTag);
        if (i < text.size())
            RaiseSsError<ESsRegExError>(SsscPatternSyntax);
        if (inTag)
            RaiseSsError<ESsRegExError>(SsscUnbalancedTag);
    } catch (...) {
        heap_.FreeList(list);
        throw;
    }
    return list;
}

void TSsStreamRegEx::SetClassText(TSsToken* t, const AnsiString& chars)
{
    AnsiString s;
    for (char c : chars) {
        const char u = IgnoreCase ? Upper(c) : c;
        if (s.find(u) == AnsiString::npos)
            s += u;
    }
    t->ClassText = std::make_unique<AnsiString>(s);
}

void TSsStreamRegEx::ParseClass(const AnsiString& p, size_t& i, TSsToken* t)
{
    // i stands after "["
    t->Kind = tkClass;
    if (i < p.size() && p[i] == '^') {
        t->Kind = tkNegClass;
        ++i;
    }
    AnsiString chars;
    const size_t first = i;
    while (true) {
        if (i >= p.size())
            RaiseSsError<ESsRegExError>(SsscExpandingClass);
        char c = p[i];
        if (c == ']') {
            ++i;
            break;
        }
        if (c == '\\') {
            if (i + 1 >= p.size()) {
                chars += '\\';
                ++i;
                continue;
            }
            const char e = p[i + 1];
            switch (e) {
            case 'b': c = 8; break;
            case 'l': c = LF; break;
            case 'r': c = CR; break;
            case 's': c = ' '; break;
            case 't': c = '\t'; break;
            default: c = e;
            }
            chars += c;
            i += 2;
            continue;
        }
        if (c == '-' && i > first && i + 1 < p.size() && p[i + 1] != ']' && IsAlnum(p[i - 1]) &&
            IsAlnum(p[i + 1]) && uint8_t(p[i - 1]) <= uint8_t(p[i + 1])) {
            for (int k = uint8_t(p[i - 1]) + 1; k <= uint8_t(p[i + 1]); ++k)
                chars += char(k);
            i += 2;
            continue;
        }
        chars += c;
        ++i;
    }
    SetClassText(t, chars);
}

TSsToken* TSsStreamRegEx::MakePattern(const AnsiString& p, size_t& i, bool inGroup, bool& inTag)
{
    TSsToken* head = heap_.New();
    TSsToken* last = head;
    TSsToken* beforeLast = nullptr;
    auto append = [&](TSsTokenKind kind, char ch = 0) {
        TSsToken* t = heap_.New();
        t->Kind = kind;
        t->Ch = uint8_t(kind == tkLiteral && IgnoreCase ? Upper(ch) : ch);
        last->Next = t;
        beforeLast = last;
        last = t;
        return t;
    };
    try {
        while (i < p.size()) {
            const char c = p[i];
            if (c == ')') {
                if (!inGroup)
                    return head;  // the caller reports the stray parenthesis
                ++i;
                return head;
            }
            const bool atStart = i == 0;
            switch (c) {
            case '.': append(tkAnyChar); ++i; break;
            case '^': append(tkBegOfLine); ++i; break;
            case '$': append(tkEndOfLine); ++i; break;
            case '[': {
                ++i;
                ParseClass(p, i, append(tkClass));
                break;
            }
            case '|':
                if (IsClosure(last) || IsClosure(beforeLast))
                    RaiseSsError<ESsRegExError>(SsscAlternationFollowsClosure);
                last->Alternative = true;
                ++i;
                break;
            case '(': {
                const size_t open = ++i;
                TSsToken* g = append(tkGroup);
                g->Nested = MakePattern(p, i, true, inTag);
                if (i == 0 || i > p.size() || p[i - 1] != ')' || i - 1 < open)
                    RaiseSsError<ESsRegExError>(SsscUnbalancedParens);
                const AnsiString inner = p.substr(open, i - 1 - open);
                if (i < p.size() && (p[i] == '*' || p[i] == '+') &&
                    (inner == "*" || inner == "?" || inner == "\\*" || inner == "\\?"))
                    RaiseSsError<ESsRegExError>(SsscClosureMaybeEmpty);
                break;
            }
            case '{':
                if (!inTag) {
                    append(tkBegTag);
                    inTag = true;
                } else
                    append(tkLiteral, c);
                ++i;
                break;
            case '}':
                if (inTag) {
                    append(tkEndTag);
                    inTag = false;
                } else
                    append(tkLiteral, c);
                ++i;
                break;
            case '*':
            case '+':
            case '?': {
                if (atStart || last == head) {
                    append(tkLiteral, c);
                    ++i;
                    break;
                }
                if (IsClosure(last) || last->Kind == tkBegOfLine || last->Kind == tkEndOfLine ||
                    (beforeLast && beforeLast->Kind == tkClosure))
                    RaiseSsError<ESsRegExError>(SsscFollowingClosure);
                TSsToken* operand = last;
                if (c == '+') {
                    // x+ is stored as x, a closure, x.
                    TSsToken* copy = heap_.New();
                    copy->Kind = operand->Kind;
                    copy->Ch = operand->Ch;
                    if (operand->ClassText)
                        copy->ClassText = std::make_unique<AnsiString>(*operand->ClassText);
                    copy->Nested = heap_.Copy(operand->Nested);
                    beforeLast = operand;
                    operand->Next = copy;
                    last = copy;
                    operand = copy;
                }
                TSsToken* closure = heap_.New();
                closure->Kind = c == '?' ? tkOptional : tkClosure;
                beforeLast->Next = closure;
                closure->Next = operand;
                beforeLast = closure;
                ++i;
                break;
            }
            case '\\': {
                if (i + 1 >= p.size()) {
                    append(tkLiteral, '\\');
                    ++i;
                    break;
                }
                const char e = p[i + 1];
                i += 2;
                switch (e) {
                case 'b': append(tkLiteral, 8); break;
                case 'h': SetClassText(append(tkClass), "0123456789ABCDEF"); break;
                case 'l': append(tkLiteral, LF); break;
                case 'n': append(tkLiteral, CR); append(tkLiteral, LF); break;
                case 'r': append(tkLiteral, CR); break;
                case 's': append(tkLiteral, ' '); break;
                case 't': append(tkLiteral, '\t'); break;
                case 'w': SetClassText(append(tkClass), WordDelimiters()); break;
                default: append(tkLiteral, e);
                }
                break;
            }
            default:
                append(tkLiteral, c);
                ++i;
            }
        }
    } catch (...) {
        heap_.FreeList(head);
        throw;
    }
    if (inGroup)
        i = p.size() + 1;  // no closing parenthesis
    return head;
}

int TSsStreamRegEx::MatchToken(const TSsToken* t, const AnsiString& s, int pos) const
{
    const int len = int(s.size());
    if (t->Kind == tkStart)
        return pos;
    if (pos >= len)
        return t->Kind == tkEndTag ? pos : -1;
    const char ch = IgnoreCase ? Upper(s[size_t(pos)]) : s[size_t(pos)];
    switch (t->Kind) {
    case tkLiteral: return ch == char(t->Ch) ? pos + 1 : -1;
    case tkClass: return t->ClassText->find(ch) != AnsiString::npos ? pos + 1 : -1;
    case tkNegClass:
        return ch != CR && ch != LF && t->ClassText->find(ch) == AnsiString::npos ? pos + 1 : -1;
    case tkAnyChar: return ch != CR && ch != LF ? pos + 1 : -1;
    case tkBegOfLine: return pos == 0 ? pos : -1;
    case tkEndOfLine: return ch == CR && pos + 1 < len && s[size_t(pos) + 1] == LF ? pos : -1;
    case tkGroup: {
        const int end = MatchList(t->Nested, s, pos);
        return end >= pos ? end : -1;
    }
    case tkBegTag:
    case tkEndTag: return pos;
    default: return -1;
    }
}

int TSsStreamRegEx::MatchList(const TSsToken* t, const AnsiString& s, int pos) const
{
    const int len = int(s.size());
    while (t) {
        if (t->Kind == tkClosure) {
            const TSsToken* operand = t->Next;
            int end = pos;
            while (end < len) {
                const int n = MatchToken(operand, s, end);
                if (n <= end)
                    break;
                end = n;
            }
            for (int p = end; p >= pos; --p) {
                const int r = MatchList(operand->Next, s, p);
                if (r >= 0)
                    return r;
            }
            return -1;
        }
        if (t->Kind == tkOptional) {
            // With the operand if the rest then matches, else without it.
            const TSsToken* operand = t->Next;
            const int n = MatchToken(operand, s, pos);
            if (n >= 0) {
                const int r = MatchList(operand->Next, s, n);
                if (r >= 0)
                    return r;
            }
            return MatchList(operand->Next, s, pos);
        }
        const int n = MatchToken(t, s, pos);
        if (n >= 0) {
            pos = n;
            while (t->Alternative && t->Next)
                t = t->Next;
            t = t->Next;
        } else if (!t->Alternative)
            return -1;
        else
            t = t->Next;
    }
    return pos;
}

bool TSsStreamRegEx::Find(TSsToken* list, const AnsiString& text, TSsMatchPosition& pos) const
{
    for (int start = 0; start < int(text.size()); ++start) {
        const int end = MatchList(list, text, start);
        if (end >= 0) {
            pos.StartPos = start + 1;
            pos.EndPos = end;
            pos.Length = end - start;
            return true;
        }
    }
    return false;
}

bool TSsStreamRegEx::CheckString(const AnsiString& text, TSsMatchPosition& position)
{
    const AnsiString line = text + "\r\n";
    ReleasePatterns();
    auto joined = [](const TStringList& l) {
        AnsiString s;
        for (int i = 0; i < l.Count(); ++i)
            s += TrimBlanks(l[i]);
        return s;
    };
    matchList_ = Compile(joined(MatchPattern));
    avoidList_ = Compile(joined(SelAvoidPattern));
    if (!matchList_ && !avoidList_)
        RaiseSsError<ESsRegExError>(SsscNoPatterns);
    LinesMatched = LinesSelected = 0;
    return ProcessLine(line, position, true, 0);
}

bool TSsStreamRegEx::ProcessLine(const AnsiString& line, TSsMatchPosition& position,
                                 bool checkOnly, int32_t lineNumber)
{
    bool selected = true;
    if (avoidList_) {
        TSsMatchPosition ignored;
        selected = Find(avoidList_, line, ignored) != Avoid;
    }
    const bool write = !checkOnly && !(OutputOptions & ooCountOnly);
    AnsiString text = line;
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
        text.resize(text.size() - 2);
    if (selected) {
        ++LinesSelected;
        if (matchList_) {
            selected = Find(matchList_, line, position);
            if (selected)
                ++LinesMatched;
        }
        if (selected && write) {
            if (LineNumbers) {
                if (int(text.size()) > MaxLineLength - 8)
                    text.resize(size_t(std::max(0, MaxLineLength - 8)));
                text = LeftPad(IntToStr(lineNumber), 6) + "  " + text;
            }
            WriteLine(text);
        }
    } else if (write && (OutputOptions & ooUnselected))
        WriteLine(text);
    return selected;
}

void TSsStreamRegEx::WriteLine(const AnsiString& text)
{
    if (!OutputStream)
        RaiseSsError<ESsBufStreamError>(SsscNilStream);
    AnsiString out = text;
    switch (OutLineTerminator) {
    case ltNone:
        out.resize(size_t(std::max(0, OutFixedLineLength)), ' ');
        break;
    case ltCR: out += CR; break;
    case ltLF: out += LF; break;
    case ltCRLF: out += "\r\n"; break;
    case ltOther: out += OutLineTermChar; break;
    default: RaiseSsError<ESsBufStreamError>(SsscBadLineTerm);
    }
    if (!out.empty())
        OutputStream->WriteBuffer(out.data(), int32_t(out.size()));
}

// ---- front -------------------------------------------------------------------------------------

TSsRegEx::TSsRegEx() : engine_(std::make_unique<TSsStreamRegEx>()) {}

void TSsRegEx::CopySettings()
{
    engine_->Avoid = Avoid;
    engine_->IgnoreCase = IgnoreCase;
    engine_->LineNumbers = LineNumbers;
    engine_->OutputOptions = OutputOptions;
    engine_->MatchPattern.Assign(MatchPattern);
    engine_->SelAvoidPattern.Assign(SelAvoidPattern);
}

bool TSsRegEx::SetFileMasks(const AnsiString& masks)
{
    CopySettings();
    if (!engine_->SetFileMasks(masks))
        return false;
    MatchPattern.Assign(engine_->MatchPattern);
    return true;
}

bool TSsRegEx::CheckString(const AnsiString& text, TSsMatchPosition& position)
{
    CopySettings();
    return engine_->CheckString(text, position);
}
