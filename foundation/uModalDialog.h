#pragma once
// Modal dialogs of the user interface run through one seam, so that tests can
// stand in for the user.
#include <QDialog>
#include <functional>

// When set, runs the dialog in place of QDialog::exec and returns its result
// (a runner that drives the dialog to done() returns Dialog.result()).
extern std::function<int(QDialog& Dialog)> ShowModalHook;

// Shows the dialog modally and returns its result.
int ShowModalDialog(QDialog& Dialog);
