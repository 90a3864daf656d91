// decryptBank with the platform's provider: the key rule (checked against the
// keystream computed from MD5 and RC4 by hand), the zero-byte cut, the exact provider
// calls, the CRYPT_NEWKEYSET retry and every failure giving the empty text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bank/bank_cipher.h"
#include "bank/bank_store_win.h"

namespace {

ByteArray fromHex(const std::string& hex) {
    ByteArray bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

const std::string kBank = "[\xBF\xBC\xCA\xD4\xCC\xE2\xC4\xBF]\r\n1001=A\r\n";
const char* kBankCipher = "d457b8ad35b2284a5dab5c7ea371e23d2825ce4b";
const char* kKeystream = "8fe80467e17eca8ee2f651749241d20c1564c341b48a3cd96a2b1846943b01c8";

ByteArray encrypted(const std::string& plain) {
    ByteArray bytes(plain.begin(), plain.end());  // zero bytes included
    EXPECT_TRUE(applyBankCipher(bytes, bankPassword));
    return bytes;
}

TEST(DecryptBank, KnownBank) { EXPECT_EQ(decryptBank(fromHex(kBankCipher), bankPassword), kBank); }

TEST(DecryptBank, ProviderKeyIsMd5PrefixWithZeroSalt) {
    ByteArray zeros(32, 0);
    ASSERT_TRUE(applyBankCipher(zeros, bankPassword));
    EXPECT_EQ(zeros, fromHex(kKeystream));
}

TEST(DecryptBank, ZeroBytes) {
    EXPECT_EQ(decryptBank(encrypted(std::string("1=A\n\0rest", 9)), bankPassword), "1=A\n");
    EXPECT_EQ(decryptBank(encrypted(std::string("\0abc", 4)), bankPassword), "");
    std::string big(3 << 20, 'x');
    big[100] = '\n';
    EXPECT_EQ(decryptBank(encrypted(big), bankPassword), big);
    EXPECT_EQ(decryptBank({}, bankPassword), "");
}

TEST(DecryptBank, WrongPasswordGivesOtherBytes) {
    EXPECT_NE(decryptBank(fromHex(kBankCipher), "5072439106"), kBank);
}

// A recording stand-in for the provider that forwards to the real one.
struct Recorder {
    std::vector<std::string> calls;
    int acquireFailures = 0;  // how many acquire calls fail before the real one is asked
    bool failHash = false, failDecrypt = false;
} recorder;

BOOL WINAPI acquire(HCRYPTPROV* context, LPCSTR container, LPCSTR provider, DWORD type,
                    DWORD flags) {
    recorder.calls.push_back("acquire " + std::string(container ? container : "(null)") + " " +
                             provider + " " + std::to_string(type) + " " + std::to_string(flags));
    if (recorder.acquireFailures > 0) {
        --recorder.acquireFailures;
        return FALSE;
    }
    // Whatever was asked, the real provider gets the default container, made if need be:
    // the retry under test is the one the stand-in forces above.
    return ::CryptAcquireContextA(context, container, provider, type, 0) ||
           ::CryptAcquireContextA(context, container, provider, type, CRYPT_NEWKEYSET);
}
BOOL WINAPI createHash(HCRYPTPROV context, ALG_ID alg, HCRYPTKEY key, DWORD flags,
                       HCRYPTHASH* hash) {
    recorder.calls.push_back("hash " + std::to_string(alg) + " " + std::to_string(key) + " " +
                             std::to_string(flags));
    if (recorder.failHash) return FALSE;
    return ::CryptCreateHash(context, alg, key, flags, hash);
}
BOOL WINAPI hashData(HCRYPTHASH hash, const BYTE* data, DWORD length, DWORD flags) {
    recorder.calls.push_back("data " + std::string(reinterpret_cast<const char*>(data), length) +
                             " " + std::to_string(flags));
    return ::CryptHashData(hash, data, length, flags);
}
BOOL WINAPI deriveKey(HCRYPTPROV context, ALG_ID alg, HCRYPTHASH hash, DWORD flags,
                      HCRYPTKEY* key) {
    recorder.calls.push_back("derive " + std::to_string(alg) + " " + std::to_string(flags));
    return ::CryptDeriveKey(context, alg, hash, flags, key);
}
BOOL WINAPI decrypt(HCRYPTKEY key, HCRYPTHASH hash, BOOL final, DWORD flags, BYTE* data,
                    DWORD* length) {
    recorder.calls.push_back("decrypt " + std::to_string(hash) + " " + std::to_string(final) + " " +
                             std::to_string(flags) + " " + std::to_string(*length));
    if (recorder.failDecrypt) return FALSE;
    return ::CryptDecrypt(key, hash, final, flags, data, length);
}
BOOL WINAPI destroyKey(HCRYPTKEY key) {
    recorder.calls.push_back("destroy key");
    return ::CryptDestroyKey(key);
}
BOOL WINAPI destroyHash(HCRYPTHASH hash) {
    recorder.calls.push_back("destroy hash");
    return ::CryptDestroyHash(hash);
}
BOOL WINAPI release(HCRYPTPROV context, DWORD flags) {
    recorder.calls.push_back("release " + std::to_string(flags));
    return ::CryptReleaseContext(context, flags);
}

const CryptoCalls kRecording{acquire, createHash, hashData,    deriveKey,
                             decrypt, destroyKey, destroyHash, release};
const std::string kAcquire = "acquire (null) Microsoft Base Cryptographic Provider v1.0 1 ";

class DecryptCalls : public ::testing::Test {
  protected:
    void SetUp() override { recorder = Recorder{}; }
};

TEST_F(DecryptCalls, ExactSequence) {
    EXPECT_EQ(decryptBankWith(kRecording, fromHex(kBankCipher), bankPassword), kBank);
    std::vector<std::string> expected = {kAcquire + "0",   "hash 32771 0 0", "data 5072439105 0",
                                         "derive 26625 0", "destroy hash",   "decrypt 0 1 0 20",
                                         "destroy key",    "release 0"};
    EXPECT_EQ(recorder.calls, expected);
}

TEST_F(DecryptCalls, RetriesWithNewKeySet) {
    recorder.acquireFailures = 1;
    EXPECT_EQ(decryptBankWith(kRecording, fromHex(kBankCipher), bankPassword), kBank);
    ASSERT_GE(recorder.calls.size(), 2u);
    EXPECT_EQ(recorder.calls[0], kAcquire + "0");
    EXPECT_EQ(recorder.calls[1], kAcquire + "8");
}

TEST_F(DecryptCalls, NoProviderGivesEmptyText) {
    recorder.acquireFailures = 2;
    EXPECT_EQ(decryptBankWith(kRecording, fromHex(kBankCipher), bankPassword), "");
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{kAcquire + "0", kAcquire + "8"}));
}

TEST_F(DecryptCalls, EmptyBodyAsksNothing) {
    EXPECT_EQ(decryptBankWith(kRecording, {}, bankPassword), "");
    EXPECT_TRUE(recorder.calls.empty());
}

TEST_F(DecryptCalls, FailuresGiveEmptyTextAndStillCleanUp) {
    recorder.failDecrypt = true;
    EXPECT_EQ(decryptBankWith(kRecording, fromHex(kBankCipher), bankPassword), "");
    EXPECT_EQ(recorder.calls.back(), "release 0");
    recorder = Recorder{};
    recorder.failHash = true;  // no hash, so no key: the decryption itself fails
    EXPECT_EQ(decryptBankWith(kRecording, fromHex(kBankCipher), bankPassword), "");
    EXPECT_EQ(recorder.calls.back(), "release 0");
}

}  // namespace
