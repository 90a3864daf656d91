// What in a question bank would make the tool show wrong answers, with the line of
// each finding. The bank is read exactly as the tool reads it (answers/profile_reader.h),
// so a repeated id reports the answer the tool will really show.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct BankFinding {
    std::size_t line = 0;  // 1-based line in an editor's count; 0 for the whole file
    std::string message;
};

struct BankCheck {
    std::vector<BankFinding> findings;
    std::size_t idCount = 0;  // distinct ids in the section the tool reads
    bool clean() const { return findings.empty(); }
};

BankCheck checkBank(std::string_view bytes);

// Bytes for a message: printable ASCII as is, anything else as \xHH, long texts cut.
std::string shownBytes(std::string_view bytes, std::size_t limit = 40);
