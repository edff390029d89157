#include "RtExtraData.h"

#include "SysUtils.h"

void TRtRTFExtraDataItem::Assign(const TRtRTFExtraDataItem& Source)
{
    Name = Source.Name;
    Text = Source.Text;
    Charset = Source.Charset;
    StorageKind = Source.StorageKind;
    Options = Source.Options;
    SubType = Source.SubType;
    if (StorageKind == 1) {
        stream_.Clear();
        if (!Source.stream_.Bytes().empty())
            stream_.WriteBuffer(Source.stream_.Memory(), int32_t(Source.stream_.Bytes().size()));
        stream_.SetPosition(0);
    }
}

AnsiString TRtRTFExtraDataItem::GetDisplayName() const
{
    if (StorageKind == 0 && !Text.empty())
        return Name + "= \"" + Text + "\"";
    if (StorageKind == 1 && !stream_.Bytes().empty())
        return Name + " (" + IntToStr(int64_t(stream_.Bytes().size())) + " Bytes)";
    return Name + " <empty>";
}

void TRtRTFExtraDataItem::Clear()
{
    Text.clear();
    stream_.Clear();
}

bool TRtRTFExtraDataItem::IsReservedName() const
{
    for (const char* n : {"Title", "Subject", "Author", "Keywords", "Operator", "DocComm", "Manager", "Company",
                          "Category", "HLinkBase"})
        if (SameText(Name, n))
            return true;
    return false;
}

TRtRTFExtraDataItem* TRtRTFExtraDataCollection::GetItem(int32_t Index) const
{
    return Index >= 0 && Index < Count() ? items_[size_t(Index)].get() : nullptr;
}

TRtRTFExtraDataItem* TRtRTFExtraDataCollection::Add()
{
    items_.push_back(std::make_unique<TRtRTFExtraDataItem>());
    return items_.back().get();
}

void TRtRTFExtraDataCollection::Delete(int32_t Index)
{
    if (Index >= 0 && Index < Count())
        items_.erase(items_.begin() + Index);
}

TRtRTFExtraDataItem* TRtRTFExtraDataCollection::Find(const AnsiString& Name, uint8_t StorageKind) const
{
    for (const auto& item : items_)
        if (item->StorageKind == StorageKind && SameText(item->Name, Name))
            return item.get();
    return nullptr;
}

void TRtRTFExtraDataCollection::ClearForText()
{
    for (int32_t i = Count() - 1; i >= 0; --i) {
        TRtRTFExtraDataItem* item = items_[size_t(i)].get();
        if (!item->HasOption(rtxDoNotClear))
            item->Clear();
        if (!item->HasOption(rtxDoNotRemoveOnClear))
            Delete(i);
    }
}
