// The bank's cipher: RC4 keyed from a password the way the platform's cryptographic
// provider keys it (MD5 of the password, then the provider's default RC4 key
// derivation: a 40-bit key with 88 bits of zero salt). Written out, RC4 is keyed with
// the first 5 bytes of MD5(password) followed by 11 zero bytes, and the keystream is
// used from its first byte. Encrypting and decrypting are the same operation.
//
// Two implementations: bank/bank_crypto_win.cpp (the platform provider) and
// bank/bank_cipher_nettle.cpp (nettle, for the Linux build of the bank tool).
// Tested by tests/bank/bank_cipher_test.cpp and tests/bank/bank_crypto_win_test.cpp.
#pragma once

#include <string_view>

#include "app/text.h"

// The password the bank travels under: ten decimal digits, hashed without terminator.
inline constexpr std::string_view bankPassword = "5072439105";

// Runs `bytes` through the cipher in place. False when no cipher could be had (the
// platform provider could not be acquired or failed); `bytes` is then unspecified.
[[nodiscard]] bool applyBankCipher(ByteArray& bytes, std::string_view password);
