#include "RtToolBar.h"

#include "RichText.h"

#include <QComboBox>
#include <QToolButton>

namespace {

// Commands that stay down until pressed again: the character styles, the
// alignment, the paragraph flags, numbering and outline, fitting the page.
bool Toggles(int32_t Group, int32_t Id)
{
    switch (Group) {
    case rtgStyle: return Id != rtcStyleNormal;
    case rtgAlign:
    case rtgParagraph: return true;
    case rtgNumbering: return Id == rtcNumberingBullets || Id == rtcNumberingNumbers || Id == rtcNumberingOutline;
    case rtgView: return Id == rtcViewFitWidth || Id == rtcViewFitPage;
    default: return false;
    }
}

} // namespace

TRtToolBar::TRtToolBar(QWidget* Parent, const std::vector<TCommand>& Commands) : QToolBar(Parent)
{
    std::vector<TCommand> commands = Commands;
    if (commands.empty())
        for (const TRtActionIcon& icon : RtActionIcons)
            commands.push_back({icon.Group, icon.Id});
    for (const TCommand& c : commands) {
        if (c.Group == rtgValue && c.Id == rtcValueFontSize && !fontSizeBox_) {
            fontSizeBox_ = new QComboBox(this);
            fontSizeBox_->setEditable(true);
            AnsiString caption, hint;
            if (FindRtActionText(c.Group, c.Id, caption, hint))
                fontSizeBox_->setToolTip(fromAnsi(hint));
            addWidget(fontSizeBox_);
            // A size chosen or typed goes to the rich text as the font-size command.
            connect(fontSizeBox_, &QComboBox::textActivated, this, [this](const QString& Text) {
                bool ok = false;
                const int32_t size = Text.trimmed().toInt(&ok);
                if (!settingState_ && richText_ && ok && size > 0)
                    richText_->ExecuteValue(rtgValue, rtcValueFontSize, size, toAnsi(Text));
            });
            continue;
        }
        auto* button = new QToolButton(this);
        button->setIcon(RtActionIcon(c.Group, c.Id));
        button->setCheckable(Toggles(c.Group, c.Id));
        AnsiString caption, hint;
        if (FindRtActionText(c.Group, c.Id, caption, hint)) {
            button->setText(fromAnsi(caption));
            button->setToolTip(fromAnsi(hint));
        }
        addWidget(button);
        buttons_.push_back({c, button});
        connect(button, &QToolButton::clicked, this, [this, c, button](bool Checked) {
            if (settingState_ || !richText_)
                return;
            uint8_t state = !button->isCheckable() || Checked ? rtcmdClick : rtcmdRelease;
            richText_->Execute(c.Group, c.Id, state);
        });
    }
}

void TRtToolBar::SetRichText(TRtCustomRichText* RichText)
{
    if (RichText == richText_)
        return;
    richText_ = RichText;
    RTFEditChanged(RichText);
}

void TRtToolBar::SetFontSizes(const std::vector<int32_t>& Sizes, int32_t Current)
{
    if (!fontSizeBox_)
        return;
    settingState_ = true;
    if (Sizes != fontSizes_ || fontSizeBox_->count() != int(Sizes.size())) {
        fontSizes_ = Sizes;
        fontSizeBox_->clear();
        for (int32_t s : Sizes)
            fontSizeBox_->addItem(QString::number(s));
    }
    fontSizeBox_->setEditText(Current > 0 ? QString::number(Current) : QString());
    settingState_ = false;
}

bool TRtToolBar::SetBoxHint(int32_t Id, const AnsiString& Hint)
{
    if (Id != rtcValueFontSize || !fontSizeBox_)
        return false;
    fontSizeBox_->setToolTip(fromAnsi(Hint));
    return true;
}

QToolButton* TRtToolBar::Button(int32_t Group, int32_t Id) const
{
    for (const TButton& b : buttons_)
        if (b.Command.Group == Group && b.Command.Id == Id)
            return b.Widget;
    return nullptr;
}

void TRtToolBar::SetButtonDown(int32_t Group, int32_t Id, bool Down)
{
    QToolButton* b = Button(Group, Id);
    if (!b || !b->isCheckable() || b->isChecked() == Down)
        return;
    settingState_ = true;
    b->setChecked(Down);
    settingState_ = false;
}

bool TRtToolBar::ButtonDown(int32_t Group, int32_t Id) const
{
    const QToolButton* b = Button(Group, Id);
    return b && b->isChecked();
}

void TRtToolBar::ButtonCommand(int32_t Number, int32_t& Group, int32_t& Id) const
{
    Group = Id = 0;
    if (Number >= 1 && Number <= ButtonCount()) {
        Group = buttons_[size_t(Number - 1)].Command.Group;
        Id = buttons_[size_t(Number - 1)].Command.Id;
    }
}

void TRtToolBar::SetButtonHint(int32_t Number, const AnsiString& Hint)
{
    if (Number >= 1 && Number <= ButtonCount())
        buttons_[size_t(Number - 1)].Widget->setToolTip(fromAnsi(Hint));
}
