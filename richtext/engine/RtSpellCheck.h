#pragma once
// Spell checking as you type: cuts a paragraph into words, hands each word
// that has not been checked yet to the owner's checker and stores the answer
// in the character attributes (afsMisSpelled, afsWasChecked, afsHyphen). Web
// and e-mail addresses are recognised and never reported as misspelled; the
// word at the cursor can be left alone until the cursor leaves it.
#include "RtRtfTxt.h"

#include <array>
#include <functional>

enum TSpellCheckResultItem : uint8_t { spIgnored, spMisSpelled, spHyphenate };
using TSpellCheckResult = TRtSet<TSpellCheckResultItem, uint8_t>;
// Hyphenation positions in the word, ascending; 0 ends the list.
using TSpellCheckHyphen = std::array<int32_t, 8>;
using TSpellCheckWordEvent = std::function<void(TObject* Sender, const AnsiString& Word, TSpellCheckResult& Result,
                                                TSpellCheckHyphen& Hyphen)>;
using TSpellCheckParEvent = std::function<void(TObject* Sender, TParagraph* Par)>;

// Longest word handed to the checker.
constexpr int32_t RtMaxSpellWord = 254;

// What one paragraph check needs of its engine.
struct TRtSpellSetup {
    TObject* Sender = nullptr;              // the owner control
    TSpellCheckWordEvent OnSpellCheckWord;
    bool SkipWordAtCursor = false;
    bool CheckHyperlinkWords = false;
};

// Checks the words of Par. Sets CursorWordPending when the word at the cursor
// was left for later. Result: whether an afsMisSpelled mark changed.
bool RtSpellCheckWords(TRtRTFText& Text, TParagraph* Par, bool Force, const TRtSpellSetup& Setup,
                       bool& CursorWordPending);
