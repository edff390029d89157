#pragma once
// Lists of UTF-16 strings that read text with or without a byte-order mark.
#include "Classes.h"
#include "Object.h"

#include <QCollator>
#include <QLocale>
#include <QString>
#include <functional>
#include <vector>

class TWideStringList;

// Called before a save would turn characters above 255 into 8-bit text;
// Allowed = false cancels the save.
using TConfirmConversionEvent = std::function<void(TObject* Sender, bool& Allowed)>;

// Abstract list of UTF-16 strings, each with an object reference.
class TWideStrings : public TObject {
public:
    LUMI_CLASSNAME(TWideStrings)
    TWideStrings();

    virtual QString Get(int Index) const = 0;
    virtual int GetCapacity() const { return GetCount(); }
    virtual int GetCount() const = 0;
    virtual TObject* GetObject(int Index) const { return nullptr; }
    // Every line followed by CR LF.
    virtual QString GetText() const;
    virtual void Put(int Index, const QString& S);
    virtual void PutObject(int Index, TObject* AObject) {}
    virtual void SetCapacity(int NewCapacity) {}
    // Cuts the text into lines at LF, VT, FF, CR, U+2028 and U+2029 (CR LF is
    // one break); a final break gives no empty line; a NUL ends the text.
    virtual void SetText(const QString& Value);
    virtual void SetUpdateState(bool Updating) {}
    virtual void SetLanguage(const QLocale& Value);
    virtual int Add(const QString& S);
    virtual int AddObject(const QString& S, TObject* AObject);
    virtual void AddStrings(const TStringList& Strings);
    virtual void AddStrings(const TWideStrings& Strings);
    virtual void Clear() = 0;
    virtual void Delete(int Index) = 0;
    virtual void Exchange(int Index1, int Index2);
    virtual int IndexOf(const QString& S) const;
    virtual void Insert(int Index, const QString& S) = 0;
    virtual void LoadFromFile(const QString& FileName);
    // UTF-16 after FF FE (little-endian) or FE FF (swapped), otherwise 8-bit text.
    virtual void LoadFromStream(TStream& Stream);
    virtual void Move(int CurIndex, int NewIndex);
    virtual void SaveToFile(const QString& FileName);
    // UTF-16 with a mark when the last load found one, otherwise 8-bit text.
    virtual void SaveToStream(TStream& Stream);

    void BeginUpdate();
    void EndUpdate();
    void Assign(const TWideStrings& Source);
    int Count() const { return GetCount(); }
    QString operator[](int Index) const { return Get(Index); }

    // Case-insensitive comparison in the list's language: <0, 0 or >0.
    int CompareStrings(const QString& S1, const QString& S2) const;

    const QLocale& Language() const { return FLanguage; }
    bool Saved() const { return FSaved; }
    bool Unicode() const { return FUnicode; }
    void SetUnicode(bool Value) { FUnicode = Value; }
    TConfirmConversionEvent OnConfirmConversion;

protected:
    int FUpdateCount = 0;
    QLocale FLanguage;
    QCollator FCollator;
    bool FSaved = false;
    bool FUnicode = false;
};

// The list with its storage, sorting and change events. Errors raise
// EListError with the class library's texts.
class TWideStringList : public TWideStrings {
public:
    LUMI_CLASSNAME(TWideStringList)

    QString Get(int Index) const override;
    int GetCapacity() const override { return FCapacity; }
    int GetCount() const override { return int(FList.size()); }
    TObject* GetObject(int Index) const override;
    void Put(int Index, const QString& S) override;
    void PutObject(int Index, TObject* AObject) override;
    void SetCapacity(int NewCapacity) override;
    void SetUpdateState(bool Updating) override;
    int Add(const QString& S) override;
    int AddObject(const QString& S, TObject* AObject) override;
    void Clear() override;
    void Delete(int Index) override;
    void Exchange(int Index1, int Index2) override;
    void Insert(int Index, const QString& S) override;

    // Binary search of a sorted list: true and the index when found, otherwise
    // false and the insert position.
    virtual bool Find(const QString& S, int& Index) const;
    virtual void Sort();

    bool Sorted() const { return FSorted; }
    void SetSorted(bool Value);
    TDuplicates Duplicates = dupIgnore;
    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    virtual void Changed();
    virtual void Changing();

private:
    struct TWideStringItem {
        QString FString;
        TObject* FObject = nullptr;
    };
    void Grow();
    void InsertItem(int Index, const QString& S, TObject* AObject);
    void CheckIndex(int Index) const;

    std::vector<TWideStringItem> FList;
    int FCapacity = 0;
    bool FSorted = false;
};
