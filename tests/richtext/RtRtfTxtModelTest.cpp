// A seeded random sequence of edits on the store, checked after every step
// against a plain model of the text (paragraphs of characters, one attribute
// each) and against the store's own invariants.
#include "RtRtfTxt.h"
#include "RtTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

struct TModelChar {
    char Ch;
    int Attr;  // 0..7, see AttrOf
    bool operator==(const TModelChar&) const = default;
};
using TModelPar = std::vector<TModelChar>;
using TModel = std::vector<TModelPar>;

// The model attribute of an entry, -1 when it is none of them.
int KindOf(const TAttr& A)
{
    for (int k = 0; k < 8; ++k) {
        const TAttr m = AttrOf(k);
        if (A.Font == m.Font && A.TextColor == m.TextColor && A.Size == m.Size &&
            (A.Style - WrtStyle{afsWasChecked}) == m.Style)
            return k;
    }
    return -1;
}

class TModelRun {
public:
    explicit TModelRun(uint32_t Seed) : rng_(Seed)
    {
        text_.ConstructionFlag = false;  // character attributes are stored as layout would
        text_.CurrentAttr = AttrOf(0);
        text_.Clear();
        model_.assign(1, TModelPar{});
    }

    void Step(int I)
    {
        const int op = Pick(100);
        std::ostringstream what;
        if (op < 35)
            Insert(what);
        else if (op < 55)
            Delete(what);
        else if (op < 63)
            Split(what);
        else if (op < 70)
            InsertText(what);
        else if (op < 76)
            DeleteCount(what);
        else if (op < 80)
            DeleteRange(what);
        else if (op < 90)
            ChangeAttr(what);
        else if (op < 94)
            Replace(what);
        else if (op < 96)
            Paste(what);
        else if (op < 98)
            Cursor(what);
        else
            FormatRoundTrip(what);
        Check(I, what.str());
    }

    int Checked() const { return checked_; }

private:
    int Pick(int N) { return int(rng_() % uint32_t(N)); }
    char RandomChar() { return char('a' + Pick(26)); }

    int ParLen(int P) const { return int(model_[size_t(P)].size()); }
    TParagraph* Par(int P) const { return text_.GetParByIndex(P); }

    // The line and offset of a paragraph position: the line that holds the
    // character there, or the end of the last line.
    TLine* LineOf(TParagraph* Par, int Pos, int& Offset) const
    {
        TLine* l = Par->Lines;
        while (l->Next && Pos >= l->Length) {
            Pos -= l->Length;
            l = l->Next;
        }
        Offset = Pos;
        return l;
    }

    // Sometimes the same place as the end of the line before.
    TLine* MaybeLineEnd(TLine* L, int& Offset)
    {
        if (Offset == 0 && L->Prior && Pick(2) == 0) {
            Offset = L->Prior->Length;
            return L->Prior;
        }
        return L;
    }

    void Insert(std::ostringstream& What)
    {
        const int p = Pick(int(model_.size()));
        const int pos = Pick(ParLen(p) + 1);
        const int k = Pick(8);
        const char ch = RandomChar();
        What << "insert '" << ch << "' at " << p << ":" << pos;
        const TAttr a = AttrOf(k);
        ASSERT_TRUE(text_.InsertChar(Par(p), nullptr, &a, uint8_t(ch), pos));
        model_[size_t(p)].insert(model_[size_t(p)].begin() + pos, TModelChar{ch, k});
    }

    void Delete(std::ostringstream& What)
    {
        const int p = Pick(int(model_.size()));
        const int pos = Pick(ParLen(p) + 1);
        What << "delete at " << p << ":" << pos;
        TParagraph* par = Par(p);
        int off = 0;
        TLine* l = LineOf(par, pos, off);
        if (pos < ParLen(p))
            l = MaybeLineEnd(l, off);
        text_.DeleteChar(par, l, off);
        if (pos < ParLen(p))
            model_[size_t(p)].erase(model_[size_t(p)].begin() + pos);
        else if (size_t(p + 1) < model_.size()) {
            auto& cur = model_[size_t(p)];
            const auto& next = model_[size_t(p + 1)];
            cur.insert(cur.end(), next.begin(), next.end());
            model_.erase(model_.begin() + p + 1);
        }
    }

    void Split(std::ostringstream& What)
    {
        const int p = Pick(int(model_.size()));
        const int pos = Pick(ParLen(p) + 1);
        What << "split at " << p << ":" << pos;
        TParagraph* par = Par(p);
        int off = 0;
        TLine* l = MaybeLineEnd(LineOf(par, pos, off), off);
        ASSERT_TRUE(text_.SplitPar(par, l, off));
        TModelPar rest(model_[size_t(p)].begin() + pos, model_[size_t(p)].end());
        model_[size_t(p)].resize(size_t(pos));
        model_.insert(model_.begin() + p + 1, rest);
    }

    void InsertText(std::ostringstream& What)
    {
        const int p = Pick(int(model_.size()));
        const int pos = Pick(ParLen(p) + 1);
        const int n = 1 + Pick(6);
        const int k = Pick(8);
        std::string s;
        for (int i = 0; i < n; ++i)
            s += RandomChar();
        What << "insert text '" << s << "' at " << p << ":" << pos;
        const TAttr a = AttrOf(k);
        text_.InsertTextAt(Par(p), pos, &a, s.c_str());
        auto& par = model_[size_t(p)];
        for (int i = 0; i < n; ++i)
            par.insert(par.begin() + pos + i, TModelChar{s[size_t(i)], k});
    }

    void DeleteCount(std::ostringstream& What)
    {
        const int p = Pick(int(model_.size()));
        const int pos = Pick(ParLen(p) + 1);
        const int n = 1 + Pick(5);
        What << "delete " << n << " at " << p << ":" << pos;
        text_.DeleteTextAt(Par(p), pos, n);
        auto& par = model_[size_t(p)];
        par.erase(par.begin() + pos, par.begin() + std::min(pos + n, ParLen(p)));
    }

    void DeleteRange(std::ostringstream& What)
    {
        int p1 = Pick(int(model_.size()));
        int p2 = std::min(int(model_.size()) - 1, p1 + Pick(3));
        int a = Pick(ParLen(p1) + 1);
        int b = Pick(ParLen(p2) + 1);
        if (p1 == p2 && b < a)
            std::swap(a, b);
        What << "delete range " << p1 << ":" << a << " - " << p2 << ":" << b;
        TParagraph* from = Par(p1);
        TParagraph* to = Par(p2);
        int offA = 0, offB = 0;
        TLine* la = LineOf(from, a, offA);
        TLine* lb = LineOf(to, b, offB);
        if (p1 == p2 && la != lb) {
            // A range over lines of one paragraph goes by count.
            text_.DeleteTextAt(from, a, b - a);
        } else {
            text_.DeleteTextRange(from, to, offB, offA, la, lb);
        }
        auto& first = model_[size_t(p1)];
        if (p1 == p2) {
            first.erase(first.begin() + a, first.begin() + b);
        } else {
            TModelPar tail(model_[size_t(p2)].begin() + b, model_[size_t(p2)].end());
            first.resize(size_t(a));
            first.insert(first.end(), tail.begin(), tail.end());
            model_.erase(model_.begin() + p1 + 1, model_.begin() + p2 + 1);
        }
    }

    void ChangeAttr(std::ostringstream& What)
    {
        const int p = Pick(int(model_.size()));
        if (ParLen(p) == 0)
            return;
        const int pos = Pick(ParLen(p));
        const int k = Pick(8);
        What << "attribute " << k << " at " << p << ":" << pos;
        int off = 0;
        TLine* l = LineOf(Par(p), pos, off);
        text_.SetCharAttr(l, off, AttrOf(k));
        model_[size_t(p)][size_t(pos)].Attr = k;
    }

    void Replace(std::ostringstream& What)
    {
        const int p = Pick(int(model_.size()));
        const int pos = Pick(ParLen(p) + 1);
        int off = 0;
        TLine* l = LineOf(Par(p), pos, off);
        const int oldCount = std::min(Pick(4), int(l->Length) - off);
        const int newCount = Pick(4);
        const int k = Pick(8);
        std::string s;
        for (int i = 0; i < newCount; ++i)
            s += RandomChar();
        What << "replace " << oldCount << " at " << p << ":" << pos << " by '" << s << "'";
        const TAttr a = AttrOf(k);
        text_.ReplaceChars(Par(p), l, &a, newCount, reinterpret_cast<const uint8_t*>(s.data()), oldCount, off);
        auto& par = model_[size_t(p)];
        par.erase(par.begin() + pos, par.begin() + pos + oldCount);
        for (int i = 0; i < newCount; ++i)
            par.insert(par.begin() + pos + i, TModelChar{s[size_t(i)], k});
    }

    // A detached chain of paragraphs merged in, as readers insert loaded text.
    void Paste(std::ostringstream& What)
    {
        const int p = Pick(int(model_.size()));
        const int pos = Pick(ParLen(p) + 1);
        const int k = Pick(8);
        const TAttr a = AttrOf(k);
        TRtRTFText source;
        std::vector<TModelPar> pasted;
        const int count = 1 + Pick(3);
        TParagraph* last = source.FirstPar;
        What << "paste";
        for (int i = 0; i < count; ++i) {
            std::string s;
            for (int n = Pick(5); n > 0; --n)
                s += RandomChar();
            What << " '" << s << "'";
            if (i > 0)
                source.InsertPar(last, 8);
            source.AddParText(i, reinterpret_cast<const uint8_t*>(s.data()), &a, int32_t(s.size()));
            TModelPar mp;
            for (char c : s)
                mp.push_back(TModelChar{c, k});
            pasted.push_back(mp);
        }
        What << " at " << p << ":" << pos;
        TParagraph* chain = source.FirstPar;
        source.FirstPar = nullptr;
        TParagraph* par = Par(p);
        int off = 0;
        TLine* line = MaybeLineEnd(LineOf(par, pos, off), off);
        int32_t off32 = off;
        text_.InsertParagraphs(par, line, off32, chain);
        TModelPar right(model_[size_t(p)].begin() + pos, model_[size_t(p)].end());
        model_[size_t(p)].resize(size_t(pos));
        model_[size_t(p)].insert(model_[size_t(p)].end(), pasted[0].begin(), pasted[0].end());
        for (size_t i = 1; i < pasted.size(); ++i)
            model_.insert(model_.begin() + p + int(i), pasted[i]);
        auto& end = model_[size_t(p) + pasted.size() - 1];
        end.insert(end.end(), right.begin(), right.end());
    }

    void Cursor(std::ostringstream& What)
    {
        int total = 0;
        for (const TModelPar& par : model_)
            total += int(par.size()) + 1;
        const int pos = Pick(total);
        What << "cursor to " << pos;
        text_.SetCursorCharPos(pos);
        EXPECT_EQ(text_.GetCursorCharPos(), std::min(pos, total - 1));
    }

    void FormatRoundTrip(std::ostringstream& What)
    {
        What << "plain text and back";
        text_.SetMemoryFormat(1);
        text_.CurrentAttr = AttrOf(Pick(8));
        text_.SetMemoryFormat(0);
        const int k = KindOf(text_.CurrentAttr);
        for (TModelPar& par : model_)
            for (TModelChar& c : par)
                c.Attr = k;
    }

    void Check(int I, const std::string& What)
    {
        SCOPED_TRACE("step " + std::to_string(I) + ": " + What);
        ASSERT_FALSE(::testing::Test::HasFatalFailure());
        TParagraph* first = text_.FirstPar;
        ASSERT_NE(first, nullptr);
        ASSERT_EQ(first->Prior, nullptr);
        size_t n = 0;
        bool cursorFound = text_.CursorPar == nullptr;
        for (TParagraph* p = first; p; p = p->Next, ++n) {
            if (p->Next) {
                ASSERT_EQ(p->Next->Prior, p);
            }
            ASSERT_NE(p->Lines, nullptr);
            ASSERT_EQ(p->Lines->Prior, nullptr);
            ASSERT_LT(n, model_.size());
            TModelPar actual;
            for (TLine* l = p->Lines; l; l = l->Next) {
                if (l->Next) {
                    ASSERT_EQ(l->Next->Prior, l);
                }
                ASSERT_LT(l->Length, l->Capacity);
                ASSERT_LE(l->Capacity, RtMaxLineCapacity);
                ASSERT_EQ(l->Chars[l->Length], 0);
                ASSERT_NE(l->Attrs, nullptr);
                for (int i = 0; i < l->Length; ++i)
                    actual.push_back(TModelChar{char(l->Chars[i]), KindOf(l->Attrs[i])});
                if (p == text_.CursorPar && l == text_.CursorLine)
                    cursorFound = true;
            }
            ASSERT_EQ(actual, model_[n]) << "paragraph " << n;
        }
        ASSERT_EQ(n, model_.size());
        ASSERT_TRUE(cursorFound) << "the cursor line lies outside its paragraph";
        ++checked_;
    }

    std::mt19937 rng_;
    TRtRTFText text_;
    TModel model_;
    int checked_ = 0;
};

}  // namespace

TEST(RtRTFTextModel, RandomEditsMatchAPlainModel)
{
    TestPlatform();
    for (uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TModelRun run(seed);
        for (int i = 0; i < 3000; ++i) {
            run.Step(i);
            if (::testing::Test::HasFatalFailure())
                return;
        }
        EXPECT_EQ(run.Checked(), 3000);
    }
}
