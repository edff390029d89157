#pragma once
// Base of the side panels under the page view: a borderless child form that
// fills the tab page it is placed on. Every panel binds to the focused element
// of its kind (SetElement) and hears the content notices of the others
// (ContentChanged).
#include "ulocalize.h"

class QTabWidget;
class TFBPage;
class TFBElement;

class TSubForm : public TLocalizerForm {
public:
    // Binds the panel to the focused element of its kind, or unbinds it (null).
    virtual void SetElement(TFBElement* Element) = 0;
    // The multicaster's content notice; a panel acts only on its own element.
    virtual void ContentChanged(TFBPage* Page, TFBElement* Element) = 0;

    // Creates the panel with the tab page as owner and parent, filling its
    // client area, and shows it.
    template <class T, class... Args>
    static T* CreateOn(QWidget* TabSheet, Args&&... args)
    {
        T* form = TLocalizerForm::create<T>(TabSheet, std::forward<Args>(args)...);
        form->PlaceOn(TabSheet);
        return form;
    }

    // True when the style draws themed controls; the panel then lets the tab
    // body show through, otherwise it paints the form's ordinary background.
    static bool ThemesActive();

protected:
    TSubForm(TCreateKey Key, QWidget* Parent);

private:
    void PlaceOn(QWidget* TabSheet);
};
