// The bank loading's platform helpers: decryption with the cryptographic provider,
// the temporary file's name, and writing the file. loadQuestionBank builds on these.
//
// Each helper has a `...With` form that takes the platform calls it makes, so tests
// can watch the exact calls and make any of them fail.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <string_view>

#include "app/text.h"

// The decrypted bank: the bytes up to the first zero byte. The empty text when
// `encrypted` is empty or the provider cannot be acquired or fails.
Text decryptBank(const ByteArray& encrypted, std::string_view password);

// A path for a new temporary file, not created: the temporary folder, then the tick
// count plus the number of earlier calls in lower-case hexadecimal, then ".tmp"; the
// next number while a file of that name exists. Tick 255 on the first call gives
// "<temp>\ff.tmp".
Text tempFileName();

// Creates `path` or empties it, without sharing, and writes `bytes`. False for an empty
// path, a file that cannot be opened, or any write or close that fails or falls short;
// the partial file is then deleted, so a true result always means the whole bank.
bool writeFile(std::string_view path, const ByteArray& bytes);

// The provider calls decryptBank makes.
struct CryptoCalls {
    decltype(&::CryptAcquireContextA) acquireContext = ::CryptAcquireContextA;
    decltype(&::CryptCreateHash) createHash = ::CryptCreateHash;
    decltype(&::CryptHashData) hashData = ::CryptHashData;
    decltype(&::CryptDeriveKey) deriveKey = ::CryptDeriveKey;
    decltype(&::CryptDecrypt) decrypt = ::CryptDecrypt;
    decltype(&::CryptDestroyKey) destroyKey = ::CryptDestroyKey;
    decltype(&::CryptDestroyHash) destroyHash = ::CryptDestroyHash;
    decltype(&::CryptReleaseContext) releaseContext = ::CryptReleaseContext;
};
Text decryptBankWith(const CryptoCalls& calls, const ByteArray& encrypted,
                     std::string_view password);

// Where tempFileName gets the folder, the tick count and whether a name is taken.
struct TempNameSource {
    Text (*tempDirectory)();  // as GetTempPathA gives it; empty when it fails
    DWORD (*tickCount)();
    bool (*fileExists)(const Text& path);
};
const TempNameSource& platformTempNameSource();
// `callNumber` is the process-wide count of earlier calls that tempFileName keeps.
Text tempFileNameWith(const TempNameSource& source, std::uint32_t callNumber);

// The file calls writeFile makes.
struct FileCalls {
    decltype(&::CreateFileA) createFile = ::CreateFileA;
    decltype(&::WriteFile) writeFile = ::WriteFile;
    decltype(&::CloseHandle) closeHandle = ::CloseHandle;
    decltype(&::DeleteFileA) deleteFile = ::DeleteFileA;
};
bool writeFileWith(const FileCalls& calls, std::string_view path, const ByteArray& bytes);
