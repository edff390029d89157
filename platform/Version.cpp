#include "Version.h"

#include <QCoreApplication>
#include <QFileInfo>

#ifndef LUMI_VERSION_MAJOR
#error "the build passes LUMI_VERSION_MAJOR/MINOR/PATCH/TWEAK"
#endif

namespace {

// CMake leaves an unset version component empty; it counts as 0.
constexpr uint32_t Part(uint32_t v) { return v; }
[[maybe_unused]] constexpr uint32_t Part() { return 0; }

bool IsRunningProgram(const QString& fileName)
{
    if (fileName.isEmpty() || !QCoreApplication::instance())
        return false;
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    return !self.isEmpty() && QFileInfo(fileName).canonicalFilePath() == self;
}

} // namespace

TBuildVersion BuildVersion()
{
    return TBuildVersion{Part(LUMI_VERSION_MAJOR), Part(LUMI_VERSION_MINOR),
                         Part(LUMI_VERSION_PATCH), Part(LUMI_VERSION_TWEAK)};
}

std::optional<TFileVersionBlock> GetFileVersionBlock(const QString& fileName)
{
    if (!IsRunningProgram(fileName))
        return std::nullopt;
    const TBuildVersion v = BuildVersion();
    TFileVersionBlock block;
    block.FileVersionMS = ((v.Major & 0xFFFF) << 16) | (v.Minor & 0xFFFF);
    block.FileVersionLS = ((v.Release & 0xFFFF) << 16) | (v.Build & 0xFFFF);
    block.ProductVersionMS = block.FileVersionMS;
    block.ProductVersionLS = block.FileVersionLS;
    const AnsiString text = std::to_string(v.Major) + "." + std::to_string(v.Minor) + "." +
                            std::to_string(v.Release) + "." + std::to_string(v.Build);
    const AnsiString table = "\\StringFileInfo\\040704E4\\";
    block.Strings[table + "CompanyName"] = "Brenmoor";
    block.Strings[table + "ProductName"] = "Lumiseite";
    block.Strings[table + "FileVersion"] = text;
    block.Strings[table + "ProductVersion"] = text;
    return block;
}
