#pragma once
// Collects the messages the application shows for exceptions while it lives;
// the handler before it is back afterwards, also when a test ends early.
#include "Application.h"

#include <QCoreApplication>
#include <QStringList>
#include <functional>
#include <stdexcept>

struct ShownMessages {
    QStringList Texts;

    // Each message goes into Texts, or to Show where one is given.
    explicit ShownMessages(std::function<void(const QString&)> Show = {})
        : App(qobject_cast<TApplication*>(QCoreApplication::instance()))
    {
        if (!App)
            throw std::logic_error("no application object");
        Saved = App->OnShowException;
        if (Show)
            App->OnShowException = std::move(Show);
        else
            App->OnShowException = [this](const QString& Text) { Texts << Text; };
    }
    ~ShownMessages() { App->OnShowException = Saved; }
    ShownMessages(const ShownMessages&) = delete;
    ShownMessages& operator=(const ShownMessages&) = delete;

private:
    TApplication* App;
    std::function<void(const QString&)> Saved;
};
