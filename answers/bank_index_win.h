// The bank file read into a BankIndex on Windows: the file is opened as the platform's
// profile reader opens it, and files with a Unicode mark are converted with the
// platform's own conversions, so lookups give what GetPrivateProfileStringA gives under
// code page 936.
#pragma once

#include <string_view>

#include "answers/profile_reader.h"

// UTF-8 and code page 936 through MultiByteToWideChar/WideCharToMultiByte.
const ProfileCodec& windowsProfileCodec();

// Reads the file once and indexes its section `section` (kBankSection unless told).
// A name without "\" or "/" is looked for in the Windows folder, as the profile reader
// does. A missing or unreadable file gives an index whose lookups give the default.
BankIndex loadBankIndex(std::string_view bankFilePath, std::string_view section = kBankSection);
