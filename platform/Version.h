#pragma once
// The version block of a file, standing in for the platform's version resource.
// Only the running program carries one: the version set in the build, compiled in.
#include "AnsiString.h"

#include <QString>
#include <cstdint>
#include <map>
#include <optional>

struct TFileVersionBlock {
    // The fixed record: major.minor in FileVersionMS, release.build in
    // FileVersionLS, each part in one 16-bit word; the same for the product.
    uint32_t FileVersionMS = 0;
    uint32_t FileVersionLS = 0;
    uint32_t ProductVersionMS = 0;
    uint32_t ProductVersionLS = 0;
    // String values by their sub-block path ("\StringFileInfo\040704E4\ProductName").
    std::map<AnsiString, AnsiString> Strings;
};

// The four parts of the program's version as the build gives them.
struct TBuildVersion {
    uint32_t Major = 0;
    uint32_t Minor = 0;
    uint32_t Release = 0;
    uint32_t Build = 0;
};
TBuildVersion BuildVersion();

// The version block of fileName, or nothing when the file has none (every
// file but the running program's executable).
std::optional<TFileVersionBlock> GetFileVersionBlock(const QString& fileName);
