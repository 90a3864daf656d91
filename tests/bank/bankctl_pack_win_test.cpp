// Banks packed by the native bankctl (nettle) decrypt byte for byte with the program's
// decryptBank (the platform provider). The files come from make_pack_fixtures.py; their
// folder is given in BANK_FIXTURES.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "bank/bank_cipher.h"
#include "bank/bank_store_win.h"

namespace {

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string fixture(const std::string& name) {
    const char* folder = std::getenv("BANK_FIXTURES");
    return std::string(folder ? folder : ".") + "\\" + name;
}

TEST(BankctlPack, DecryptsWithTheProgram) {
    for (const char* name : {"demo", "all_bytes", "zero_inside"}) {
        const std::string plain = readBytes(fixture(std::string(name) + ".plain"));
        const std::string packed = readBytes(fixture(std::string(name) + ".packed"));
        ASSERT_FALSE(plain.empty()) << name;
        ASSERT_EQ(packed.size(), plain.size()) << name;
        const ByteArray body(packed.begin(), packed.end());
        // decryptBank keeps the bytes before the first zero byte.
        EXPECT_EQ(decryptBank(body, bankPassword), plain.substr(0, plain.find('\0'))) << name;
        // And the platform cipher packs to the same bytes, as bankctl.exe does.
        ByteArray repacked(plain.begin(), plain.end());
        ASSERT_TRUE(applyBankCipher(repacked, bankPassword));
        EXPECT_TRUE(repacked == body) << name;
    }
}

}  // namespace
