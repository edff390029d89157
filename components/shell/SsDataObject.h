#pragma once
// The data of shell items dragged to other programs: the identifier-list
// array of the shell, a file-drop list and (nominally) text, with an
// enumerator of these formats.
#include "SsBase.h"

#include <QByteArray>
#include <Qt>
#include <memory>
#include <vector>

class QMimeData;

// Drop effects and key-state bits of drag and drop.
constexpr int32_t DROPEFFECT_NONE = 0;
constexpr int32_t DROPEFFECT_COPY = 1;
constexpr int32_t DROPEFFECT_MOVE = 2;
constexpr int32_t DROPEFFECT_LINK = 4;
constexpr int32_t MK_LBUTTON = 1;
constexpr int32_t MK_RBUTTON = 2;
constexpr int32_t MK_SHIFT = 4;
constexpr int32_t MK_CONTROL = 8;
constexpr int32_t MK_ALT = 32;

constexpr uint16_t CF_TEXT = 1;
constexpr uint16_t CF_HDROP = 15;
constexpr uint32_t DVASPECT_CONTENT = 1;
constexpr uint32_t TYMED_HGLOBAL = 1;
constexpr uint32_t TYMED_FILE = 2;
constexpr uint32_t TYMED_ISTREAM = 4;
constexpr uint32_t DATADIR_GET = 1;
constexpr uint32_t DATADIR_SET = 2;

constexpr int32_t SS_S_OK = 0;
constexpr int32_t SS_S_FALSE = 1;
constexpr int32_t SS_E_NOTIMPL = int32_t(0x80004001);
constexpr int32_t SS_E_FAIL = int32_t(0x80004005);
constexpr int32_t SS_E_OUTOFMEMORY = int32_t(0x8007000E);
constexpr int32_t SS_DV_E_FORMATETC = int32_t(0x80040064);
constexpr int32_t SS_DV_E_TYMED = int32_t(0x80040069);

// One data format: clipboard format, aspect, index and storage kinds.
struct TSsFormatEtc {
    uint16_t cfFormat = 0;
    uint32_t dwAspect = DVASPECT_CONTENT;
    int32_t lindex = -1;
    uint32_t tymed = TYMED_HGLOBAL;
};

class TSsEnumFormatEtc {
public:
    explicit TSsEnumFormatEtc(std::vector<TSsFormatEtc> formats, size_t position = 0)
        : formats_(std::move(formats)), position_(position) {}
    // Up to count formats from the current position; S_OK when all came.
    int32_t Next(uint32_t count, std::vector<TSsFormatEtc>& out, uint32_t& fetched);
    int32_t Skip(uint32_t count);
    void Reset() { position_ = 0; }
    std::unique_ptr<TSsEnumFormatEtc> Clone() const;
private:
    std::vector<TSsFormatEtc> formats_;
    size_t position_;
};

class TSsDataObject {
public:
    static constexpr size_t MaxItems = 16384;
    // Item lists are relative to the parent of folderList (the caller keeps
    // them alive for the object's life).
    TSsDataObject(std::vector<const TSsIdList*> itemLists, const TSsIdList* folderList);

    int32_t QueryGetData(const TSsFormatEtc& format) const;
    // The block of a format; text gives no data.
    int32_t GetData(const TSsFormatEtc& format, QByteArray& medium);
    // For reading: an enumerator of the formats; for writing E_NOTIMPL.
    int32_t EnumFormatEtc(uint32_t direction, std::unique_ptr<TSsEnumFormatEtc>& out) const;
    const std::vector<TSsFormatEtc>& Formats() const { return formats_; }
    // The paths of the items.
    QStringList Paths() const;
    // The data as a drag carries it: each format the object renders under
    // its MIME type, the file drop as a list of file URLs.
    std::unique_ptr<QMimeData> CreateMimeData();

private:
    QByteArray IdListArray() const;
    QByteArray FileDropBlock() const;
    PSsIdList parent_;
    std::vector<const TSsIdList*> items_;
    std::vector<TSsFormatEtc> formats_;
    QByteArray idListCache_;
    QByteArray fileDropCache_;
};

// Drop effects and key states of Qt's drag and drop.
int32_t SsEffectsOfActions(Qt::DropActions actions);
Qt::DropActions SsActionsOfEffects(int32_t effects);
// The action of one effect (move before copy before link).
Qt::DropAction SsActionOfEffect(int32_t effect);
int32_t SsKeyState(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons);
