// Tested by tests/bank/bank_crypto_win_test.cpp.
#include <limits>

#include "bank/bank_cipher.h"
#include "bank/bank_store_win.h"

namespace {

constexpr const char* kProviderName = "Microsoft Base Cryptographic Provider v1.0";

// MD5 of the password, the provider's RC4 key derivation, then the whole buffer through
// CryptDecrypt in place. The results of the hash and key steps are not examined: a
// failure there leaves no valid key, and CryptDecrypt then fails.
bool cryptInPlace(const CryptoCalls& calls, ByteArray& buffer, std::string_view password) {
    constexpr auto kMaxDword = std::numeric_limits<DWORD>::max();
    if (buffer.size() > kMaxDword || password.size() > kMaxDword) return false;
    HCRYPTPROV context = 0;
    if (!calls.acquireContext(&context, nullptr, kProviderName, PROV_RSA_FULL, 0) &&
        !calls.acquireContext(&context, nullptr, kProviderName, PROV_RSA_FULL, CRYPT_NEWKEYSET))
        return false;

    HCRYPTHASH hash = 0;
    calls.createHash(context, CALG_MD5, 0, 0, &hash);
    calls.hashData(hash, reinterpret_cast<const BYTE*>(password.data()),
                   static_cast<DWORD>(password.size()), 0);
    HCRYPTKEY key = 0;
    calls.deriveKey(context, CALG_RC4, hash, 0, &key);
    calls.destroyHash(hash);

    auto length = static_cast<DWORD>(buffer.size());
    BOOL ok = calls.decrypt(key, 0, TRUE, 0, buffer.data(), &length);
    calls.destroyKey(key);
    calls.releaseContext(context, 0);
    if (!ok || length > buffer.size()) return false;
    buffer.resize(length);  // a stream cipher keeps the length; never trust more
    return true;
}

}  // namespace

Text decryptBankWith(const CryptoCalls& calls, const ByteArray& encrypted,
                     std::string_view password) {
    if (bytesLength(encrypted) == 0) return {};
    ByteArray buffer(encrypted);
    if (!cryptInPlace(calls, buffer, password)) return {};
    return toText(buffer);
}

Text decryptBank(const ByteArray& encrypted, std::string_view password) {
    return decryptBankWith(CryptoCalls{}, encrypted, password);
}

bool applyBankCipher(ByteArray& bytes, std::string_view password) {
    return bytes.empty() || cryptInPlace(CryptoCalls{}, bytes, password);
}
