// withenv: runs a Windows program with some environment variables changed, for the rig
// tests. Wine builds a process's environment from its own registry (TEMP, TMP, ...) and
// not from the Unix environment, so a test that wants another value has to set it from
// inside Wine:
//
//   withenv NAME=VALUE ... -- PROGRAM [ARGS]
//
// NAME=VALUE sets the variable, NAME= removes it; an argument @FILE stands for the UTF-8
// lines of FILE (tests/rig/command_line_win.h). The program inherits the changed
// environment; withenv waits for it and exits with its exit code. Exit code 125 for bad
// arguments, 127 when the program cannot be started. The program runs in a job that is
// killed with withenv, so a test that kills withenv (by its id) leaves nothing behind.
//
// Tested by the rig tests that use it (tests/bank/load_question_bank_test.py).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/scoped_win.h"
#include "tests/rig/command_line_win.h"

namespace {

constexpr int kBadArguments = 125;
constexpr int kCannotStart = 127;

// One argument quoted so that CommandLineToArgvW (and the C runtime) read it back
// unchanged: backslashes are doubled only where they precede a quote.
std::wstring quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') backslashes = backslashes * 2 + 1;
        out.append(backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');  // they precede the closing quote
    out += L'"';
    return out;
}

int usage(const char* problem) {
    std::fprintf(stderr, "withenv: %s\nusage: withenv NAME=VALUE ... -- PROGRAM [ARGS]\n", problem);
    return kBadArguments;
}

}  // namespace

int main() {
    std::vector<std::wstring> args;
    if (!programArguments(&args)) return usage("cannot read the command line");

    size_t i = 0;
    for (; i < args.size() && args[i] != L"--"; ++i) {
        size_t equals = args[i].find(L'=');
        if (equals == 0 || equals == std::wstring::npos) {
            return usage("a setting is not NAME=VALUE");
        }
        std::wstring name = args[i].substr(0, equals);
        std::wstring value = args[i].substr(equals + 1);
        ::SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
    }
    if (i + 1 >= args.size()) return usage("no program after --");
    std::wstring commandLine = quoted(args[i + 1]);
    for (size_t k = i + 2; k < args.size(); ++k) commandLine += L" " + quoted(args[k]);

    // The job ends the program when its last handle goes, that is with this process.
    UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job) {
        ::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                  sizeof limits);
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // No application name: the program is found as a command line would find it.
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                          nullptr, nullptr, &startup, &info)) {
        std::fprintf(stderr, "withenv: cannot start the program (error %lu)\n",
                     static_cast<unsigned long>(::GetLastError()));
        return kCannotStart;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    if (job) ::AssignProcessToJobObject(job.get(), process.get());
    ::ResumeThread(thread.get());
    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = kCannotStart;
    ::GetExitCodeProcess(process.get(), &exitCode);
    return static_cast<int>(exitCode);
}
