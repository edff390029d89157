#pragma once
// The built-in page templates of the products and the built-in colour presets.
#include "AnsiString.h"
#include "uFotobuchPageTemplate.h"

#include <cstdint>

// Empties List and fills it with the built-in templates whose layout types
// meet LayoutTypes, those of style Stil (when not 0) first.
void FillPageTemplateList(TFBPageTemplateList& List, TFBLayoutTypen LayoutTypes, uint8_t Stil);
// Appends the templates of the Photobook Pro products.
void AddPhotobookProTemplates(TFBPageTemplateList& List);
// The first built-in template whose key equals Key (case ignored); null when none.
TFBPageTemplate* FindPageTemplate(const AnsiString& Key);

// Empties List and fills it with the colour presets, localized; the last one
// ("Eigene Farbe") lets the user pick the colour.
void FillColorList(TFBColorList& List);
// Keys of the colour presets, in list order.
extern const char* const ColorPresetNames[14];
// Registers those keys as default texts of the localizer (done at unit start).
void RegisterColorPresetNames();
