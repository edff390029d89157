#include "ColorDialog.h"

#include <QColorDialog>

namespace {

AnsiString CustomColorName(int index)
{
    return AnsiString("Color") + char('A' + index);
}

} // namespace

bool TColorDialog::Execute()
{
    // A missing or unreadable custom colour shows as white.
    for (int i = 0; i < MaxCustomColors; ++i) {
        int32_t value = 0;
        const AnsiString text = CustomColors.Values(CustomColorName(i));
        if (text.empty() || !TryStrToInt("$" + text, value))
            value = clWhite;
        QColorDialog::setCustomColor(i, toQColor(value & 0xFFFFFF));
    }

    QColorDialog dialog(toQColor(Color), owner_);
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (ok)
        Color = fromQColor(dialog.selectedColor());

    CustomColors.Clear();
    for (int i = 0; i < MaxCustomColors; ++i)
        CustomColors.Add(CustomColorName(i) + "=" +
                         IntToHex(fromQColor(QColorDialog::customColor(i)) & 0xFFFFFF, 6));
    return ok;
}
