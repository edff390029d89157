#pragma once
// The data of shell items dragged to other programs: the identifier-list
// array of the shell, a file-drop list and the paths as text, with an
// enumerator of these formats.
#include "Ole.h"
#include "SsBase.h"

#include <QByteArray>
#include <memory>
#include <vector>

class QDrag;
class QDropEvent;
class QMimeData;

// Answers the drag loop while shell items are dragged out.
class TSsDropSource {
public:
    virtual ~TSsDropSource() = default;
    // DRAGDROP_S_CANCEL when Escape was pressed, DRAGDROP_S_DROP once the
    // left button is up, else S_OK (go on).
    virtual HRESULT QueryContinueDrag(bool escapePressed, int32_t keyState) const;
    // The default cursors, always.
    virtual HRESULT GiveFeedback(int32_t effect) const;
};

// The drag loop: runs the drag with the allowed effects, asking Source at
// each key and button change whether to go on, drop or cancel, and telling
// it each change of the effect. Answers the effect done (none when cancelled).
int32_t SsDoDragDrop(QDrag& drag, const TSsDropSource& source, int32_t allowedEffects);

// The enumerator of the data object's formats.
using TSsEnumFormatEtc = TStdEnumFormatEtc;

class TSsDataObject : public IDataObject {
public:
    // Item lists are relative to the parent of folderList (the caller keeps
    // them alive for the object's life). Their number has no limit: a drag of
    // many items carries every one of them.
    TSsDataObject(std::vector<const TSsIdList*> itemLists, const TSsIdList* folderList);

    HRESULT QueryGetData(const FORMATETC& format) override;
    // The block of a format in global memory; text is the items' paths, one a
    // line (8-bit, closed by a zero).
    HRESULT GetData(const FORMATETC& format, STGMEDIUM& medium) override;
    // The data is read only: E_NOTIMPL.
    HRESULT SetData(const FORMATETC& format, STGMEDIUM& medium, bool release) override;
    // For reading: an enumerator of the formats; for writing E_NOTIMPL.
    HRESULT EnumFormatEtc(uint32_t direction, std::unique_ptr<IEnumFORMATETC>& enumerator) override;
    const std::vector<FORMATETC>& Formats() const { return formats_; }
    // The paths of the items.
    QStringList Paths() const;
    // The data as a drag carries it: each format the object renders under
    // its MIME type, the file drop as a list of file URLs, the text as the
    // paths themselves (no character lost to the 8-bit code page).
    std::unique_ptr<QMimeData> CreateMimeData();

private:
    QByteArray IdListArray() const;
    QByteArray FileDropBlock() const;
    QByteArray TextBlock() const;
    PSsIdList parent_;
    std::vector<const TSsIdList*> items_;
    std::vector<FORMATETC> formats_;
    QByteArray idListCache_;
    QByteArray fileDropCache_;
    QByteArray textCache_;
};

// Answers a drag or drop event: accepted with the action of the effect (move
// before copy before link), refused when the effect is none.
void SsAnswerDrag(QDropEvent* e, int32_t effect);
