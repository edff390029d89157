#pragma once
// An ini file held wholly in memory: sections of lines "key=value". Section
// names and keys are compared without regard to case; the first matching line
// wins. Texts stay in Unicode; saving writes 8-bit text.
#include "Classes.h"
#include "Object.h"

#include <QString>
#include <QStringList>
#include <vector>

class TMyMemIniFile : public TObject {
public:
    LUMI_CLASSNAME(TMyMemIniFile)
    explicit TMyMemIniFile(QString FileName = QString());

    const QString& FileName() const { return FFileName; }

    QString ReadString(const QString& Section, const QString& Ident, const QString& Default) const;
    // Replaces the first line with that key, keeping its place, or appends one.
    void WriteString(const QString& Section, const QString& Ident, const QString& Value);

    // The keys of a section, in order.
    void ReadSection(const QString& Section, QStringList& Strings) const;
    // The section names, in order.
    void ReadSections(QStringList& Strings) const;
    // The lines of a section.
    void ReadSectionValues(const QString& Section, QStringList& Strings) const;
    void EraseSection(const QString& Section);
    void DeleteKey(const QString& Section, const QString& Ident);
    // Nothing to do: the content lives in memory.
    void UpdateFile() {}

    void Clear();
    // UTF-16 with a byte-order mark or 8-bit text; replaces the content.
    void LoadFromStream(TStream& Stream);
    // Clears the content when the file does not exist.
    void LoadFromFile(const QString& FileName);
    // 8-bit lines added to the content; existing sections are extended.
    void MergeFromAnsiStream(TStream& Stream);
    // 8-bit text, lines ended by CR LF; characters 8-bit text cannot hold become '?'.
    void SaveToStream(TStream& Stream) const;
    void SaveToFile(const QString& FileName) const;
    // Every section as "[name]", its lines, and an empty line.
    void GetStrings(QStringList& Strings) const;

private:
    struct TSection {
        QString Name;
        QStringList Lines;
    };
    void ParseLines(const QStringList& Lines);
    const TSection* FindSection(const QString& Section) const;
    TSection* FindSection(const QString& Section);
    static int FindKey(const TSection& S, const QString& Ident);

    QString FFileName;
    std::vector<TSection> FSections;
};
