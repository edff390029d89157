#pragma once
// Qt's dialogs for embedded objects: the property dialog that lists an
// object's published properties for editing, and the input box of its
// caption. The edit control installs them where none is set.
class TRtObject;
class QWidget;

// Installs the dialogs below in RtObjectDialogs where a slot is empty.
void InstallRtObjectDialogs();
// The property dialog: one row per published property; True when confirmed
// (the changed values are then set on the object).
bool ShowRtObjectProperties(TRtObject& Obj, QWidget* Parent = nullptr);
