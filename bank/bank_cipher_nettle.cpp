// The bank cipher computed with nettle, for the Linux build of the bank tool.
// Tested by tests/bank/bank_cipher_test.cpp (known vectors) and, against the platform
// provider, by tests/bank/bankctl_pack_win_test.cpp.
#include <nettle/arcfour.h>
#include <nettle/md5.h>

#include "bank/bank_cipher.h"

bool applyBankCipher(ByteArray& bytes, std::string_view password) {
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, password.size(), reinterpret_cast<const uint8_t*>(password.data()));
    uint8_t digest[MD5_DIGEST_SIZE];
    md5_digest(&md5, sizeof digest, digest);

    uint8_t key[16] = {};  // 40 key bits, then the provider's zero salt
    for (int i = 0; i < 5; ++i) key[i] = digest[i];
    arcfour_ctx rc4;
    arcfour_set_key(&rc4, sizeof key, key);
    if (!bytes.empty()) arcfour_crypt(&rc4, bytes.size(), bytes.data(), bytes.data());
    return true;
}
