#pragma once
// The format filters of the editor: registers the plain-text and RTF readers
// and writers under the class names the text store looks up. Runs once at
// start-up (the library is linked whole into the programs that use the
// editor); calling it again changes nothing.
void RtRegisterFormats();
