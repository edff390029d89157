#pragma once
// Message ids and texts of the shell browsing library.
#include "AnsiString.h"

#include <cstdint>

// Number of entries of the message table.
constexpr int SsMessageCount = 87;

struct TSsMessageEntry {
    int32_t Id;
    const char* Text;
};

// The whole table, in id order.
extern const TSsMessageEntry SsMessageTable[SsMessageCount];

// Container errors.
constexpr int32_t SsscNoCompare = 51;
constexpr int32_t SsscBadClass = 52;
constexpr int32_t SsscBadSize = 53;
constexpr int32_t SsscDupNode = 54;
constexpr int32_t SsscBadIndex = 55;
constexpr int32_t SsscBadWinMode = 56;
constexpr int32_t SsscUnknownClass = 57;
constexpr int32_t SsscUnknownNodeClass = 58;
constexpr int32_t SsscNoStoreData = 59;
constexpr int32_t SsscNoLoadData = 60;
constexpr int32_t SsscBadClassName = 61;
constexpr int32_t SsscBadNodeClassName = 62;
constexpr int32_t SsscBadCompare = 63;
constexpr int32_t SsscTooManyCols = 64;
constexpr int32_t SsscBadColCount = 65;
constexpr int32_t SsscBadElSize = 66;
constexpr int32_t SsscBadDups = 67;
// Files and version information.
constexpr int32_t SsscFileOpen = 73;
constexpr int32_t SsscNoVersionInfo = 100;
constexpr int32_t SsscVersionInfoRead = 101;
constexpr int32_t SsscVerInfoKeyNotFound = 134;
// Shell operations.
constexpr int32_t SsscShellVersionError = 110;
// List captions and folder errors.
constexpr int32_t SsscName = 230;
constexpr int32_t SsscSize = 231;
constexpr int32_t SsscType = 232;
constexpr int32_t SsscModified = 233;
constexpr int32_t SsscAttributes = 234;
constexpr int32_t SsscFileFolder = 235;
constexpr int32_t SsscSystemFolder = 236;
constexpr int32_t SsscOriginalLoc = 237;
constexpr int32_t SsscDateDeleted = 238;
constexpr int32_t SsscFile = 239;
constexpr int32_t SsscInvalidFolder = 240;
constexpr int32_t SsscFolderReadOnly = 241;
constexpr int32_t SsscInvalidSortDir = 242;
// Buffered and text streams.
constexpr int32_t SsscNilStream = 270;
constexpr int32_t SsscBadLineTerm = 274;
// Regular expressions.
constexpr int32_t SsscPatternError = 290;
constexpr int32_t SsscExpandingClass = 291;
constexpr int32_t SsscAlternationFollowsClosure = 292;
constexpr int32_t SsscUnbalancedParens = 293;
constexpr int32_t SsscFollowingClosure = 294;
constexpr int32_t SsscPatternSyntax = 295;
constexpr int32_t SsscUnbalancedTag = 296;
constexpr int32_t SsscNoPatterns = 297;
constexpr int32_t SsscPatternTooLong = 298;
constexpr int32_t SsscStreamsNil = 299;
constexpr int32_t SsscInTextStreamError = 300;
constexpr int32_t SsscOutTextStreamError = 301;
constexpr int32_t SsscClosureMaybeEmpty = 302;

// Texts used outside the table.
extern const char* const SsOnText;             // " on "
extern const char* const SsLargeIconsText;     // "Lar&ge Icons"
extern const char* const SsSmallIconsText;
extern const char* const SsListText;
extern const char* const SsDetailsText;
extern const char* const SsFileText;           // " file"
extern const char* const SsFilesText;
extern const char* const SsFolderText;
extern const char* const SsFoldersText;
extern const char* const SsObjectsText;
