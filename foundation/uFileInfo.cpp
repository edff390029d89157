#include "uFileInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

void TProjVersion::Assign(uint32_t versionMS, uint32_t versionLS)
{
    vv = uint8_t(versionMS >> 16);
    rr = uint8_t(versionMS);
    mm = uint8_t(versionLS >> 16);
    pp = uint8_t(versionLS);
}

TFileInfo::TFileInfo(const QString& fileName)
{
    ReadVersionData(fileName);
}

std::unique_ptr<TFileInfo> TFileInfo::CreateForProgram()
{
    return std::make_unique<TFileInfo>(QCoreApplication::applicationFilePath());
}

void TFileInfo::ReadVersionData(const QString& fileName)
{
    fileName_ = fileName;
    fileDate_ = 0;
    fileVersion_ = TProjVersion();
    productVersion_ = TProjVersion();
    querySuccess_ = false;
    versionData_ = GetFileVersionBlock(fileName);
    if (versionData_) {
        translationKey_ = "040704E4";
        querySuccess_ = true;
        fileVersion_.Assign(versionData_->FileVersionMS, versionData_->FileVersionLS);
        productVersion_.Assign(versionData_->ProductVersionMS, versionData_->ProductVersionLS);
    }

    companyName_ = QueryString("CompanyName");
    fileDescription_ = QueryString("FileDescription");
    fileVersionText_ = QueryString("FileVersion");
    internalName_ = QueryString("InternalName");
    legalCopyright_ = QueryString("LegalCopyright");
    originalFilename_ = QueryString("OriginalFilename");
    productName_ = QueryString("ProductName");
    productVersionText_ = QueryString("ProductVersion");

    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly))
        fileDate_ = QDateTimeToDateTime(QFileInfo(file).lastModified());
}

AnsiString TFileInfo::QueryString(const AnsiString& name)
{
    if (!versionData_)
        return AnsiString();
    const auto it = versionData_->Strings.find("\\StringFileInfo\\" + translationKey_ + "\\" + name);
    return it != versionData_->Strings.end() ? it->second : AnsiString("Nicht gefunden");
}

TFileInfo& FileInfo()
{
    static const std::unique_ptr<TFileInfo> instance = TFileInfo::CreateForProgram();
    return *instance;
}
