// tempFileName with a chosen folder, tick count and set of taken names, and on the
// real platform; writeFile on real files and with write and close calls that fail.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "bank/bank_store_win.h"

namespace {

// The stand-in platform of tempFileNameWith.
Text folder;
DWORD ticks;
std::set<Text> taken;
Text fakeFolder() { return folder; }
DWORD fakeTicks() { return ticks; }
bool fakeExists(const Text& path) { return taken.count(path) != 0; }
const TempNameSource kFake{fakeFolder, fakeTicks, fakeExists};

TEST(TempFileName, HexadecimalTickCount) {
    folder = "C:\\temp\\";
    taken.clear();
    ticks = 255;
    EXPECT_EQ(tempFileNameWith(kFake, 0), "C:\\temp\\ff.tmp");
    ticks = 256;
    EXPECT_EQ(tempFileNameWith(kFake, 0), "C:\\temp\\100.tmp");
    ticks = 0xABCDEF01;
    EXPECT_EQ(tempFileNameWith(kFake, 0), "C:\\temp\\abcdef01.tmp");
    ticks = 250;
    EXPECT_EQ(tempFileNameWith(kFake, 5), "C:\\temp\\ff.tmp");  // the call counter is added
}

TEST(TempFileName, FolderSeparator) {
    taken.clear();
    ticks = 255;
    folder = "C:\\temp";
    EXPECT_EQ(tempFileNameWith(kFake, 0), "C:\\temp\\ff.tmp");
    folder = "";  // GetTempPathA failed: a name in the current folder
    EXPECT_EQ(tempFileNameWith(kFake, 0), "ff.tmp");
}

TEST(TempFileName, TakenNamesAreSkipped) {
    folder = "T\\";
    ticks = 255;
    taken = {"T\\ff.tmp", "T\\100.tmp"};
    EXPECT_EQ(tempFileNameWith(kFake, 0), "T\\101.tmp");
    ticks = 0xFFFFFFFF;
    taken = {"T\\ffffffff.tmp"};
    EXPECT_EQ(tempFileNameWith(kFake, 0), "T\\0.tmp");  // wraps like the tick count
    taken = {"T\\ffffffff.tmp"};
    EXPECT_EQ(tempFileNameWith(kFake, 1), "T\\0.tmp");
}

Text tempFolder() {
    char path[MAX_PATH];
    DWORD length = ::GetTempPathA(MAX_PATH, path);
    return Text(path, length);
}

std::string contents(const Text& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

DWORD fixedTicks;
DWORD fixedTickCount() { return fixedTicks; }

TEST(TempFileName, OnThePlatform) {
    Text first = tempFileName();
    Text second = tempFileName();
    EXPECT_EQ(first.rfind(tempFolder(), 0), 0u) << first;
    EXPECT_EQ(first.substr(first.size() - 4), ".tmp");
    EXPECT_NE(first, second);  // the counter moves on even within one tick
    EXPECT_FALSE(platformTempNameSource().fileExists(first));

    // A real file of the candidate's name is skipped and left alone.
    ASSERT_TRUE(writeFile(first, toBytes("x")));
    EXPECT_TRUE(platformTempNameSource().fileExists(first));
    Text name = first.substr(tempFolder().size());
    unsigned long number = std::stoul(name.substr(0, name.size() - 4), nullptr, 16);
    fixedTicks = static_cast<DWORD>(number);
    const TempNameSource realFiles{platformTempNameSource().tempDirectory, fixedTickCount,
                                   platformTempNameSource().fileExists};
    char expected[16];
    std::snprintf(expected, sizeof expected, "%lx.tmp", static_cast<unsigned long>(fixedTicks + 1));
    EXPECT_EQ(tempFileNameWith(realFiles, 0), tempFolder() + expected);
    EXPECT_EQ(contents(first), "x");
    ::DeleteFileA(first.c_str());
}

class WriteFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = tempFolder() + "bank_file_win_test." + std::to_string(::GetCurrentProcessId());
        ASSERT_TRUE(::CreateDirectoryA(dir_.c_str(), nullptr));
        path_ = dir_ + "\\bank.tmp";
    }
    void TearDown() override {
        ::DeleteFileA(path_.c_str());
        ::RemoveDirectoryA(dir_.c_str());
    }
    Text dir_, path_;
};

TEST_F(WriteFile, CreatesAndTruncates) {
    std::string big(5 << 20, 'a');  // several write calls
    big[3 << 20] = '\0';
    ASSERT_TRUE(writeFile(path_, ByteArray(big.begin(), big.end())));
    EXPECT_EQ(contents(path_), big);
    ASSERT_TRUE(writeFile(path_, toBytes("short")));
    EXPECT_EQ(contents(path_), "short");
    ASSERT_TRUE(writeFile(path_, {}));
    EXPECT_TRUE(platformTempNameSource().fileExists(path_));
    EXPECT_EQ(contents(path_), "");
}

TEST_F(WriteFile, CannotOpen) {
    EXPECT_FALSE(writeFile("", toBytes("x")));
    EXPECT_FALSE(writeFile(dir_ + "\\absent\\bank.tmp", toBytes("x")));
    EXPECT_FALSE(writeFile(dir_, toBytes("x")));  // a folder
    ASSERT_TRUE(writeFile(path_, toBytes("old")));
    HANDLE holder =
        ::CreateFileA(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(writeFile(path_, toBytes("new")));  // held without sharing
    ::CloseHandle(holder);
    EXPECT_EQ(contents(path_), "old");
}

// Write and close calls that fail after a chosen amount, as on a full disk.
DWORD writeBudget;  // bytes the disk still takes
bool writeReportsError, closeFails;
BOOL WINAPI limitedWrite(HANDLE file, LPCVOID data, DWORD count, LPDWORD written,
                         LPOVERLAPPED overlapped) {
    DWORD take = count < writeBudget ? count : writeBudget;
    writeBudget -= take;
    BOOL ok = ::WriteFile(file, data, take, written, overlapped);
    if (take < count && writeReportsError) {
        ::SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return ok;
}
BOOL WINAPI failingClose(HANDLE handle) {
    ::CloseHandle(handle);
    if (!closeFails) return TRUE;
    ::SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

TEST_F(WriteFile, FullDiskLeavesNoFile) {
    FileCalls calls;
    calls.writeFile = limitedWrite;
    calls.closeHandle = failingClose;
    const ByteArray bank(3 << 20, 'b');
    for (bool reportsError : {true, false}) {  // an error, or a silent short write
        writeBudget = (1 << 20) + 5;
        writeReportsError = reportsError;
        closeFails = false;
        EXPECT_FALSE(writeFileWith(calls, path_, bank));
        EXPECT_FALSE(platformTempNameSource().fileExists(path_));
    }
    writeBudget = 1u << 30;
    closeFails = true;
    EXPECT_FALSE(writeFileWith(calls, path_, bank));
    EXPECT_FALSE(platformTempNameSource().fileExists(path_));
    closeFails = false;
    EXPECT_TRUE(writeFileWith(calls, path_, bank));
    EXPECT_EQ(contents(path_).size(), bank.size());
}

}  // namespace
