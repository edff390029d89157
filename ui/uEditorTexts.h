#pragma once
// The rich-text editor's texts (its messages and the captions and hints of
// its commands) in the language files: section "RichText", keys
// "RtString/<name>" and "RtAction/<number>", read and written through the
// localizer like the texts of every form.

// Connects the editor's text callbacks to the localizer and registers its
// built-in texts as the defaults (once).
void InstallEditorTexts();
// Gives the editor the texts of the current language and refreshes its
// tool bars and actions.
void LoadEditorTexts();
