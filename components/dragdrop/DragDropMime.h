#pragma once
// Where the library meets Qt's drag and clipboard objects. A clipboard format
// travels as its MIME type (MimeTypeOfFormat); text is converted between the
// code page and UTF-8, and the file-drop format carries local file names in
// UTF-8, each followed by CR LF.
#include "Ole.h"

#include <QMimeData>
#include <QPointer>
#include <memory>

class QObject;

// A data object that lives inside a QObject (a drop source): calls reach it
// while that object exists and fail with E_UNEXPECTED afterwards.
class TGuardedDataObject : public IDataObject {
public:
    TGuardedDataObject(QObject* owner, IDataObject* object) : owner_(owner), object_(object) {}
    IDataObject* Object() const { return owner_ ? object_ : nullptr; }
    HRESULT GetData(const FORMATETC& format, STGMEDIUM& medium) override;
    HRESULT QueryGetData(const FORMATETC& format) override;
    HRESULT SetData(const FORMATETC& format, STGMEDIUM& medium, bool release) override;
    HRESULT EnumFormatEtc(uint32_t direction, std::unique_ptr<IEnumFORMATETC>& enumerator) override;

private:
    QPointer<QObject> owner_;
    IDataObject* object_;
};

// Mime data that renders the formats of a data object when they are asked for.
class TDataObjectMimeData : public QMimeData {
public:
    explicit TDataObjectMimeData(std::shared_ptr<IDataObject> dataObject) : dataObject_(std::move(dataObject)) {}
    const std::shared_ptr<IDataObject>& DataObject() const { return dataObject_; }
    // Whether this carries object (directly or guarded).
    bool Holds(const IDataObject* object) const;
    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override { return formats().contains(mimeType); }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    std::shared_ptr<IDataObject> dataObject_;
};

// A data object over mime data that came from elsewhere (another program or
// plain QMimeData): it offers each MIME type as its clipboard format. What a
// target writes back cannot reach another program and is refused.
class TMimeDataObject : public IDataObject {
public:
    explicit TMimeDataObject(const QMimeData* mimeData) : mimeData_(mimeData) {}
    HRESULT GetData(const FORMATETC& format, STGMEDIUM& medium) override;
    HRESULT QueryGetData(const FORMATETC& format) override;
    HRESULT SetData(const FORMATETC& format, STGMEDIUM& medium, bool release) override;
    HRESULT EnumFormatEtc(uint32_t direction, std::unique_ptr<IEnumFORMATETC>& enumerator) override;

private:
    std::vector<TClipFormat> Offered() const;
    QPointer<const QMimeData> mimeData_;
};

// The data object behind mime data: the program's own when it made the mime
// data, else one over the mime data.
std::shared_ptr<IDataObject> DataObjectOfMimeData(const QMimeData* mimeData);

// Plain mime data holding every format of the data object as rendered now.
std::unique_ptr<QMimeData> RenderMimeData(const TDataObjectMimeData& source);

// The clipboard as data objects.
void OleSetClipboard(std::shared_ptr<IDataObject> dataObject);
bool OleIsCurrentClipboard(const IDataObject* dataObject);
// Replaces the data object on the clipboard by a rendered copy of its data.
void OleFlushClipboard();
std::shared_ptr<IDataObject> OleGetClipboard();
