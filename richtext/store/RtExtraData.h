#pragma once
// Named extra data items of a text: variables that the RTF reader and writer
// carry, each a text or a byte stream.
#include "AnsiString.h"
#include "Classes.h"
#include "Object.h"

#include <cstdint>
#include <memory>
#include <vector>

class TRtRTFText;

enum TRtRTFExtraSubType : uint8_t { rtxDefault, rtxString, rtxNumber, rtxBoolean, rtxDate };
enum TRtRTFExtraDataOption : uint8_t {
    rtxSaveToRTF, rtxLoadFromRTF, rtxDoNotClear, rtxDoNotRemoveOnClear, rtxInvisible
};
using TRtRTFExtraDataOptions = uint8_t; // bit i = TRtRTFExtraDataOption i

class TRtRTFExtraDataItem : public TObject {
public:
    LUMI_CLASSNAME(TRtRTFExtraDataItem)
    TRtRTFExtraDataItem() = default;

    void Assign(const TRtRTFExtraDataItem& Source);
    AnsiString GetDisplayName() const;
    void SetText(const AnsiString& Value) { Text = Value; }
    // Empties the text and the stream.
    void Clear();
    // One of the ten document information names (case ignored).
    bool IsReservedName() const;
    bool HasOption(TRtRTFExtraDataOption O) const { return (Options & (1u << O)) != 0; }
    TMemoryStream& Stream() { return stream_; }
    const TMemoryStream& Stream() const { return stream_; }

    AnsiString Name;
    AnsiString Text;
    uint8_t Charset = 0;  // Windows charset of Text's bytes
    TRtRTFExtraSubType SubType = rtxDefault;
    TRtRTFExtraDataOptions Options = (1u << rtxSaveToRTF) | (1u << rtxLoadFromRTF);
    // 0: the value is Text; 1: the value is the stream's bytes.
    uint8_t StorageKind = 0;

private:
    TMemoryStream stream_;
};

class TRtRTFExtraDataCollection : public TObject {
public:
    LUMI_CLASSNAME(TRtRTFExtraDataCollection)
    explicit TRtRTFExtraDataCollection(TRtRTFText* Owner) : Owner(Owner) {}

    int32_t Count() const { return int32_t(items_.size()); }
    TRtRTFExtraDataItem* GetItem(int32_t Index) const;
    TRtRTFExtraDataItem* Add();
    void Delete(int32_t Index);
    // The first item of that storage kind whose Name equals Name (case ignored).
    TRtRTFExtraDataItem* Find(const AnsiString& Name, uint8_t StorageKind) const;
    // As the text's clearing: from the last item, an item without rtxDoNotClear
    // is cleared and one without rtxDoNotRemoveOnClear removed.
    void ClearForText();

    TRtRTFText* Owner;

private:
    std::vector<std::unique_ptr<TRtRTFExtraDataItem>> items_;
};
