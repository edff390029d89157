#include "WideStringList.h"

#include "SysUtils.h"

#include <QByteArray>
#include <algorithm>
#include <limits>

namespace {

[[noreturn]] void ListIndexError(int index)
{
    throw EListError(QStringLiteral("Listenindex überschreitet das Maximum (%1)").arg(index));
}

[[noreturn]] void SortedListError()
{
    throw EListError(QStringLiteral("Operation für sortierte Listen nicht zulässig"));
}

bool IsLineBreak(char16_t c)
{
    return c == 10 || c == 11 || c == 12 || c == 13 || c == 0x2028 || c == 0x2029;
}

QByteArray ReadRest(TStream& stream)
{
    const int64_t size = std::min<int64_t>(stream.Remaining(), std::numeric_limits<int32_t>::max());
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    if (size > 0)
        stream.ReadBuffer(bytes.data(), int32_t(size));
    return bytes;
}

QString FromUtf16(const QByteArray& bytes, bool swapped)
{
    const qsizetype n = bytes.size() / 2;
    QString s(n, Qt::Uninitialized);
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.constData());
    for (qsizetype i = 0; i < n; ++i) {
        const uint8_t lo = b[2 * i], hi = b[2 * i + 1];
        s[i] = QChar(swapped ? char16_t((lo << 8) | hi) : char16_t((hi << 8) | lo));
    }
    return s;
}

}  // namespace

// ---- TWideStrings ----------------------------------------------------------------

TWideStrings::TWideStrings()
{
    SetLanguage(QLocale());
}

void TWideStrings::SetLanguage(const QLocale& Value)
{
    FLanguage = Value;
    FCollator = QCollator(Value);
    FCollator.setCaseSensitivity(Qt::CaseInsensitive);
}

int TWideStrings::CompareStrings(const QString& S1, const QString& S2) const
{
    return FCollator.compare(S1, S2);
}

QString TWideStrings::GetText() const
{
    QString result;
    for (int i = 0; i < GetCount(); ++i) {
        result += Get(i);
        result += QLatin1String("\r\n");
    }
    return result;
}

void TWideStrings::SetText(const QString& Value)
{
    BeginUpdate();
    try {
        Clear();
        qsizetype end = Value.indexOf(QChar(0));
        if (end < 0)
            end = Value.size();
        qsizetype p = 0;
        while (p < end) {
            const qsizetype start = p;
            while (p < end && !IsLineBreak(Value[p].unicode()))
                ++p;
            Add(Value.mid(start, p - start));
            if (p < end && Value[p] == u'\r' && p + 1 < end && Value[p + 1] == u'\n')
                ++p;
            if (p < end)
                ++p;
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TWideStrings::Put(int Index, const QString& S)
{
    TObject* obj = GetObject(Index);
    Delete(Index);
    Insert(Index, S);
    PutObject(Index, obj);
}

int TWideStrings::Add(const QString& S)
{
    const int index = GetCount();
    Insert(index, S);
    return index;
}

int TWideStrings::AddObject(const QString& S, TObject* AObject)
{
    const int index = Add(S);
    PutObject(index, AObject);
    return index;
}

void TWideStrings::AddStrings(const TStringList& Strings)
{
    BeginUpdate();
    for (int i = 0; i < Strings.Count(); ++i)
        Add(fromAnsi(Strings[i]));
    EndUpdate();
}

void TWideStrings::AddStrings(const TWideStrings& Strings)
{
    BeginUpdate();
    for (int i = 0; i < Strings.GetCount(); ++i)
        AddObject(Strings.Get(i), Strings.GetObject(i));
    EndUpdate();
}

void TWideStrings::Exchange(int Index1, int Index2)
{
    BeginUpdate();
    const QString s1 = Get(Index1);
    TObject* o1 = GetObject(Index1);
    Put(Index1, Get(Index2));
    PutObject(Index1, GetObject(Index2));
    Put(Index2, s1);
    PutObject(Index2, o1);
    EndUpdate();
}

int TWideStrings::IndexOf(const QString& S) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (CompareStrings(Get(i), S) == 0)
            return i;
    return -1;
}

void TWideStrings::Move(int CurIndex, int NewIndex)
{
    if (CurIndex == NewIndex)
        return;
    BeginUpdate();
    const QString s = Get(CurIndex);
    TObject* obj = GetObject(CurIndex);
    Delete(CurIndex);
    Insert(NewIndex, s);
    PutObject(NewIndex, obj);
    EndUpdate();
}

void TWideStrings::LoadFromFile(const QString& FileName)
{
    TFileStream stream(FileName, fmOpenRead | fmShareDenyNone);
    LoadFromStream(stream);
}

void TWideStrings::LoadFromStream(TStream& Stream)
{
    QString text;
    if (Stream.Remaining() >= 2) {
        const uint16_t mark = Stream.ReadU16();
        if (mark == 0xFEFF || mark == 0xFFFE) {
            FUnicode = true;
            text = FromUtf16(ReadRest(Stream), mark == 0xFFFE);
            SetText(text);
            return;
        }
        Stream.Seek(-2, soCurrent);
    }
    FUnicode = false;
    const QByteArray bytes = ReadRest(Stream);
    SetText(fromAnsi(AnsiString(bytes.constData(), size_t(bytes.size()))));
}

void TWideStrings::SaveToFile(const QString& FileName)
{
    TFileStream stream(FileName, fmCreate);
    SaveToStream(stream);
}

void TWideStrings::SaveToStream(TStream& Stream)
{
    const QString text = GetText();
    bool allowed = true;
    if (!FUnicode && OnConfirmConversion
        && std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 255; }))
        OnConfirmConversion(this, allowed);
    FSaved = allowed;
    if (!allowed)
        return;
    if (FUnicode) {
        QByteArray bytes;
        bytes.reserve((text.size() + 1) * 2);
        for (QChar c : QString(QChar(0xFEFF)) + text) {
            bytes.append(char(c.unicode() & 0xFF));
            bytes.append(char(c.unicode() >> 8));
        }
        Stream.WriteBuffer(bytes.constData(), int32_t(bytes.size()));
    } else {
        const AnsiString bytes = toAnsi(text);
        Stream.WriteBuffer(bytes.data(), int32_t(bytes.size()));
    }
}

void TWideStrings::BeginUpdate()
{
    if (FUpdateCount == 0)
        SetUpdateState(true);
    ++FUpdateCount;
}

void TWideStrings::EndUpdate()
{
    --FUpdateCount;
    if (FUpdateCount == 0)
        SetUpdateState(false);
}

void TWideStrings::Assign(const TWideStrings& Source)
{
    if (&Source == this)
        return;
    BeginUpdate();
    Clear();
    AddStrings(Source);
    EndUpdate();
}

// ---- TWideStringList ---------------------------------------------------------------

void TWideStringList::CheckIndex(int Index) const
{
    if (Index < 0 || Index >= GetCount())
        ListIndexError(Index);
}

QString TWideStringList::Get(int Index) const
{
    CheckIndex(Index);
    return FList[size_t(Index)].FString;
}

TObject* TWideStringList::GetObject(int Index) const
{
    CheckIndex(Index);
    return FList[size_t(Index)].FObject;
}

void TWideStringList::Put(int Index, const QString& S)
{
    if (FSorted)
        SortedListError();
    CheckIndex(Index);
    Changing();
    FList[size_t(Index)].FString = S;
    Changed();
}

void TWideStringList::PutObject(int Index, TObject* AObject)
{
    CheckIndex(Index);
    Changing();
    FList[size_t(Index)].FObject = AObject;
    Changed();
}

void TWideStringList::SetCapacity(int NewCapacity)
{
    FCapacity = std::max(NewCapacity, GetCount());
    FList.reserve(size_t(FCapacity));
}

void TWideStringList::Grow()
{
    const int delta = FCapacity > 64 ? FCapacity / 4 : FCapacity > 8 ? 16 : 4;
    SetCapacity(FCapacity + delta);
}

void TWideStringList::SetUpdateState(bool Updating)
{
    if (Updating)
        Changing();
    else
        Changed();
}

int TWideStringList::Add(const QString& S)
{
    return AddObject(S, nullptr);
}

int TWideStringList::AddObject(const QString& S, TObject* AObject)
{
    int index = GetCount();
    if (FSorted && Find(S, index)) {
        switch (Duplicates) {
        case dupIgnore: return index;
        case dupError:
            throw EListError(QStringLiteral("In der Stringliste sind Duplikate nicht erlaubt"));
        case dupAccept: break;
        }
    }
    InsertItem(index, S, AObject);
    return index;
}

void TWideStringList::Clear()
{
    if (FList.empty())
        return;
    Changing();
    FList.clear();
    FList.shrink_to_fit();
    FCapacity = 0;
    Changed();
}

void TWideStringList::Delete(int Index)
{
    CheckIndex(Index);
    Changing();
    FList.erase(FList.begin() + Index);
    Changed();
}

void TWideStringList::Exchange(int Index1, int Index2)
{
    CheckIndex(Index1);
    CheckIndex(Index2);
    Changing();
    std::swap(FList[size_t(Index1)], FList[size_t(Index2)]);
    Changed();
}

void TWideStringList::Insert(int Index, const QString& S)
{
    if (FSorted)
        SortedListError();
    if (Index < 0 || Index > GetCount())
        ListIndexError(Index);
    InsertItem(Index, S, nullptr);
}

void TWideStringList::InsertItem(int Index, const QString& S, TObject* AObject)
{
    Changing();
    if (GetCount() == FCapacity)
        Grow();
    FList.insert(FList.begin() + Index, TWideStringItem{S, AObject});
    Changed();
}

bool TWideStringList::Find(const QString& S, int& Index) const
{
    bool found = false;
    int l = 0, h = GetCount() - 1;
    while (l <= h) {
        const int i = (l + h) / 2;
        const int c = CompareStrings(FList[size_t(i)].FString, S);
        if (c < 0) {
            l = i + 1;
        } else {
            h = i - 1;
            if (c == 0) {
                found = true;
                if (Duplicates != dupAccept)
                    l = i;
            }
        }
    }
    Index = l;
    return found;
}

void TWideStringList::Sort()
{
    if (FSorted || GetCount() < 2)
        return;
    Changing();
    std::sort(FList.begin(), FList.end(), [this](const TWideStringItem& a, const TWideStringItem& b) {
        return CompareStrings(a.FString, b.FString) < 0;
    });
    Changed();
}

void TWideStringList::SetSorted(bool Value)
{
    if (FSorted == Value)
        return;
    if (Value)
        Sort();
    FSorted = Value;
}

void TWideStringList::Changed()
{
    if (FUpdateCount == 0 && OnChange)
        OnChange(this);
}

void TWideStringList::Changing()
{
    if (FUpdateCount == 0 && OnChanging)
        OnChanging(this);
}
