#include "SsDataObject.h"

#include "SsNamespace.h"

#include <QFile>
#include <QMimeData>
#include <QUrl>

namespace {
void PutU32(QByteArray& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}
}  // namespace

// ---- format enumerator --------------------------------------------------------------------

int32_t TSsEnumFormatEtc::Next(uint32_t count, std::vector<TSsFormatEtc>& out, uint32_t& fetched)
{
    fetched = 0;
    out.clear();
    while (fetched < count && position_ < formats_.size()) {
        out.push_back(formats_[position_++]);
        ++fetched;
    }
    return fetched == count ? SS_S_OK : SS_S_FALSE;
}

int32_t TSsEnumFormatEtc::Skip(uint32_t count)
{
    if (position_ + count > formats_.size()) {
        position_ = formats_.size();
        return SS_S_FALSE;
    }
    position_ += count;
    return SS_S_OK;
}

std::unique_ptr<TSsEnumFormatEtc> TSsEnumFormatEtc::Clone() const
{
    return std::make_unique<TSsEnumFormatEtc>(formats_, position_);
}

// ---- data object --------------------------------------------------------------------------------

TSsDataObject::TSsDataObject(std::vector<const TSsIdList*> itemLists, const TSsIdList* folderList)
    : parent_(SsILClone(folderList)), items_(std::move(itemLists))
{
    if (items_.size() > MaxItems)
        items_.resize(MaxItems);
    if (!parent_)
        parent_ = std::make_unique<TSsIdList>();
    SsILRemoveLastID(parent_.get());
    for (uint16_t f : {SsCFIdList(), CF_HDROP, CF_TEXT})
        formats_.push_back(TSsFormatEtc{f, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
}

int32_t TSsDataObject::QueryGetData(const TSsFormatEtc& format) const
{
    if (format.dwAspect != DVASPECT_CONTENT)
        return SS_DV_E_FORMATETC;
    bool known = false;
    for (const TSsFormatEtc& f : formats_)
        if (f.cfFormat == format.cfFormat) {
            known = true;
            if (f.tymed & format.tymed)
                return SS_S_OK;
        }
    return known ? SS_DV_E_TYMED : SS_DV_E_FORMATETC;
}

int32_t TSsDataObject::GetData(const TSsFormatEtc& format, QByteArray& medium)
{
    const int32_t query = QueryGetData(format);
    if (query != SS_S_OK)
        return query;
    medium.clear();
    if (format.cfFormat == SsCFIdList()) {
        if (idListCache_.isEmpty())
            idListCache_ = IdListArray();
        medium = idListCache_;
    } else if (format.cfFormat == CF_HDROP) {
        if (fileDropCache_.isEmpty())
            fileDropCache_ = FileDropBlock();
        medium = fileDropCache_;
    } else if (format.cfFormat != CF_TEXT)
        return SS_DV_E_FORMATETC;
    // Text is offered but carries nothing.
    return medium.isEmpty() ? SS_E_OUTOFMEMORY : SS_S_OK;
}

int32_t TSsDataObject::EnumFormatEtc(uint32_t direction, std::unique_ptr<TSsEnumFormatEtc>& out) const
{
    if (direction != DATADIR_GET) {
        out.reset();
        return SS_E_NOTIMPL;
    }
    out = std::make_unique<TSsEnumFormatEtc>(formats_);
    return SS_S_OK;
}

QByteArray TSsDataObject::IdListArray() const
{
    const uint32_t n = uint32_t(items_.size());
    QByteArray block;
    PutU32(block, n);
    uint32_t offset = 4 * n + 8;
    PutU32(block, offset);
    offset += SsILGetSize(parent_.get()) & 0xFFFF;
    for (const TSsIdList* item : items_) {
        PutU32(block, offset);
        offset += SsILGetSize(item) & 0xFFFF;
    }
    block.append(parent_->Bytes());
    for (const TSsIdList* item : items_)
        block.append(item ? item->Bytes() : QByteArray(2, '\0'));
    return block;
}

QStringList TSsDataObject::Paths() const
{
    QStringList paths;
    for (const TSsIdList* item : items_) {
        PSsIdList abs = SsILCombine(parent_.get(), item);
        paths << SsIdListToPath(abs.get());
    }
    return paths;
}

QByteArray TSsDataObject::FileDropBlock() const
{
    QByteArray block;
    PutU32(block, 20);  // offset of the names
    for (int i = 0; i < 4; ++i)
        PutU32(block, 0);  // drop point, non-client flag, wide characters
    // Names are the file system's bytes and are not cut to any length.
    for (const QString& path : Paths()) {
        block.append(QFile::encodeName(path));
        block.append('\0');
    }
    block.append('\0');
    return block;
}

std::unique_ptr<QMimeData> TSsDataObject::CreateMimeData()
{
    auto mime = std::make_unique<QMimeData>();
    std::unique_ptr<TSsEnumFormatEtc> formats;
    EnumFormatEtc(DATADIR_GET, formats);
    std::vector<TSsFormatEtc> one;
    uint32_t fetched = 0;
    while (formats->Next(1, one, fetched) == SS_S_OK) {
        QByteArray data;
        if (GetData(one[0], data) != SS_S_OK)
            continue;
        if (one[0].cfFormat == CF_HDROP) {
            QList<QUrl> urls;
            for (const QString& p : Paths())
                urls << QUrl::fromLocalFile(p);
            mime->setUrls(urls);
        } else
            mime->setData(SsClipboardFormatMimeType(one[0].cfFormat), data);
    }
    return mime;
}

int32_t SsEffectsOfActions(Qt::DropActions actions)
{
    int32_t e = 0;
    if (actions & Qt::CopyAction)
        e |= DROPEFFECT_COPY;
    if (actions & Qt::MoveAction)
        e |= DROPEFFECT_MOVE;
    if (actions & Qt::LinkAction)
        e |= DROPEFFECT_LINK;
    return e;
}

Qt::DropActions SsActionsOfEffects(int32_t effects)
{
    Qt::DropActions a;
    if (effects & DROPEFFECT_COPY)
        a |= Qt::CopyAction;
    if (effects & DROPEFFECT_MOVE)
        a |= Qt::MoveAction;
    if (effects & DROPEFFECT_LINK)
        a |= Qt::LinkAction;
    return a;
}

Qt::DropAction SsActionOfEffect(int32_t effect)
{
    if (effect & DROPEFFECT_MOVE)
        return Qt::MoveAction;
    if (effect & DROPEFFECT_COPY)
        return Qt::CopyAction;
    if (effect & DROPEFFECT_LINK)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}

int32_t SsKeyState(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons)
{
    int32_t k = 0;
    if (buttons & Qt::LeftButton)
        k |= MK_LBUTTON;
    if (buttons & Qt::RightButton)
        k |= MK_RBUTTON;
    if (mods & Qt::ShiftModifier)
        k |= MK_SHIFT;
    if (mods & Qt::ControlModifier)
        k |= MK_CONTROL;
    if (mods & Qt::AltModifier)
        k |= MK_ALT;
    return k;
}
