// Conversions between Text (code page 936 bytes) and UTF-16. The code page is
// named explicitly so that Chinese text survives on any system locale.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "app/text.h"

inline constexpr UINT kTextCodePage = 936;

std::wstring wideFromText(std::string_view text);
Text textFromWide(std::wstring_view wide);
