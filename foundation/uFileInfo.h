#pragma once
// Version information of a file: the four-part file and product versions and
// the string values of the German (code page 1252) translation.
#include "AnsiString.h"
#include "DateTime.h"
#include "Object.h"
#include "Version.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

// The four parts of a version number, each kept in 8 bits.
class TProjVersion : public TObject {
public:
    LUMI_CLASSNAME(TProjVersion)
    uint8_t vv = 0;  // major
    uint8_t rr = 0;  // minor
    uint8_t mm = 0;  // release
    uint8_t pp = 0;  // build

    // From the two double words of a fixed version record.
    void Assign(uint32_t versionMS, uint32_t versionLS);
};

class TFileInfo : public TObject {
public:
    LUMI_CLASSNAME(TFileInfo)
    explicit TFileInfo(const QString& fileName);
    // The program's own executable.
    static std::unique_ptr<TFileInfo> CreateForProgram();

    // Reads the version data and the date of fileName.
    virtual void ReadVersionData(const QString& fileName);
    // A string value of the translation "040704E4": the text, "Nicht gefunden"
    // when the file's version data lack it, empty when the file has none.
    virtual AnsiString QueryString(const AnsiString& name);

    const QString& FileName() const { return fileName_; }
    TDateTime FileDate() const { return fileDate_; }
    const AnsiString& TranslationKey() const { return translationKey_; }
    const TProjVersion& FileVersion() const { return fileVersion_; }
    const TProjVersion& ProductVersion() const { return productVersion_; }
    bool HasVersionData() const { return versionData_.has_value(); }
    bool QuerySuccess() const { return querySuccess_; }

    const AnsiString& CompanyName() const { return companyName_; }
    const AnsiString& FileDescription() const { return fileDescription_; }
    const AnsiString& FileVersionText() const { return fileVersionText_; }
    const AnsiString& InternalName() const { return internalName_; }
    const AnsiString& LegalCopyright() const { return legalCopyright_; }
    const AnsiString& OriginalFilename() const { return originalFilename_; }
    const AnsiString& ProductName() const { return productName_; }
    const AnsiString& ProductVersionText() const { return productVersionText_; }

private:
    QString fileName_;
    TDateTime fileDate_ = 0;
    AnsiString translationKey_;
    TProjVersion fileVersion_;
    TProjVersion productVersion_;
    std::optional<TFileVersionBlock> versionData_;
    bool querySuccess_ = false;
    AnsiString companyName_;
    AnsiString fileDescription_;
    AnsiString fileVersionText_;
    AnsiString internalName_;
    AnsiString legalCopyright_;
    AnsiString originalFilename_;
    AnsiString productName_;
    AnsiString productVersionText_;
};

// The version information of the program's own executable, read on first use.
TFileInfo& FileInfo();
