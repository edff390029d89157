#pragma once
// The positions into a text that live across calls: a paragraph, a line and
// an offset (or a paragraph alone), and references to embedded objects.
// Their holders register them with the text; the code that frees or moves
// paragraphs, lines and objects moves or clears them here, so that no holder
// is left on freed memory.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TParagraph;
struct TLine;
struct TTextObj;
class TRtObjectBase;

class TRtLivePositions {
public:
    using TVisitor = std::function<void(TParagraph*& Par, TLine*& Line, int32_t& Pos)>;

    // Registers the fields of a position; a paragraph alone has no line and offset.
    // A position stands on the character behind it: where the lines are built anew, one at a
    // line's end goes to the next line's start. Characters put in where a caret stands go
    // behind it (its holder moves it), those put in where another position stands go before it.
    void Add(TParagraph*& Par, TLine*& Line, int32_t& Pos, bool Caret = false);
    void Add(TParagraph*& Par);
    void Add(TTextObj*& Entry);
    void Add(TRtObjectBase*& Object);
    // Forgets every field that lies in the Size bytes at Holder (a holder that goes).
    void Remove(const void* Holder, size_t Size);
    // Positions kept in many records (object anchors), walked on every change of lines and paragraphs.
    std::function<void(const TVisitor& Visit)> ForEachExtra;
    // Those of them that lie on Line (walked on every change of a line's characters).
    std::function<void(const TLine* Line, const TVisitor& Visit)> ForEachExtraOn;
    // Told when an object reference goes, after the fields were cleared (frames that show it).
    std::function<void(const TTextObj* Entry, const TRtObjectBase* Object)> OnObjectGoes;

    // Paragraph Par goes: what points into it moves to the start of To, or is cleared without To.
    void ParagraphGoes(const TParagraph* Par, TParagraph* To);
    // The paragraphs of the chain from First go: what points into them is cleared, in one walk.
    void ChainGoes(const TParagraph* First);
    // Line goes from its paragraph: what points into it moves to To at ToPos
    // (clamped to To's length), or to no line without To.
    void LineGoes(const TLine* Line, TLine* To, int32_t ToPos);
    // Line is cut at At: what lies on the characters from At on moves with them to Rest, the
    // cut-off part, and so does what lies at the end of the line before when At is 0; a caret
    // at At stays at the end of Line.
    void LineSplits(const TLine* Line, int32_t At, TLine* Rest);
    // Count characters are put into Line at At: a position on a character from At on stays on
    // it, and so does one at the end of the line before when At is 0; a caret at At stays before
    // them (its holder moves it).
    void CharsInserted(TLine* Line, int32_t At, int32_t Count);
    // The Count characters of Line from At go: positions behind them move back, those on them
    // go to At.
    void CharsDeleted(const TLine* Line, int32_t At, int32_t Count);
    // The characters of Line from Skip on are appended to To at At: what points into Line follows them.
    void LineJoins(const TLine* Line, TLine* To, int32_t At, int32_t Skip);
    // Lines of From became To's: what points at them from From belongs to To.
    void LinesMove(const TParagraph* From, TParagraph* To);
    // From's lines were joined to To's and From goes: what points at them belongs to
    // To, the other positions of From go to To's start.
    void ParagraphJoins(const TParagraph* From, TParagraph* To);
    // The lines of Par are built anew: first the offsets in the line characters
    // of the positions in Par (the start for one on no line of Par), none at all
    // when no position is in Par; then, on the new lines from FirstLine, each
    // position that is still in Par at its offset (one not seen or changed since
    // at the start), never between the two bytes of a double-byte character.
    struct TKeptOffsets {
        std::vector<int32_t> Offsets;
        // The holder of each offset (its paragraph field, in ascending order) with its line and
        // offset in it: a holder changed since, or a new one in the same place, is not matched.
        struct THolder {
            const void* Par;
            const TLine* Line;
            int32_t Pos;
        };
        std::vector<THolder> Holders;
    };
    TKeptOffsets OffsetsIn(const TParagraph* Par);
    void PlaceOffsets(TParagraph* Par, TLine* FirstLine, const TKeptOffsets& Kept);
    // The chains from Heads are about to change as a whole (undo and redo): each position in
    // them as an offset in its chain's characters, a paragraph end counting one, and those
    // characters.
    struct TChainOffsets {
        struct THeld {
            const void* Par;  // the holder's paragraph field
            size_t Chain;
            int32_t Offset;
        };
        std::vector<THeld> Held;            // in ascending order of the holders
        std::vector<std::u16string> Chars;  // of each chain, a paragraph end as 0x100
    };
    TChainOffsets ChainOffsetsIn(const std::vector<TParagraph*>& Heads);
    // After the change, with the heads of the same chains in the same order (nil for a chain that
    // went): each position held then goes back to its character, as an edit would move it: in
    // the changed middle of its chain, behind what came in; one in a chain that went is cleared.
    // The positions of Skip (those the change sets itself) stay.
    void PlaceInChains(const std::vector<TParagraph*>& Heads, const TChainOffsets& Kept,
                       const std::vector<const void*>& Skip);
    // An object reference (and its object, when no other reference shares it) goes.
    void ObjectGoes(const TTextObj* Entry, const TRtObjectBase* Object);

private:
    struct TPosition {
        TParagraph** Par;
        TLine** Line;
        int32_t* Pos;
        bool Caret;
    };
    // Every position, the registered ones and the extra ones: Fn(Par, Line, Pos, Caret).
    template <typename TFn>
    void Visit(const TFn& Fn);
    // The positions on Line, the registered ones and the extra ones: Fn(Line, Pos, Caret).
    template <typename TFn>
    void VisitLine(const TLine* Line, const TFn& Fn);
    // The positions but carets at the end of the lines before Line, across empty ones (the same
    // place in the paragraph's characters as Line's start), move to To at ToPos.
    void EndsBeforeGo(const TLine* Line, TLine* To, int32_t ToPos);
    std::vector<TPosition> positions_;
    std::vector<TTextObj**> entries_;
    std::vector<TRtObjectBase**> objects_;
};
