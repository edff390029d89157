#pragma once
// 8-bit text in the Windows-1252 code page, and its conversion to and from QString.
#include <QString>
#include <cstdint>
#include <string>

using AnsiString = std::string;

// Unicode code point of one Windows-1252 byte. The five bytes that the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control
// of the same value, so every byte survives a round trip.
char16_t AnsiCharToUnicode(uint8_t c);
// The byte of a UTF-16 code unit, or -1 when Windows-1252 cannot hold it.
int UnicodeToAnsiChar(char16_t c);

QString fromAnsi(const AnsiString& s);
QString fromAnsi(const char* s);
// Characters Windows-1252 cannot hold become '?'; *lossless (when given) tells
// whether that happened.
AnsiString toAnsi(const QString& s, bool* lossless = nullptr);
bool IsAnsiRepresentable(const QString& s);
