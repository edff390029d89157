#pragma once
// TRtRTFWriter: writes a text, or a range of it, as RTF.
#include "Rtwrite2.h"

#include <array>
#include <string>

class TRtRTFWriter : public TRtTextWriter {
public:
    LUMI_CLASSNAME(TRtRTFWriter)
    TRtRTFWriter() = default;

    void Reset() override;
    int32_t SetStream(TStream* S) override { return WriteHeader(S); }
    // The prolog: font and colour tables, page format.
    int32_t WriteHeader(TStream* S);
    int32_t WriteDocument() override;
    int32_t WriteTrailer() override;

protected:
    int32_t WriteAttr() override;
    int32_t WriteChars(int32_t Count) override;
    int32_t WriteLineEnd() override { return 0; }
    int32_t WriteParEnd() override;
    int32_t WriteParStart() override;

private:
    // Appends to the buffer; Flush writes it out.
    void Add(const char* S) { Buf += S; }
    void Add(const std::string& S) { Buf += S; }
    void AddWord(const char* Word, int32_t Value);
    int32_t Flush();
    void AddEscaped(const AnsiString& S);
    void WriteRowDefinition(TParagraph* FirstCell);
    int32_t CloseHyperlink();

    std::string Buf;
    std::array<uint8_t, 256> FontMap{};
    std::array<uint8_t, 256> ColorMap{};
    int32_t OpenGroups = 0;
    bool HyperlinkOpen = false;
    bool SuppressHidden = false;
    bool PlainWritten = false;
};
