// The nettle cipher against vectors computed independently (MD5 and RC4 written out
// from their definitions) with the bank's 16-byte key rule.
#include "bank/bank_cipher.h"

#include <gtest/gtest.h>

#include <string>

namespace {

ByteArray fromHex(const std::string& hex) {
    ByteArray bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// MD5("5072439105") = 0fdba45e57..., so the RC4 key is 0f db a4 5e 57 and 11 zero bytes.
const char* kKeystream = "8fe80467e17eca8ee2f651749241d20c1564c341b48a3cd96a2b1846943b01c8";

TEST(BankCipher, KeystreamFromTheFirstByte) {
    ByteArray zeros(32, 0);
    ASSERT_TRUE(applyBankCipher(zeros, bankPassword));
    EXPECT_EQ(zeros, fromHex(kKeystream));
}

TEST(BankCipher, KnownBank) {
    ByteArray bank = toBytes("[\xBF\xBC\xCA\xD4\xCC\xE2\xC4\xBF]\r\n1001=A\r\n");
    ASSERT_TRUE(applyBankCipher(bank, bankPassword));
    EXPECT_EQ(bank, fromHex("d457b8ad35b2284a5dab5c7ea371e23d2825ce4b"));
}

TEST(BankCipher, PasswordIsHashedWithoutTerminator) {
    ByteArray abc = toBytes("abc");
    ASSERT_TRUE(applyBankCipher(abc, ""));
    EXPECT_EQ(abc, fromHex("63f719"));
}

TEST(BankCipher, RoundTripAndEmpty) {
    ByteArray data;
    for (int i = 0; i < 100000; ++i) data.push_back(static_cast<uint8_t>(i * 131 + 7));
    ByteArray copy = data;
    ASSERT_TRUE(applyBankCipher(copy, bankPassword));
    EXPECT_NE(copy, data);
    ASSERT_TRUE(applyBankCipher(copy, bankPassword));
    EXPECT_EQ(copy, data);
    ByteArray empty;
    EXPECT_TRUE(applyBankCipher(empty, bankPassword));
    EXPECT_TRUE(empty.empty());
}

}  // namespace
