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
    // A caret at the end of a line that is built anew stands at the next line's start.
    void Add(TParagraph*& Par, TLine*& Line, int32_t& Pos, bool Caret = false);
    void Add(TParagraph*& Par);
    void Add(TTextObj*& Entry);
    void Add(TRtObjectBase*& Object);
    // Forgets every field that lies in the Size bytes at Holder (a holder that goes).
    void Remove(const void* Holder, size_t Size);
    // Positions kept in many records (object anchors), walked on every change.
    std::function<void(const TVisitor& Visit)> ForEachExtra;
    // Told when an object reference goes, after the fields were cleared (frames that show it).
    std::function<void(const TTextObj* Entry, const TRtObjectBase* Object)> OnObjectGoes;

    // Paragraph Par goes: what points into it moves to the start of To, or is cleared without To.
    void ParagraphGoes(const TParagraph* Par, TParagraph* To);
    // The paragraphs of the chain from First go: what points into them is cleared, in one walk.
    void ChainGoes(const TParagraph* First);
    // Line goes from its paragraph: what points into it moves to To at ToPos
    // (clamped to To's length), or to no line without To.
    void LineGoes(const TLine* Line, TLine* To, int32_t ToPos);
    // Line is cut at At: what lies behind At moves to Rest, the cut-off part.
    void LineSplits(const TLine* Line, int32_t At, TLine* Rest);
    // The characters of Line from Skip on are appended to To at At: what points into Line follows them.
    void LineJoins(const TLine* Line, TLine* To, int32_t At, int32_t Skip);
    // Lines of From became To's: what points at them from From belongs to To.
    void LinesMove(const TParagraph* From, TParagraph* To);
    // From's lines were joined to To's and From goes: what points at them belongs to
    // To, the other positions of From go to To's start.
    void ParagraphJoins(const TParagraph* From, TParagraph* To);
    // The lines of Par are built anew: first the offsets in the line characters
    // of the positions in Par (the start for one on no line of Par), -1 for the
    // others and none at all when no position is in Par; then, on the new lines
    // from FirstLine, the positions at those offsets.
    std::vector<int32_t> OffsetsIn(const TParagraph* Par);
    void PlaceOffsets(TParagraph* Par, TLine* FirstLine, const std::vector<int32_t>& Offsets);
    // The text of Par is about to change (from ChangePos in ChangeLine when known): the offsets
    // of its positions and the text they are in.
    struct TTextOffsets {
        std::vector<int32_t> Offsets;
        std::string Chars;
        int32_t ChangeFrom = INT32_MAX;
    };
    TTextOffsets TextOffsetsIn(const TParagraph* Par, const TLine* ChangeLine = nullptr, int32_t ChangePos = 0);
    // After the change, each position goes back to its character on Par's lines: the text's
    // unchanged start and end keep theirs, one in the changed middle goes to the middle's start.
    void PlaceOnText(TParagraph* Par, TTextOffsets Kept);
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
    std::vector<TPosition> positions_;
    std::vector<TTextObj**> entries_;
    std::vector<TRtObjectBase**> objects_;
};
