#pragma once
// Numbering styles of a text: the number texts of numbered and outline
// paragraphs, plain numbering and outline groups of nine levels.
#include "AnsiString.h"
#include "Object.h"
#include "RtDefs.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class TRtRTFText;
class TRtRTFNumberingStyleCollection;

// Bit 0 keeps a style when the defaults are rebuilt.
using TRtRTFNumberingStyleLocked = uint8_t;

class TRtRTFNumberingStyle : public TObject {
public:
    LUMI_CLASSNAME(TRtRTFNumberingStyle)
    explicit TRtRTFNumberingStyle(TRtRTFNumberingStyleCollection* Collection);

    // Copies everything but IndentLeft and IndentFirst.
    void Assign(const TRtRTFNumberingStyle& Source);
    AnsiString GetDisplayName() const;
    // True when the style shows numbers so (the font compared without case).
    bool Matches(TRtNumberStyle Style, const AnsiString& TextB, int32_t Level, int32_t Group, bool UsePrev,
                 int32_t Size, int32_t Indent, const AnsiString& Font, const AnsiString& TextA) const;
    // TextB, the number in Style, TextA.
    AnsiString NumberText(int32_t Number) const;
    void SetFont(const AnsiString& Name) { Font = Name; }
    TRtRTFNumberingStyleCollection* Collection() const { return collection_; }

    AnsiString TextB;
    AnsiString TextA;
    AnsiString Font;
    int32_t Size = 0;
    TRtNumberStyle Style = rt_none;
    int32_t Indent = 0;
    int32_t IndentLeft = 0;
    int32_t IndentFirst = 0;
    bool UsePrev = false;
    int32_t Number = 0;
    int32_t Group = 0;
    int32_t LevelInGroup = 0;
    TRtRTFNumberingStyleLocked Locked = 0;
    // Run-time counter of the numbering pass.
    int32_t Counter = 0;

private:
    TRtRTFNumberingStyleCollection* collection_;
};

// The number Value in a numbering style, without the texts around it.
AnsiString RtNumberString(TRtNumberStyle Style, int32_t Value);

class TRtRTFNumberingStyleCollection : public TObject {
public:
    LUMI_CLASSNAME(TRtRTFNumberingStyleCollection)
    explicit TRtRTFNumberingStyleCollection(TRtRTFText* Owner) : Owner(Owner) {}

    int32_t Count() const { return int32_t(items_.size()); }
    TRtRTFNumberingStyle* GetItem(int32_t Index) const;
    // A new style whose Number is the highest so far + 1, at least 20.
    TRtRTFNumberingStyle* Add();
    void Delete(int32_t Index);
    void Clear() { items_.clear(); levels_.fill(nullptr); }

    TRtRTFNumberingStyle* FindStyle(int32_t Number, int32_t Level) const;
    TRtRTFNumberingStyle* FindForPar(const TParagraph* Par) const;
    // The style of a group's level (level capped at 9), added when missing; nil for Group < 1.
    TRtRTFNumberingStyle* GetOutlineStyle(int32_t Group, int32_t Level);
    int32_t FindOrAddStyle(TRtNumberStyle Style, const AnsiString& TextB, int32_t Level, int32_t Group,
                           bool UsePrev, int32_t Size, int32_t Indent, const AnsiString& Font,
                           const AnsiString& TextA);
    // Fills the nine level slots with the group's first style of each level.
    int32_t SelectGroup(int32_t Group);
    TRtRTFNumberingStyle* LevelSlot(int32_t Level) const
    {
        return Level >= 1 && Level <= 9 ? levels_[size_t(Level - 1)] : nullptr;
    }
    void DeleteUnlocked();
    void InitDefaults(bool Keep);

    TRtRTFText* Owner;

private:
    TRtRTFNumberingStyle* FindLevel(int32_t Group, int32_t Level) const;
    std::vector<std::unique_ptr<TRtRTFNumberingStyle>> items_;
    std::array<TRtRTFNumberingStyle*, 9> levels_{};
};
