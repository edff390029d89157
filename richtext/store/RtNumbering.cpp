#include "RtNumbering.h"

#include "SysUtils.h"

#include <algorithm>

namespace {

// Letters count bijectively: a..z, aa..az, ba.., zz, then from "a" again.
AnsiString Letters(int32_t Value)
{
    if (Value < 1)
        return AnsiString();
    int32_t v = (Value - 1) % 702 + 1;
    AnsiString s;
    if (v > 26) {
        s += char('a' + (v - 1) / 26 - 1);
        v = (v - 1) % 26 + 1;
    }
    s += char('a' + v - 1);
    return s;
}

// Additive roman numbers ("xxxx" for 40) in lower case.
AnsiString Roman(int32_t Value)
{
    if (Value < 1)
        return AnsiString();
    static const char* const units[] = {"", "i", "ii", "iii", "iv", "v", "vi", "vii", "viii", "ix"};
    AnsiString s(size_t(Value / 1000), 'm');
    int32_t rest = Value % 1000;
    if (rest >= 500) {
        s += 'd';
        rest -= 500;
    }
    s.append(size_t(rest / 100), 'c');
    rest %= 100;
    if (rest >= 50) {
        s += 'l';
        rest -= 50;
    }
    s.append(size_t(rest / 10), 'x');
    s += units[rest % 10];
    return s;
}

} // namespace

AnsiString RtNumberString(TRtNumberStyle Style, int32_t Value)
{
    switch (Style) {
    case rt_a:
        return Letters(Value);
    case rt_lg_a:
        return UpperCase(Letters(Value));
    case rt_i:
        return Roman(Value);
    case rt_lg_i:
        return UpperCase(Roman(Value));
    case rt_1:
        return IntToStr(Value);
    default:
        return AnsiString();
    }
}

// ---- TRtRTFNumberingStyle ---------------------------------------------------------------

TRtRTFNumberingStyle::TRtRTFNumberingStyle(TRtRTFNumberingStyleCollection* Collection)
    : collection_(Collection)
{
}

void TRtRTFNumberingStyle::Assign(const TRtRTFNumberingStyle& Source)
{
    Number = Source.Number;
    TextB = Source.TextB;
    TextA = Source.TextA;
    Font = Source.Font;
    Size = Source.Size;
    Style = Source.Style;
    Indent = Source.Indent;
    UsePrev = Source.UsePrev;
    Group = Source.Group;
    Locked = Source.Locked;
    LevelInGroup = Source.LevelInGroup;
}

bool TRtRTFNumberingStyle::Matches(TRtNumberStyle Style, const AnsiString& TextB, int32_t Level, int32_t Group,
                                   bool UsePrev, int32_t Size, int32_t Indent, const AnsiString& Font,
                                   const AnsiString& TextA) const
{
    return this->Style == Style && this->TextB == TextB && LevelInGroup == Level && this->Group == Group
           && this->UsePrev == UsePrev && this->Size == Size && this->Indent == Indent && SameText(this->Font, Font)
           && this->TextA == TextA;
}

AnsiString TRtRTFNumberingStyle::NumberText(int32_t Value) const
{
    return TextB + RtNumberString(Style, Value) + TextA;
}

AnsiString TRtRTFNumberingStyle::GetDisplayName() const
{
    const bool locked = (Locked & 1) != 0;
    AnsiString s = IntToStr(Number) + (locked ? "= " : "=  ") + "\"" + NumberText(1) + "\"";
    AnsiString notes;
    if (Number < 20)
        notes += "reserved number ";
    if (Group >= 1 && collection_) {
        notes += " <in group " + IntToStr(Group) + "> ";
        TRtRTFNumberingStyle* own = nullptr;
        for (int32_t level = 1; level <= 9; ++level) {
            TRtRTFNumberingStyle* slot = nullptr;
            for (int32_t i = 0; i < collection_->Count() && !slot; ++i) {
                TRtRTFNumberingStyle* st = collection_->GetItem(i);
                if (st->Group == Group && st->LevelInGroup == level)
                    slot = st;
            }
            if (slot)
                notes += slot->NumberText(1);
            notes += level < 9 ? " " : "";
            if (level == LevelInGroup)
                own = slot;
        }
        if (own != this)
            notes += "not used, level=" + IntToStr(LevelInGroup);
    }
    if (!locked)
        notes += "not locked";
    if (!notes.empty())
        s += "  <" + notes + ">";
    return s;
}

// ---- TRtRTFNumberingStyleCollection -------------------------------------------------------

TRtRTFNumberingStyle* TRtRTFNumberingStyleCollection::GetItem(int32_t Index) const
{
    return Index >= 0 && Index < Count() ? items_[size_t(Index)].get() : nullptr;
}

TRtRTFNumberingStyle* TRtRTFNumberingStyleCollection::Add()
{
    int32_t highest = 0;
    for (const auto& st : items_)
        highest = std::max(highest, st->Number);
    items_.push_back(std::make_unique<TRtRTFNumberingStyle>(this));
    items_.back()->Number = std::max(highest + 1, 20);
    return items_.back().get();
}

void TRtRTFNumberingStyleCollection::Delete(int32_t Index)
{
    if (Index < 0 || Index >= Count())
        return;
    TRtRTFNumberingStyle* st = items_[size_t(Index)].get();
    for (auto& slot : levels_)
        if (slot == st)
            slot = nullptr;
    items_.erase(items_.begin() + Index);
}

TRtRTFNumberingStyle* TRtRTFNumberingStyleCollection::FindLevel(int32_t Group, int32_t Level) const
{
    for (const auto& st : items_)
        if (st->Group == Group && st->LevelInGroup == Level)
            return st.get();
    return nullptr;
}

TRtRTFNumberingStyle* TRtRTFNumberingStyleCollection::FindStyle(int32_t Number, int32_t Level) const
{
    TRtRTFNumberingStyle* found = nullptr;
    for (const auto& st : items_) {
        if (Number >= 0 ? st->Number == Number : st->Group == 1 && (Level < 1 || st->LevelInGroup == Level)) {
            found = st.get();
            break;
        }
    }
    if (found && found->Group >= 1 && Level >= 1 && Level != found->LevelInGroup)
        if (TRtRTFNumberingStyle* other = FindLevel(found->Group, Level))
            found = other;
    return found;
}

TRtRTFNumberingStyle* TRtRTFNumberingStyleCollection::FindForPar(const TParagraph* Par) const
{
    return Par ? FindStyle(Par->Number, Par->NumLevel) : nullptr;
}

TRtRTFNumberingStyle* TRtRTFNumberingStyleCollection::GetOutlineStyle(int32_t Group, int32_t Level)
{
    if (Group < 1)
        return nullptr;
    Level = std::clamp(Level, 1, 9);
    if (TRtRTFNumberingStyle* st = FindLevel(Group, Level))
        return st;
    TRtRTFNumberingStyle* st = Add();
    st->Group = Group;
    st->LevelInGroup = Level;
    return st;
}

int32_t TRtRTFNumberingStyleCollection::FindOrAddStyle(TRtNumberStyle Style, const AnsiString& TextB,
                                                       int32_t Level, int32_t Group, bool UsePrev, int32_t Size,
                                                       int32_t Indent, const AnsiString& Font,
                                                       const AnsiString& TextA)
{
    for (const auto& st : items_)
        if (st->Matches(Style, TextB, Level, Group, UsePrev, Size, Indent, Font, TextA))
            return st->Number;
    TRtRTFNumberingStyle* st = Add();
    st->Style = Style;
    st->TextB = TextB;
    st->LevelInGroup = Level;
    st->Group = Group;
    st->UsePrev = UsePrev;
    st->Size = Size;
    st->Indent = Indent;
    st->Font = Font;
    st->TextA = TextA;
    return st->Number;
}

int32_t TRtRTFNumberingStyleCollection::SelectGroup(int32_t Group)
{
    int32_t found = 0;
    for (int32_t level = 1; level <= 9; ++level) {
        levels_[size_t(level - 1)] = FindLevel(Group, level);
        found += levels_[size_t(level - 1)] ? 1 : 0;
    }
    return found;
}

void TRtRTFNumberingStyleCollection::DeleteUnlocked()
{
    for (int32_t i = Count() - 1; i >= 0; --i)
        if ((items_[size_t(i)]->Locked & 1) == 0)
            Delete(i);
}

void TRtRTFNumberingStyleCollection::InitDefaults(bool Keep)
{
    DeleteUnlocked();
    if (Keep && Count() > 0)
        return;
    auto add = [this](int32_t number, TRtNumberStyle style, const AnsiString& textB, const AnsiString& font,
                      const AnsiString& textA) {
        TRtRTFNumberingStyle* st = Add();
        if (number > 0)
            st->Number = number;
        st->Style = style;
        st->TextB = textB;
        st->Font = font;
        st->TextA = textA;
        st->Indent = 360;
        return st;
    };
    static const TRtNumberStyle plain[] = {rt_bullet, rt_lg_a, rt_a, rt_lg_i, rt_i, rt_1};
    for (int32_t n = 1; n <= 6; ++n) {
        if (FindStyle(n, 0))
            continue;
        if (n == 1)
            add(n, plain[0], AnsiString(1, RtDefaultBulletChar), RtDefaultBulletFont, "");
        else
            add(n, plain[n - 1], "", "", n <= 3 ? ")" : ".");
    }
    for (const char* bullet : {"p", "n", "v"})
        add(0, rt_bullet, bullet, "WingDings", "");
    bool hasGroup1 = std::any_of(items_.begin(), items_.end(), [](const auto& st) { return st->Group == 1; });
    if (!hasGroup1) {
        struct Level {
            TRtNumberStyle style;
            const char* textB;
            const char* textA;
        };
        static const Level levels[9] = {{rt_lg_i, "", "."}, {rt_lg_a, "", "."}, {rt_1, "", "."},
                                        {rt_a, "", ")"},    {rt_i, "(", ")"},   {rt_a, "(", ")"},
                                        {rt_1, "(", ")"},   {rt_1, "(", ")"},   {rt_1, "(", ")"}};
        for (int32_t l = 0; l < 9; ++l) {
            TRtRTFNumberingStyle* st = add(0, levels[l].style, levels[l].textB, "", levels[l].textA);
            st->Group = 1;
            st->LevelInGroup = l + 1;
        }
    }
}
