#pragma once
// Windows font character sets: the code page behind each one, and 8-bit text
// of a character set to and from Unicode. Text keeps its bytes with the
// character set of its font; these functions convert at the edges.
#include <QString>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

constexpr int32_t SHIFTJIS_CHARSET = 128;
constexpr int32_t HANGEUL_CHARSET = 129;
constexpr int32_t GB2312_CHARSET = 134;
constexpr int32_t CHINESEBIG5_CHARSET = 136;
constexpr int32_t GREEK_CHARSET = 161;
constexpr int32_t TURKISH_CHARSET = 162;
constexpr int32_t VIETNAMESE_CHARSET = 163;
constexpr int32_t HEBREW_CHARSET = 177;
constexpr int32_t ARABIC_CHARSET = 178;
constexpr int32_t BALTIC_CHARSET = 186;
constexpr int32_t RUSSIAN_CHARSET = 204;
constexpr int32_t THAI_CHARSET = 222;
constexpr int32_t EASTEUROPE_CHARSET = 238;

// The Windows code page of a charset (1252 for ANSI, DEFAULT, SYMBOL and
// charsets without one of their own).
int32_t CharsetCodePage(int32_t Charset);
// The charset of a Windows code page; -1 when no font charset has it.
int32_t CodePageCharset(int32_t CodePage);
// Double-byte charsets: Japanese, Korean, Simplified and Traditional Chinese.
bool IsDBCSCharset(int32_t Charset);
bool IsCharsetLeadByte(int32_t Charset, uint8_t Ch);
// The lead bytes of a double-byte charset; null for any other charset.
const std::array<bool, 256>* CharsetLeadBytes(int32_t Charset);

// The character of one byte, or of a lead and trail byte of a double-byte
// charset; 0 when the charset has none there.
char32_t CharsetCharToUnicode(int32_t Charset, uint8_t Ch, uint8_t Trail = 0);
// Bytes of a charset as Unicode (pairs of double-byte charsets as one
// character, composed); bytes without a character become U+FFFD.
QString CharsetToUnicode(int32_t Charset, std::string_view Bytes);
// 8-bit text of a font charset, one entry per byte: the character that starts
// at the byte (a blank for a byte without one), 0 for the trail byte of a
// double-byte character and for a tone mark composed into the letter before it.
std::u32string CharsetCharsPerByte(int32_t Charset, std::string_view Text);
// The bytes of a character in a charset (two for a double-byte character, a
// letter and its tone mark in Vietnamese); false when the charset cannot hold it.
bool UnicodeToCharset(int32_t Charset, char32_t Ch, std::string& Out);

// The charset for the character Text[0]: Current when it holds it, otherwise
// Preferred when that does, otherwise the font charset that holds the longest
// part of Text from its start, up to 32 characters (Western, Central European, Cyrillic, Greek,
// Turkish, Baltic, Vietnamese, Hebrew, Arabic, Thai, Japanese, Simplified and
// Traditional Chinese, Korean, in that order on equal lengths); -1 when none
// holds it.
int32_t ChooseCharset(std::u32string_view Text, int32_t Current, int32_t Preferred = -1);
// The charset of a language's script (QLocale::Language); -1 when none.
int32_t LanguageCharset(int Language, int Territory);

// Bytes of any 8-bit code page (MACINTOSH, CP437, CP850, ...) as Unicode; a code
// page that iconv lacks reads as Windows-1252.
QString CodePageToUnicode(int32_t CodePage, std::string_view Bytes);
// The code pages besides the font charsets' whose tables are held (a small
// cache of the most recently used; one iconv lacks reads as Windows-1252).
size_t CachedCodePageTables();
