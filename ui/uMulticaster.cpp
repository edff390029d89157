#include "uMulticaster.h"

#include "Classes.h"
#include "DragDropMime.h"
#include "SysUtils.h"
#include "uFotobuchDocument.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

void TMulticaster::FireContentChanged(TObject* Sender, TFBPage* Page, TFBElement* Element)
{
    if (OnContentChanged)
        OnContentChanged(this, Sender, Page, Element);
}

void TMulticaster::ElementChanged(TObject* Sender, TFBElement* Element)
{
    FireContentChanged(Sender, Element ? Element->Page : nullptr, Element);
}

void TMulticaster::PageContentChanged(TObject* Sender, TFBPage* Page)
{
    FireContentChanged(Sender, Page, nullptr);
}

void TMulticaster::ScreenContentChanged(TObject* Sender, TFBDocument* Document, int ScreenIndex)
{
    if (!Document)
        return;
    if (TFBPage* left = Document->GetLeftPage(ScreenIndex))
        FireContentChanged(Sender, left, nullptr);
    if (TFBPage* right = Document->GetRightPage(ScreenIndex))
        FireContentChanged(Sender, right, nullptr);
}

void TMulticaster::FireCurrentPageChanged(TObject* Sender, int ScreenIndex)
{
    if (OnCurrentPageChanged)
        OnCurrentPageChanged(this, Sender, ScreenIndex);
}

void TMulticaster::FirePageListChanged(TObject* Sender)
{
    if (OnPageListChanged)
        OnPageListChanged(this, Sender);
}

TMulticaster& GetMulticaster()
{
    static TMulticaster multicaster;
    return multicaster;
}

void CopyStreamToClipboard(TClipFormat Format, TStream& Stream)
{
    Stream.SetPosition(0);
    const int64_t size = Stream.Size();
    if (size > INT32_MAX)
        throw EOutOfMemory("Out of memory");
    QByteArray block(qsizetype(size), '\0');
    Stream.ReadBuffer(block.data(), int32_t(size));
    Stream.SetPosition(0);
    auto* mime = new QMimeData;
    mime->setData(MimeTypeOfFormat(Format), block);
    QGuiApplication::clipboard()->setMimeData(mime);  // the clipboard owns it
}

void CopyStreamFromClipboard(TClipFormat Format, TStream& Stream)
{
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    const QString type = MimeTypeOfFormat(Format);
    if (!mime || !mime->hasFormat(type))
        throw Exception("CopyStreamFromClipboard: get no global handle from clipboard!");
    const QByteArray block = mime->data(type);
    Stream.WriteBuffer(block.constData(), int32_t(block.size()));
}
