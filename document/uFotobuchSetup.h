#pragma once
// The product catalogue: one routine per product that resets a document and
// builds the product into it (page size, paper, print setting, layout set,
// pages, first frames and calendar months, built-in page templates).
#include "AnsiString.h"

#include <QString>

#include <vector>

class TFBDocument;
class TFont;
class TKalenderData;

// The start-up document: a photo book of 32 pages without a name.
void SetupDefaultDocument(TFBDocument* Doc);

// Photo books and booklets (PageCount pages; below 1 none).
void SetupPocketBookletFullsize(TFBDocument* Doc, int PageCount);
void SetupPocketBookletBorder(TFBDocument* Doc, int PageCount);
void SetupPhotobook86(TFBDocument* Doc, int PageCount);
void SetupPhotobook86Tradition(TFBDocument* Doc, int PageCount);
void SetupPhotobook86Horizon(TFBDocument* Doc, int PageCount);
void SetupPhotobook86Verticon(TFBDocument* Doc, int PageCount);
void SetupPhotobook46(TFBDocument* Doc, int PageCount);
void SetupPhotobook85(TFBDocument* Doc, int PageCount);
void SetupPhotobook85Tradition(TFBDocument* Doc, int PageCount);
void SetupPhotobook85Horizon(TFBDocument* Doc, int PageCount);
void SetupPhotobook85Verticon(TFBDocument* Doc, int PageCount);
void SetupPhotobook85Randlos(TFBDocument* Doc, int PageCount);
void SetupPhotobook85RandlosTradition(TFBDocument* Doc, int PageCount);
void SetupPhotobook85RandlosHorizon(TFBDocument* Doc, int PageCount);
void SetupPhotobook85RandlosVerticon(TFBDocument* Doc, int PageCount);
void SetupPhotobook85RandlosFullpage(TFBDocument* Doc, int PageCount);
void SetupPhotobookPro(TFBDocument* Doc, int PageCount);
void SetupPhotobookProHorizon(TFBDocument* Doc, int PageCount);
void SetupPhotobookProRandlos(TFBDocument* Doc, int PageCount);
void SetupPhotobookProRandlosHorizon(TFBDocument* Doc, int PageCount);

// Single pages and sheets.
void SetupSingles10x15(TFBDocument* Doc, int PageCount);
void SetupSingles13x18(TFBDocument* Doc, int PageCount);
void SetupPhotobinding10x15(TFBDocument* Doc, int PageCount);
void SetupDINA4(TFBDocument* Doc, int PageCount);
void SetupDINA4Randlos(TFBDocument* Doc, int PageCount);
void SetupLabels3C10x15(TFBDocument* Doc, int PageCount);
void SetupLabels3C9x13(TFBDocument* Doc, int PageCount);
void SetupOrvaneFlaschenetikett(TFBDocument* Doc, int PageCount);

// Calendars: the bases set the product up without pages; the others build the
// twelve months of Year.
void SetupKalenderA4(TFBDocument* Doc);
void SetupKalenderA5(TFBDocument* Doc);
void SetupKalenderA4PictureBottom(TFBDocument* Doc, int Year);
void SetupKalenderA4PictureTop(TFBDocument* Doc, int Year);
void SetupKalenderA4StripBottom(TFBDocument* Doc, int Year);
void SetupKalenderA4StripRight(TFBDocument* Doc, int Year);
void SetupKalenderA5PictureLeft(TFBDocument* Doc, int Year);
void SetupKalenderA5SevenPictures(TFBDocument* Doc, int Year);
void SetupKalenderA5StripBottom(TFBDocument* Doc, int Year);

// Calendar styles: the defaults, then the style's own settings.
void StyleKalenderA4PictureBottom(TKalenderData& Data);
void StyleKalenderA4PictureTop(TKalenderData& Data);
void StyleKalenderA4StripBottom(TKalenderData& Data);
void StyleKalenderA4StripRight(TKalenderData& Data);
void StyleKalenderA5PictureLeft(TKalenderData& Data);
void StyleKalenderA5SevenPictures(TKalenderData& Data);
void StyleKalenderA5StripBottom(TKalenderData& Data);

// Gives Font the first of Names that is installed, else "Arial".
void SetFontNameFirstInstalled(TFont& Font, const std::vector<AnsiString>& Names);
void SetFontNameInstalled(TFont& Font, const AnsiString& Name);

// Registers the catalogue's default texts with the localizer (done at unit start).
void RegisterCatalogueTexts();

// A text that product names are made of (the catalogue's own are registered
// with it), so that LocalizedProductName knows it in every language.
void RegisterProductNamePart(const QString& Section, const QString& Key);
// A product name as a builder or the wizard gave it, in whatever language,
// given in the current language: a name made of registered texts, alone or
// joined by " - " or an en dash; any other name as it is.
QString LocalizedProductName(const AnsiString& Name);
