#include "MyMemIniFile.h"

#include "SysUtils.h"
#include "WideStringList.h"

#include <QFileInfo>

namespace {

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The key of a line "key=value"; null when the line has no "=".
QString KeyOfLine(const QString& line)
{
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QString() : line.left(eq);
}

}  // namespace

TMyMemIniFile::TMyMemIniFile(QString FileName) : FFileName(std::move(FileName)) {}

const TMyMemIniFile::TSection* TMyMemIniFile::FindSection(const QString& Section) const
{
    for (const TSection& s : FSections)
        if (SameName(s.Name, Section))
            return &s;
    return nullptr;
}

TMyMemIniFile::TSection* TMyMemIniFile::FindSection(const QString& Section)
{
    return const_cast<TSection*>(std::as_const(*this).FindSection(Section));
}

int TMyMemIniFile::FindKey(const TSection& S, const QString& Ident)
{
    for (int i = 0; i < S.Lines.size(); ++i) {
        const QString key = KeyOfLine(S.Lines[i]);
        if (!key.isNull() && SameName(key, Ident))
            return i;
    }
    return -1;
}

QString TMyMemIniFile::ReadString(const QString& Section, const QString& Ident,
                                  const QString& Default) const
{
    const TSection* s = FindSection(Section);
    if (!s)
        return Default;
    const int i = FindKey(*s, Ident);
    if (i < 0)
        return Default;
    const QString& line = s->Lines[i];
    return line.mid(line.indexOf(u'=') + 1);
}

void TMyMemIniFile::WriteString(const QString& Section, const QString& Ident, const QString& Value)
{
    TSection* s = FindSection(Section);
    if (!s) {
        FSections.push_back(TSection{Section, {}});
        s = &FSections.back();
    }
    const QString line = Ident + QLatin1Char('=') + Value;
    const int i = FindKey(*s, Ident);
    if (i < 0)
        s->Lines.append(line);
    else
        s->Lines[i] = line;
}

void TMyMemIniFile::ReadSection(const QString& Section, QStringList& Strings) const
{
    Strings.clear();
    if (const TSection* s = FindSection(Section))
        for (const QString& line : s->Lines) {
            const QString key = KeyOfLine(line);
            if (!key.isNull())
                Strings.append(key);
        }
}

void TMyMemIniFile::ReadSections(QStringList& Strings) const
{
    Strings.clear();
    for (const TSection& s : FSections)
        Strings.append(s.Name);
}

void TMyMemIniFile::ReadSectionValues(const QString& Section, QStringList& Strings) const
{
    const TSection* s = FindSection(Section);
    Strings = s ? s->Lines : QStringList();
}

void TMyMemIniFile::EraseSection(const QString& Section)
{
    for (auto it = FSections.begin(); it != FSections.end(); ++it)
        if (SameName(it->Name, Section)) {
            FSections.erase(it);
            return;
        }
}

void TMyMemIniFile::DeleteKey(const QString& Section, const QString& Ident)
{
    if (TSection* s = FindSection(Section)) {
        const int i = FindKey(*s, Ident);
        if (i >= 0)
            s->Lines.removeAt(i);
    }
}

void TMyMemIniFile::Clear()
{
    FSections.clear();
}

void TMyMemIniFile::ParseLines(const QStringList& Lines)
{
    TSection* current = nullptr;
    for (const QString& line : Lines) {
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            const QString name = line.mid(1, line.size() - 2);
            current = FindSection(name);
            if (!current) {
                FSections.push_back(TSection{name, {}});
                current = &FSections.back();
            }
        } else if (current) {
            current->Lines.append(line);
        }
    }
}

void TMyMemIniFile::LoadFromStream(TStream& Stream)
{
    TWideStringList list;
    list.LoadFromStream(Stream);
    QStringList lines;
    lines.reserve(list.Count());
    for (int i = 0; i < list.Count(); ++i)
        lines.append(list[i]);
    Clear();
    ParseLines(lines);
}

void TMyMemIniFile::LoadFromFile(const QString& FileName)
{
    if (!QFileInfo(FileName).isFile()) {
        Clear();
        return;
    }
    TFileStream stream(FileName, fmOpenRead | fmShareDenyNone);
    LoadFromStream(stream);
}

void TMyMemIniFile::MergeFromAnsiStream(TStream& Stream)
{
    TStringList ansi;
    ansi.LoadFromStream(Stream);
    QStringList lines;
    lines.reserve(ansi.Count());
    for (int i = 0; i < ansi.Count(); ++i)
        lines.append(fromAnsi(ansi[i]));
    ParseLines(lines);
}

void TMyMemIniFile::GetStrings(QStringList& Strings) const
{
    Strings.clear();
    for (const TSection& s : FSections) {
        Strings.append(QLatin1Char('[') + s.Name + QLatin1Char(']'));
        Strings.append(s.Lines);
        Strings.append(QString());
    }
}

void TMyMemIniFile::SaveToStream(TStream& Stream) const
{
    QStringList lines;
    GetStrings(lines);
    AnsiString text;
    for (const QString& line : lines) {
        text += toAnsi(line);
        text += "\r\n";
    }
    Stream.WriteBuffer(text.data(), int32_t(text.size()));
}

void TMyMemIniFile::SaveToFile(const QString& FileName) const
{
    TFileStream stream(FileName, fmCreate);
    SaveToStream(stream);
}
