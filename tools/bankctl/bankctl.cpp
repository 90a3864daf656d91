// bankctl: packs, unpacks and checks the question bank the bank server hands out.
//   bankctl pack BANK.ini OUT    encrypt BANK.ini as the tool expects the download
//   bankctl unpack IN OUT        decrypt a downloaded bank
//   bankctl check BANK.ini       report what would make the tool show wrong answers
// Exit status: 0 done (check: a clean bank), 1 a bank the tool cannot use or check
// findings, 2 wrong usage or a file that cannot be read or written.
// Tested by tests/bank/bankctl_test.py and tests/bank/bankctl_pack_win_test.cpp.
#include <cstdio>
#include <fstream>
#include <string>

#include "answers/profile_reader.h"
#include "bank/bank_cipher.h"
#include "tools/bankctl/bank_check.h"

namespace {

constexpr int kDone = 0, kBadBank = 1, kUsage = 2;

int usage() {
    std::fputs(
        "usage: bankctl pack BANK.ini OUT\n"
        "       bankctl unpack IN OUT\n"
        "       bankctl check BANK.ini\n",
        stderr);
    return kUsage;
}

bool readAll(const std::string& path, std::string& bytes) {
    switch (readProfileFile(path, bytes)) {
        case ProfileSource::read:
            return true;
        case ProfileSource::missingFile:
            std::fprintf(stderr, "bankctl: %s: no such file\n", path.c_str());
            return false;
        case ProfileSource::unreadable:
            break;
    }
    std::fprintf(stderr, "bankctl: %s: cannot be read\n", path.c_str());
    return false;
}

bool writeAll(const std::string& path, const ByteArray& bytes) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (out)
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (out) return true;
    }
    std::remove(path.c_str());  // no half-written bank left behind
    std::fprintf(stderr, "bankctl: %s: cannot be written\n", path.c_str());
    return false;
}

int crypt(const std::string& in, const std::string& out, bool packing) {
    std::string bytes;
    if (!readAll(in, bytes)) return kUsage;
    if (bytes.empty()) {
        std::fprintf(stderr, "bankctl: %s is empty: the tool cannot start with an empty bank\n",
                     in.c_str());
        return kBadBank;
    }
    if (packing && bytes[0] == '\0') {
        std::fprintf(stderr,
                     "bankctl: %s begins with a zero byte: the tool would read an empty bank\n",
                     in.c_str());
        return kBadBank;
    }
    ByteArray data(bytes.begin(), bytes.end());
    if (!applyBankCipher(data, bankPassword)) {
        std::fputs("bankctl: the cipher is not available\n", stderr);
        return kUsage;
    }
    if (!writeAll(out, data)) return kUsage;
    if (!packing) {
        std::size_t zero = std::string(data.begin(), data.end()).find('\0');
        if (zero != std::string::npos)
            std::fprintf(stderr,
                         "bankctl: note: a zero byte at offset %zu; the tool keeps only the bytes "
                         "before it\n",
                         zero);
    }
    std::printf("%s %zu bytes to %s\n", packing ? "packed" : "unpacked", data.size(), out.c_str());
    return kDone;
}

int check(const std::string& path) {
    std::string bytes;
    if (!readAll(path, bytes)) return kUsage;
    BankCheck result = checkBank(bytes);
    for (const BankFinding& finding : result.findings) {
        if (finding.line == 0)
            std::printf("%s: %s\n", path.c_str(), finding.message.c_str());
        else
            std::printf("%s:%zu: %s\n", path.c_str(), finding.line, finding.message.c_str());
    }
    if (!result.clean()) {
        std::printf("%zu finding%s\n", result.findings.size(),
                    result.findings.size() == 1 ? "" : "s");
        return kBadBank;
    }
    std::printf("%s: ok, %zu ids\n", path.c_str(), result.idCount);
    return kDone;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "pack" && argc == 4) return crypt(argv[2], argv[3], true);
    if (command == "unpack" && argc == 4) return crypt(argv[2], argv[3], false);
    if (command == "check" && argc == 3) return check(argv[2]);
    return usage();
}
