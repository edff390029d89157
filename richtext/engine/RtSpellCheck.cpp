#include "RtSpellCheck.h"

#include <vector>

namespace {

struct TWordChar {
    TLine* Line;
    int32_t Index;
    int32_t Offset;   // offset in the paragraph
};

class TWordWalker {
public:
    TWordWalker(TRtRTFText& Text, TParagraph* Par, bool Force, const TRtSpellSetup& Setup, bool& Pending)
        : par_(Par), force_(Force), setup_(Setup), pending_(Pending)
    {
        cursorOffset_ = -1;
        if (Text.CursorPar == Par && Text.CursorLine) {
            int32_t offset = 0;
            for (const TLine* l = Par->Lines; l && l != Text.CursorLine; l = l->Next)
                offset += l->Length;
            cursorOffset_ = offset + Text.CursorPos;
        }
    }

    bool Run()
    {
        int32_t offset = 0;
        for (TLine* l = par_->Lines; l; l = l->Next) {
            if (!l->Attrs)
                return changed_;
            for (int32_t i = 0; i < l->Length; ++i, ++offset)
                if (!Step(l, i, offset))
                    return changed_;
        }
        CheckWord();
        return changed_;
    }

private:
    // One character of the paragraph; False at a code 0, which ends the walk.
    bool Step(TLine* Line, int32_t Index, int32_t Offset)
    {
        const uint8_t ch = Line->Chars[Index];
        const TAttr& attr = Line->Attrs[Index];
        if (word_.empty()) {
            email_ = web_ = false;
            if (ch == 0 || RtWordDelimiter[ch])
                return ch != 0;
            needsCheck_ = false;
            tooLong_ = false;
            Append(Line, Index, Offset, ch, attr);
            return true;
        }
        if ((text_str_ == "www" && ch == '.') ||
            ((text_str_ == "http" || text_str_ == "ftp" || text_str_ == "mailto") && ch == ':'))
            web_ = true;
        if (ch == 0) {
            CheckWord();
            return false;
        }
        // "@" belongs to the word, so that an e-mail address stays one word.
        const bool keeps = ch == '@' || (ch == '.' && (email_ || web_)) || ((ch == '/' || ch == ':') && web_);
        if (RtWordDelimiter[ch] && !keeps) {
            CheckWord();
            return true;
        }
        if (ch == '@')
            email_ = true;
        Append(Line, Index, Offset, ch, attr);
        return true;
    }

    void Append(TLine* Line, int32_t Index, int32_t Offset, uint8_t Ch, const TAttr& Attr)
    {
        if (int32_t(word_.size()) >= RtMaxSpellWord) {
            needsCheck_ = false;
            tooLong_ = true;
            return;
        }
        word_.push_back({Line, Index, Offset});
        text_str_.push_back(char(Ch));
        if (!Attr.Style.Has(afsWasChecked))
            needsCheck_ = true;
    }

    static uint8_t CharOf(const TWordChar& C) { return C.Line->Chars[C.Index]; }
    static TAttr& AttrOf(const TWordChar& C) { return C.Line->Attrs[C.Index]; }

    bool CursorInWord() const
    {
        return cursorOffset_ >= 0 && !word_.empty() && cursorOffset_ >= word_.front().Offset &&
               cursorOffset_ <= word_.back().Offset + 1;
    }

    void CheckWord()
    {
        CheckCollected();
        word_.clear();
        text_str_.clear();
        needsCheck_ = false;
        tooLong_ = false;
    }

    void CheckCollected()
    {
        if (word_.empty() || tooLong_)
            return;
        if (!needsCheck_ && !(force_ && CursorInWord()))
            return;
        // Trim delimiters kept by the address rules, then trailing hidden text.
        while (word_.size() > 1 && RtWordDelimiter[CharOf(word_.back())])
            word_.pop_back();
        size_t first = 0;
        while (first < word_.size() && RtWordDelimiter[CharOf(word_[first])])
            ++first;
        word_.erase(word_.begin(), word_.begin() + std::ptrdiff_t(first));
        while (!word_.empty() && AttrOf(word_.back()).Style.Has(afsHidden))
            word_.pop_back();
        if (word_.empty())
            return;
        AnsiString word;
        for (const TWordChar& c : word_)
            word.push_back(char(CharOf(c)));

        TSpellCheckResult result{spIgnored};
        TSpellCheckHyphen hyphen{};
        bool atCursor = false;
        if (setup_.SkipWordAtCursor && CursorInWord()) {
            atCursor = true;
            pending_ = true;
            AttrOf(word_.front()).Style.Exclude(afsWasChecked);
            result = TSpellCheckResult();
        } else if ((AttrOf(word_.front()).Style.Has(afsHyperLink) && !setup_.CheckHyperlinkWords) || web_ ||
                   email_) {
            result = TSpellCheckResult();
        } else if (setup_.OnSpellCheckWord) {
            setup_.OnSpellCheckWord(setup_.Sender, word, result, hyphen);
        }
        if (result.Has(spIgnored))
            return;
        size_t nextHyphen = 0;
        for (size_t i = 0; i < word_.size(); ++i) {
            TAttr& a = AttrOf(word_[i]);
            if (!atCursor)
                a.Style.Include(afsWasChecked);
            a.Style.Exclude(afsHyphen);
            const bool mis = result.Has(spMisSpelled);
            if (a.Style.Has(afsMisSpelled) != mis) {
                a.Style.Set(afsMisSpelled, mis);
                changed_ = true;
            }
            if (result.Has(spHyphenate) && i >= 1 && nextHyphen < hyphen.size() && hyphen[nextHyphen] > 0 &&
                int32_t(i) == hyphen[nextHyphen]) {
                a.Style.Include(afsHyphen);
                ++nextHyphen;
            }
        }
    }

    TParagraph* par_;
    bool force_;
    const TRtSpellSetup& setup_;
    bool& pending_;
    int32_t cursorOffset_;
    std::vector<TWordChar> word_;
    AnsiString text_str_;
    bool needsCheck_ = false;
    bool tooLong_ = false;
    bool email_ = false;
    bool web_ = false;
    bool changed_ = false;
};

} // namespace

bool RtSpellCheckWords(TRtRTFText& Text, TParagraph* Par, bool Force, const TRtSpellSetup& Setup,
                       bool& CursorWordPending)
{
    if (!Par || !Par->Lines || !Par->Lines->Attrs)
        return false;
    return TWordWalker(Text, Par, Force, Setup, CursorWordPending).Run();
}
