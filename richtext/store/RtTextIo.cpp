#include "RtTextIo.h"

#include "SysUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {

// Restores a stream's position when leaving.
struct TKeepPosition {
    TStream& Stream;
    int64_t Pos;
    explicit TKeepPosition(TStream& S) : Stream(S), Pos(S.Position()) {}
    ~TKeepPosition() { Stream.SetPosition(Pos); }
};

bool IsRtfGroup(TStream& S)
{
    TKeepPosition keep(S);
    uint8_t c = 0;
    while (S.Read(&c, 1) == 1 && (c == ' ' || c == 10 || c == 13 || c == 9 || c == 8)) {
    }
    if (c != '{')
        return false;
    char rtf[4] = {};
    return S.Read(rtf, 4) == 4 && rtf[0] == '\\' && rtf[1] == 'r' && rtf[2] == 't' && rtf[3] == 'f';
}

bool HasHtmlTag(TStream& S)
{
    TKeepPosition keep(S);
    uint8_t buf[2000];
    const int32_t n = S.Read(buf, int32_t(sizeof buf));
    bool inTag = false;
    AnsiString name;
    for (int32_t i = 0; i < n && buf[i] != 0; ++i) {
        const char c = char(buf[i]);
        if (!inTag) {
            if (c == '<') {
                inTag = true;
                name.clear();
            }
            continue;
        }
        if (c == '>') {
            inTag = false;
            for (const char* tag : {"html", "b", "p", "br", "title", "body", "h1"})
                if (SameText(name, tag))
                    return true;
            if (SameText(AnsiString("<" + name).substr(0, 5), "<?xml"))
                return true;
        } else if (c == 13 || name.size() >= 9) {
            inTag = false;
        } else {
            name += c;
        }
    }
    return false;
}

// The editor's message with the file name in place of "%s".
AnsiString FileMessage(TRtUIString Id, const QString& FileName)
{
    AnsiString text = GetRtUIString(Id);
    const size_t at = text.find("%s");
    if (at != AnsiString::npos)
        text.replace(at, 2, toAnsi(FileName));
    return text;
}

} // namespace

AnsiString RtSniffReaderClass(TStream& Stream)
{
    if (IsRtfGroup(Stream))
        return RtDefaultReaderWriter.RTFReader;
    if (HasHtmlTag(Stream))
        return RtDefaultReaderWriter.HTMLReader;
    return RtDefaultReaderWriter.TextReader;
}

AnsiString RtChooseReaderClass(const AnsiString& Ext, const AnsiString& Format, TStream& Stream)
{
    const TDefaultReaderWriter& d = RtDefaultReaderWriter;
    const bool automatic = Format.empty() || SameText(Format, "AUTO");
    AnsiString name;
    if (automatic && !Ext.empty()) {
        if (SameText(Ext, ".RTF") || SameText(Ext, ".DOC"))
            name = d.RTFReader;
        else if (SameText(Ext, ".HTM") || SameText(Ext, ".HTML"))
            name = d.HTMLReader;
        else if (SameText(Ext, ".TXT"))
            name = d.TextReader;
    }
    if (name.empty()) {
        if (SameText(Format, "RTF"))
            name = d.RTFReader;
        else if (SameText(Format, "HTML"))
            name = d.HTMLReader;
        else if (SameText(Format, "ANSI"))
            name = d.TextReader;
        else if (!automatic)
            name = Format;
        else
            name = RtSniffReaderClass(Stream);
    }
    if (automatic && !FindRtClass(name))
        name = d.TextReader;
    return name;
}

AnsiString RtChooseWriterClass(const AnsiString& Ext, const AnsiString& Format, bool HasContent, bool KeepsStyles)
{
    const TDefaultReaderWriter& d = RtDefaultReaderWriter;
    const bool automatic = Format.empty() || SameText(Format, "AUTO");
    if (automatic && !Ext.empty()) {
        if (SameText(Ext, ".RTF") || SameText(Ext, ".DOC"))
            return d.RTFWriter;
        if (SameText(Ext, ".HTM") || SameText(Ext, ".HTML"))
            return d.HTMLWriter;
        if (SameText(Ext, ".TXT"))
            return d.TextWriter;
    }
    if (SameText(Format, "RTF"))
        return d.RTFWriter;
    if (SameText(Format, "HTML"))
        return d.HTMLWriter;
    if (SameText(Format, "ANSI"))
        return d.TextWriter;
    if (SameText(Format, "UTF8"))
        return "TRtUtf8TextWriter";
    if (!automatic)
        return Format;
    return HasContent || KeepsStyles ? d.RTFWriter : d.TextWriter;
}

QString RtFreeBackupName(const QString& FileName)
{
    const QString base = ChangeFileExt(FileName, ".BAK");
    QString name = base;
    for (int n = 1; QFileInfo::exists(name); ++n)
        name = base + QString::number(n);
    return name;
}

void RtSaveFileWithBackup(const QString& FileName, TStoreOptions Options,
                          const std::function<int32_t(TStream& Stream)>& Write)
{
    const QFileInfo info(FileName);
    QString temp;
    for (int n = 0; temp.isEmpty() || QFileInfo::exists(temp); ++n)
        temp = info.absolutePath() + "/." + info.fileName() + ".tmp" + QString::number(n);
    int32_t result = 0;
    try {
        TFileStream out(temp, fmCreate);
        result = Write(out);
    } catch (...) {
        QFile::remove(temp);
        throw;
    }
    if (result != 0) {
        QFile::remove(temp);
        throw Exception(FileMessage(meErrorWriteToFile, FileName));
    }
    // The old file steps aside under a backup name until the new one is in place.
    // A kept backup replaces the older ".BAK" only once the new file is in place.
    QString backup;
    if (info.exists() && !Options.Has(soDontRenameToBAKFile)) {
        backup = RtFreeBackupName(FileName);
        if (!QFile::rename(FileName, backup)) {
            QFile::remove(temp);
            throw Exception(FileMessage(meCannotRenameFile, FileName));
        }
    }
    // rename() puts the new file in place in one step.
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(FileName).constData()) != 0) {
        QFile::remove(temp);
        if (!backup.isEmpty())
            QFile::rename(backup, FileName);
        throw Exception(FileMessage(meErrorWriteToFile, FileName));
    }
    if (backup.isEmpty())
        return;
    if (!Options.Has(soDontDeleteBAKFile))
        QFile::remove(backup);
    else if (const QString bak = ChangeFileExt(FileName, ".BAK"); backup != bak)
        std::rename(QFile::encodeName(backup).constData(), QFile::encodeName(bak).constData());
}
