// Times the answers of one click: `count` lookups (2000 unless told) in a bank file,
// either through the platform's profile reader per lookup (api, Windows only) or
// through a BankIndex built once (index). Prints the times and a checksum of all
// answers, so both ways can be seen to agree. Run by tools/bench/bench_lookup.py.
//   bench_lookup BANK index|api [count]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "answers/profile_reader.h"
#ifdef _WIN32
#include "answers/bank_index_win.h"
#include "answers/lookup_answer_win.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Ids spread over the bank, one in ten missing from it.
std::vector<std::string> questionIds(int count) {
    std::vector<std::string> ids;
    unsigned state = 12345;
    for (int i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        unsigned n = (state >> 8) % 100000 + 1;
        ids.push_back(std::to_string(i % 10 == 9 ? n + 100000 : n));
    }
    return ids;
}

unsigned long long checksum(const std::vector<Text>& answers) {
    unsigned long long sum = 0;
    for (const Text& a : answers)
        for (unsigned char c : a) sum = sum * 31 + c;
    return sum;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: bench_lookup BANK index|api [count]\n", stderr);
        return 2;
    }
    const std::string bank = argv[1], mode = argv[2];
    const std::vector<std::string> ids = questionIds(argc > 3 ? std::atoi(argv[3]) : 2000);
    std::vector<Text> answers;
    answers.reserve(ids.size());
    auto start = Clock::now();
    if (mode == "index") {
#ifdef _WIN32
        BankIndex index = loadBankIndex(bank);
#else
        std::string bytes;
        readProfileFile(bank, bytes);
        BankIndex index = BankIndex::build(bytes, kBankSection);
#endif
        double buildMs = msSince(start);
        auto lookups = Clock::now();
        for (const std::string& id : ids) answers.push_back(lookupBankAnswer(index, id));
        std::printf("index keys=%zu build_ms=%.2f lookups_ms=%.2f total_ms=%.2f checksum=%llu\n",
                    index.keyCount(), buildMs, msSince(lookups), msSince(start), checksum(answers));
#ifdef _WIN32
    } else if (mode == "api") {
        for (const std::string& id : ids) answers.push_back(lookupAnswerIn(bank, id));
        std::printf("api lookups=%zu total_ms=%.2f checksum=%llu\n", ids.size(), msSince(start),
                    checksum(answers));
#endif
    } else {
        std::fprintf(stderr, "bench_lookup: unknown mode %s\n", mode.c_str());
        return 2;
    }
#if defined(__SANITIZE_ADDRESS__)
    std::puts("(built with AddressSanitizer)");
#endif
    return 0;
}
