// Code pages: records, language texts and file contents are byte strings in the program's
// code page, and widths and limits count bytes. Bytes become Unicode only where they are shown.
#pragma once

#include <cstddef>
#include <string>

namespace qmv {

// The code page a system of the user's locale would use: ja 932, zh_CN 936, zh_TW 950, ko 949,
// anything else 1252. QMVWIN_CODEPAGE overrides it.
int ActiveCodePage();

// What ActiveCodePage takes on its first call: the code page the environment asks for now.
int DetectCodePage();

// Fixes the code page for the rest of the run (tests, and a program that knows better).
void SetActiveCodePage(int codePage);

// iconv name of a Windows code page number ("CP932", "CP1252", ...).
std::string CodePageName(int codePage);

// Bytes in the code page to UTF-8. Bytes that do not decode become U+FFFD, never an error.
std::string CodePageToUtf8(const std::string& bytes, int codePage);
std::string CodePageToUtf8(const std::string& bytes);

// UTF-8 to bytes in the code page. Characters the code page lacks become "?".
std::string Utf8ToCodePage(const std::string& utf8, int codePage);
std::string Utf8ToCodePage(const std::string& utf8);

// True when b starts a two-byte character in a double-byte code page.
bool IsLeadByte(unsigned char b, int codePage);
bool IsLeadByte(unsigned char b);

// The longest prefix of bytes, at most maxBytes long, that does not end inside a
// double-byte character.
std::size_t WholeCharPrefix(const std::string& bytes, std::size_t maxBytes, int codePage);
std::size_t WholeCharPrefix(const std::string& bytes, std::size_t maxBytes);

} // namespace qmv
