#include "RtToolBar.h"

#include "RichText.h"

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
