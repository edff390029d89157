#include "SsDataObject.h"

#include "SsNamespace.h"

#include <QDrag>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>

using namespace Ole;

namespace {
void PutU32(QByteArray& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}
}  // namespace

// ---- drop source ---------------------------------------------------------------------------------

HRESULT TSsDropSource::QueryContinueDrag(bool escapePressed, int32_t keyState) const
{
    if (escapePressed)
        return DRAGDROP_S_CANCEL;
    if (!(keyState & MK_LBUTTON))
        return DRAGDROP_S_DROP;
    return S_OK;
}

HRESULT TSsDropSource::GiveFeedback(int32_t) const
{
    return DRAGDROP_S_USEDEFAULTCURSORS;
}

namespace {
// Puts the source's questions to it while Qt's drag loop runs. Installed
// once the loop runs, it sees the keys and buttons before the loop does.
class TDragLoopQuestions : public QObject {
public:
    explicit TDragLoopQuestions(const TSsDropSource& source) : source_(source) {}
    bool eventFilter(QObject*, QEvent* e) override
    {
        bool escape = false;
        int32_t keyState;
        switch (e->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            const auto* k = static_cast<QKeyEvent*>(e);
            escape = e->type() == QEvent::KeyPress && k->key() == Qt::Key_Escape;
            keyState = KeyStateOf(k->modifiers(), QGuiApplication::mouseButtons());
            break;
        }
        case QEvent::MouseButtonRelease: {
            const auto* m = static_cast<QMouseEvent*>(e);
            keyState = KeyStateOf(m->modifiers(), m->buttons());
            break;
        }
        default: return false;
        }
        if (source_.QueryContinueDrag(escape, keyState) != DRAGDROP_S_CANCEL)
            return false;  // Qt's loop goes on or drops as the source said
        QDrag::cancel();
        return true;
    }

private:
    const TSsDropSource& source_;
};
}  // namespace

int32_t SsDoDragDrop(QDrag& drag, const TSsDropSource& source, int32_t allowedEffects)
{
    TDragLoopQuestions questions(source);
    QObject::connect(&drag, &QDrag::actionChanged, &questions,
                     [&](Qt::DropAction action) { source.GiveFeedback(DropEffectsOfActions(action)); });
    // A zero timer fires inside the drag's own event loop: installed then,
    // the questions come before the loop's own filter.
    QTimer::singleShot(0, &questions, [&] { qApp->installEventFilter(&questions); });
    const Qt::DropAction action = drag.exec(DropActionsOfEffects(allowedEffects));
    qApp->removeEventFilter(&questions);
    return action == Qt::IgnoreAction ? DROPEFFECT_NONE : DropEffectsOfActions(action);
}

// ---- data object --------------------------------------------------------------------------------

TSsDataObject::TSsDataObject(std::vector<const TSsIdList*> itemLists, const TSsIdList* folderList)
    : parent_(SsILClone(folderList)), items_(std::move(itemLists))
{
    if (!parent_)
        parent_ = std::make_unique<TSsIdList>();
    SsILRemoveLastID(parent_.get());
    for (TClipFormat f : {SsCFIdList(), CF_HDROP, CF_TEXT})
        formats_.push_back(FORMATETC{f, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
}

HRESULT TSsDataObject::QueryGetData(const FORMATETC& format)
{
    if (format.dwAspect != DVASPECT_CONTENT)
        return DV_E_FORMATETC;
    bool known = false;
    for (const FORMATETC& f : formats_)
        if (f.cfFormat == format.cfFormat) {
            known = true;
            if (f.tymed & format.tymed)
                return S_OK;
        }
    return known ? DV_E_TYMED : DV_E_FORMATETC;
}

HRESULT TSsDataObject::GetData(const FORMATETC& format, STGMEDIUM& medium)
{
    const HRESULT query = QueryGetData(format);
    if (query != S_OK)
        return query;
    medium = STGMEDIUM{};
    medium.tymed = TYMED_HGLOBAL;
    const QByteArray* block = nullptr;
    if (format.cfFormat == SsCFIdList()) {
        if (idListCache_.isEmpty())
            idListCache_ = IdListArray();
        block = &idListCache_;
    } else if (format.cfFormat == CF_HDROP) {
        if (fileDropCache_.isEmpty())
            fileDropCache_ = FileDropBlock();
        block = &fileDropCache_;
    } else if (format.cfFormat == CF_TEXT) {
        if (textCache_.isEmpty())
            textCache_ = TextBlock();
        block = &textCache_;
    } else
        return DV_E_FORMATETC;
    if (!block || block->isEmpty())
        return E_OUTOFMEMORY;
    medium.hGlobal.assign(block->begin(), block->end());
    return S_OK;
}

HRESULT TSsDataObject::SetData(const FORMATETC&, STGMEDIUM& medium, bool release)
{
    return FinishSetData(medium, release, E_NOTIMPL);
}

HRESULT TSsDataObject::EnumFormatEtc(uint32_t direction, std::unique_ptr<IEnumFORMATETC>& enumerator)
{
    if (direction != DATADIR_GET) {
        enumerator.reset();
        return E_NOTIMPL;
    }
    enumerator = std::make_unique<TSsEnumFormatEtc>(formats_);
    return S_OK;
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
        block.append(EncodeFileName(path));
        block.append('\0');
    }
    block.append('\0');
    return block;
}

QByteArray TSsDataObject::TextBlock() const
{
    AnsiString text = toAnsi(Paths().join(QStringLiteral("\r\n")));
    text.push_back('\0');
    return QByteArray(text.data(), qsizetype(text.size()));
}

std::unique_ptr<QMimeData> TSsDataObject::CreateMimeData()
{
    auto mime = std::make_unique<QMimeData>();
    std::unique_ptr<IEnumFORMATETC> formats;
    EnumFormatEtc(DATADIR_GET, formats);
    FORMATETC one;
    while (formats->Next(1, &one, nullptr) == S_OK) {
        STGMEDIUM medium;
        if (GetData(one, medium) != S_OK)
            continue;
        if (one.cfFormat == CF_HDROP) {
            QList<QUrl> urls;
            for (const QString& p : Paths())
                urls << QUrl::fromLocalFile(p);
            mime->setUrls(urls);
        } else if (one.cfFormat == CF_TEXT) {
            mime->setText(Paths().join(QStringLiteral("\r\n")));
        } else
            mime->setData(MimeTypeOfFormat(one.cfFormat),
                          QByteArray(reinterpret_cast<const char*>(medium.hGlobal.data()),
                                     qsizetype(medium.hGlobal.size())));
    }
    return mime;
}

void SsAnswerDrag(QDropEvent* e, int32_t effect)
{
    if (effect == DROPEFFECT_NONE) {
        e->ignore();
        return;
    }
    if (effect & DROPEFFECT_MOVE)
        e->setDropAction(Qt::MoveAction);
    else if (effect & DROPEFFECT_COPY)
        e->setDropAction(Qt::CopyAction);
    else if (effect & DROPEFFECT_LINK)
        e->setDropAction(Qt::LinkAction);
    else
        e->setDropAction(Qt::IgnoreAction);
    e->accept();
}
