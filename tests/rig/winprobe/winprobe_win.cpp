// winprobe: reads the state of running windows of other processes for the rig
// tests and writes it as JSON (UTF-8) to a file. Commands:
//
//   winprobe OUT find     [FILTER] [--depth N]   the matching top-level windows
//   winprobe OUT wait     [FILTER] [--depth N] [--timeout MS]
//                                                 like find, once one matches (exit 1 on time-out)
//   winprobe OUT waitgone [FILTER] [--timeout MS] until none matches (exit 1 on time-out)
//   winprobe OUT post --hwnd H --message WM_CLOSE|N [--wparam N] [--lparam N]
//   winprobe OUT foreground --hwnd H               makes H the foreground window
//   winprobe OUT key --hwnd H --vk N               foreground H, then press and release key N
//   winprobe OUT cursor [--hwnd H]                 the cursor shown now (and H's class cursor)
//   winprobe OUT answer --hwnd H [--timeout MS]    sends H a WM_NULL and waits until its thread
//                                                 handles it ("answered", "waitedMs"; exit 1 on
//                                                 time-out): the end of whatever blocks it now
//
// FILTER: --class NAME (exact), --title TEXT (part of the title), --pid N,
// --hwnd H, --visible. Every window is written with its children (to --depth
// levels, all by default): hwnd (decimal), class, text, rect (screen),
// rectInParent, client size, style, exstyle, visible, enabled, topmost, z (its
// index among its siblings, topmost first), pid, tid, id, check state of
// buttons, for list views their columns and cells ("answered": false when the
// list did not answer in time, so the cells were not read), and for top-level windows
// their thread's active, focus and capture windows ("thread"). Texts come through
// WM_GETTEXT with a short time-out, so a hung window never stalls the probe.
// An argument @FILE stands for the lines of FILE (tests/rig/command_line_win.h).
// Exit code 2 on bad arguments.
//
// Tested by the rig self-test tests/rig/rig_selftest.py.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "app/scoped_win.h"
#include "tests/rig/command_line_win.h"
#include "tests/rig/winprobe/json_writer.h"
#include "tests/rig/winprobe/listview_probe_win.h"

namespace {

constexpr UINT kTextTimeoutMs = 500;

struct Filter {
    std::wstring className;
    std::wstring title;
    DWORD pid = 0;
    HWND hwnd = nullptr;
    bool visibleOnly = false;
};

struct Arguments {
    std::wstring out;
    std::wstring command;
    Filter filter;
    int depth = 1000;
    DWORD timeoutMs = 10000;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    WORD vk = 0;
};

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    int length = ::GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? length : 0);
}

// The text a control holds; InternalGetWindowText for a hung window, which
// reads the text the window manager keeps without asking the window.
std::wstring windowText(HWND window, bool* viaMessage) {
    *viaMessage = false;
    if (!::IsHungAppWindow(window)) {
        DWORD_PTR length = 0;
        if (::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs,
                                  &length)) {
            std::wstring text(length + 1, L'\0');
            DWORD_PTR copied = 0;
            if (::SendMessageTimeoutW(window, WM_GETTEXT, text.size(),
                                      reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                                      kTextTimeoutMs, &copied)) {
                text.resize(copied < length ? copied : length);
                *viaMessage = true;
                return text;
            }
        }
    }
    wchar_t buffer[4096] = {};
    int length = ::InternalGetWindowText(window, buffer, 4096);
    return std::wstring(buffer, length > 0 ? length : 0);
}

// The input state of the window's thread: which of its windows is active,
// has the focus and holds the mouse capture (0 for none).
void writeThreadState(JsonWriter& json, DWORD tid) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(tid, &info)) return;
    json.beginObject("thread");
    json.integer("active", reinterpret_cast<std::intptr_t>(info.hwndActive));
    json.integer("focus", reinterpret_cast<std::intptr_t>(info.hwndFocus));
    json.integer("capture", reinterpret_cast<std::intptr_t>(info.hwndCapture));
    json.endObject();
}

void writeWindow(JsonWriter& json, HWND window, int z, int depth) {
    json.beginObject();
    json.integer("hwnd", static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(window)));
    std::wstring cls = className(window);
    json.text("class", cls);
    bool viaMessage = false;
    json.text("text", windowText(window, &viaMessage));
    json.boolean("textByMessage", viaMessage);

    RECT rect{};
    ::GetWindowRect(window, &rect);
    json.rect("rect", rect.left, rect.top, rect.right, rect.bottom);
    HWND parent = ::GetAncestor(window, GA_PARENT);
    bool child = (::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) != 0;
    RECT inParent = rect;
    if (child && parent) ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&inParent), 2);
    json.rect("rectInParent", inParent.left, inParent.top, inParent.right, inParent.bottom);
    RECT client{};
    ::GetClientRect(window, &client);
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    json.rect("client", origin.x, origin.y, origin.x + client.right, origin.y + client.bottom);
    json.integer("parent", child ? reinterpret_cast<std::intptr_t>(parent) : 0);
    json.integer("owner", reinterpret_cast<std::intptr_t>(::GetWindow(window, GW_OWNER)));

    LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    LONG_PTR exStyle = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
    json.integer("style", static_cast<std::int64_t>(static_cast<DWORD>(style)));
    json.integer("exstyle", static_cast<std::int64_t>(static_cast<DWORD>(exStyle)));
    json.boolean("visible", ::IsWindowVisible(window) != FALSE);
    json.boolean("enabled", ::IsWindowEnabled(window) != FALSE);
    json.boolean("topmost", (exStyle & WS_EX_TOPMOST) != 0);
    json.boolean("hung", ::IsHungAppWindow(window) != FALSE);
    json.integer("z", z);
    json.integer("id", child ? ::GetWindowLongPtrW(window, GWLP_ID) : 0);
    DWORD pid = 0;
    DWORD tid = ::GetWindowThreadProcessId(window, &pid);
    json.integer("pid", pid);
    json.integer("tid", tid);
    // Windows of other processes keep their class cursor out of reach under
    // Wine; 0 then.
    json.integer("classCursor",
                 static_cast<std::int64_t>(::GetClassLongPtrW(window, GCLP_HCURSOR)));

    if (!child) writeThreadState(json, tid);
    if (::_wcsicmp(cls.c_str(), L"Button") == 0) {
        DWORD_PTR check = 0;
        if (::SendMessageTimeoutW(window, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs,
                                  &check)) {
            json.integer("check", static_cast<std::int64_t>(check));
        }
    }
    if (::_wcsicmp(cls.c_str(), L"SysListView32") == 0) writeListView(json, window);

    json.beginArray("children");
    if (depth > 0) {
        int index = 0;
        for (HWND c = ::GetWindow(window, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
            writeWindow(json, c, index++, depth - 1);
        }
    }
    json.endArray();
    json.endObject();
}

bool matches(const Filter& filter, HWND window) {
    if (filter.hwnd && window != filter.hwnd) return false;
    if (filter.visibleOnly && !::IsWindowVisible(window)) return false;
    if (!filter.className.empty() && className(window) != filter.className) return false;
    if (filter.pid) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        if (pid != filter.pid) return false;
    }
    if (!filter.title.empty()) {
        wchar_t buffer[4096] = {};
        int length = ::InternalGetWindowText(window, buffer, 4096);
        if (std::wstring(buffer, length > 0 ? length : 0).find(filter.title) == std::wstring::npos)
            return false;
    }
    return true;
}

// Matching top-level windows with their z-order index among all top-levels.
std::vector<std::pair<HWND, int>> findWindows(const Filter& filter) {
    std::vector<std::pair<HWND, int>> found;
    int index = 0;
    for (HWND w = ::GetTopWindow(nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT), ++index) {
        if (matches(filter, w)) found.emplace_back(w, index);
    }
    // A child window named by --hwnd is reported on its own.
    if (found.empty() && filter.hwnd && ::IsWindow(filter.hwnd) &&
        (::GetWindowLongPtrW(filter.hwnd, GWL_STYLE) & WS_CHILD)) {
        Filter self = filter;
        self.hwnd = nullptr;
        if (matches(self, filter.hwnd)) found.emplace_back(filter.hwnd, -1);
    }
    return found;
}

void writeWindows(JsonWriter& json, const std::vector<std::pair<HWND, int>>& windows, int depth) {
    json.beginArray("windows");
    for (auto [window, z] : windows) writeWindow(json, window, z, depth);
    json.endArray();
}

const wchar_t* knownCursorName(HCURSOR cursor) {
    static const struct {
        LPCWSTR id;
        const wchar_t* name;
    } known[] = {{IDC_ARROW, L"IDC_ARROW"}, {IDC_IBEAM, L"IDC_IBEAM"},
                 {IDC_WAIT, L"IDC_WAIT"},   {IDC_CROSS, L"IDC_CROSS"},
                 {IDC_HAND, L"IDC_HAND"},   {IDC_SIZEALL, L"IDC_SIZEALL"},
                 {IDC_NO, L"IDC_NO"},       {IDC_APPSTARTING, L"IDC_APPSTARTING"},
                 {IDC_HELP, L"IDC_HELP"},   {IDC_UPARROW, L"IDC_UPARROW"}};
    for (const auto& k : known) {
        if (cursor && ::LoadCursorW(nullptr, k.id) == cursor) return k.name;
    }
    return nullptr;
}

void writeCursor(JsonWriter& json, HWND window) {
    json.beginObject("cursor");
    CURSORINFO info{};
    info.cbSize = sizeof info;
    bool ok = ::GetCursorInfo(&info) != FALSE;
    json.boolean("ok", ok);
    json.integer("handle", reinterpret_cast<std::intptr_t>(ok ? info.hCursor : nullptr));
    json.boolean("showing", ok && (info.flags & CURSOR_SHOWING));
    if (const wchar_t* name = knownCursorName(ok ? info.hCursor : nullptr)) {
        json.text("known", name);
    } else {
        json.null("known");
    }
    POINT at{};
    ::GetCursorPos(&at);
    json.beginArray("pos");
    json.integer({}, at.x);
    json.integer({}, at.y);
    json.endArray();
    json.integer("windowAtCursor", reinterpret_cast<std::intptr_t>(::WindowFromPoint(at)));
    if (window) {
        json.integer("classCursor",
                     static_cast<std::int64_t>(::GetClassLongPtrW(window, GCLP_HCURSOR)));
    }
    json.endObject();
}

bool parseInteger(const wchar_t* text, long long* value) {
    wchar_t* end = nullptr;
    *value = std::wcstoll(text, &end, 0);
    return end && end != text && *end == 0;
}

bool parseArguments(const std::vector<std::wstring>& args, Arguments* a) {
    size_t count = args.size();
    if (count < 2) return false;
    a->out = args[0];
    a->command = args[1];
    for (size_t i = 2; i < count; ++i) {
        std::wstring name = args[i];
        if (name == L"--visible") {
            a->filter.visibleOnly = true;
            continue;
        }
        if (i + 1 >= count) return false;
        const wchar_t* value = args[++i].c_str();
        long long number = 0;
        bool isNumber = parseInteger(value, &number);
        if (name == L"--class") {
            a->filter.className = value;
        } else if (name == L"--title") {
            a->filter.title = value;
        } else if (name == L"--message" && std::wstring(value) == L"WM_CLOSE") {
            a->message = WM_CLOSE;
        } else if (!isNumber) {
            return false;
        } else if (name == L"--pid") {
            a->filter.pid = static_cast<DWORD>(number);
        } else if (name == L"--hwnd") {
            a->filter.hwnd = reinterpret_cast<HWND>(static_cast<std::intptr_t>(number));
        } else if (name == L"--depth") {
            a->depth = static_cast<int>(number);
        } else if (name == L"--timeout") {
            a->timeoutMs = static_cast<DWORD>(number);
        } else if (name == L"--message") {
            a->message = static_cast<UINT>(number);
        } else if (name == L"--wparam") {
            a->wParam = static_cast<WPARAM>(number);
        } else if (name == L"--lparam") {
            a->lParam = static_cast<LPARAM>(number);
        } else if (name == L"--vk") {
            a->vk = static_cast<WORD>(number);
        } else {
            return false;
        }
    }
    return true;
}

void pressKey(WORD vk) {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = vk;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, inputs, sizeof(INPUT));
}

// Runs the command into json; returns the exit code.
int run(const Arguments& a, JsonWriter& json) {
    json.text("command", a.command);
    if (a.command == L"find") {
        writeWindows(json, findWindows(a.filter), a.depth);
        return 0;
    }
    if (a.command == L"wait" || a.command == L"waitgone") {
        bool gone = a.command == L"waitgone";
        DWORD start = ::GetTickCount();
        for (;;) {
            auto found = findWindows(a.filter);
            bool done = gone ? found.empty() : !found.empty();
            if (done || ::GetTickCount() - start >= a.timeoutMs) {
                json.boolean("timedOut", !done);
                writeWindows(json, found, a.depth);
                return done ? 0 : 1;
            }
            ::Sleep(50);
        }
    }
    HWND window = a.filter.hwnd;
    if (a.command == L"cursor") {
        writeCursor(json, window);
        return 0;
    }
    if (!window || !::IsWindow(window)) {
        json.text("error", L"no such window");
        return 1;
    }
    if (a.command == L"post") {
        json.boolean("ok", ::PostMessageW(window, a.message, a.wParam, a.lParam) != FALSE);
        return 0;
    }
    if (a.command == L"foreground" || a.command == L"key") {
        bool ok = ::SetForegroundWindow(window) != FALSE;
        if (a.command == L"key") pressKey(a.vk);
        json.boolean("ok", ok);
        json.integer("foreground", reinterpret_cast<std::intptr_t>(::GetForegroundWindow()));
        return 0;
    }
    if (a.command == L"answer") {
        // No SMTO_ABORTIFHUNG: a busy window is waited for, not given up on.
        DWORD start = ::GetTickCount();
        DWORD_PTR result = 0;
        bool answered =
            ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, a.timeoutMs, &result) != 0;
        json.boolean("answered", answered);
        json.integer("waitedMs", static_cast<std::int64_t>(::GetTickCount() - start));
        return answered ? 0 : 1;
    }
    json.text("error", L"unknown command");
    return 2;
}

bool writeFile(const std::wstring& path, const std::string& bytes) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) &&
           written == bytes.size();
}

}  // namespace

int main() {
    std::vector<std::wstring> args;
    Arguments arguments;
    bool ok = programArguments(&args) && parseArguments(args, &arguments);
    if (!ok) {
        std::fputs(
            "usage: winprobe OUT find|wait|waitgone|post|foreground|key|cursor|answer [options]\n",
            stderr);
        return 2;
    }
    JsonWriter json;
    json.beginObject();
    int code = run(arguments, json);
    json.endObject();
    if (!writeFile(arguments.out, json.str() + "\n")) {
        std::fputs("winprobe: cannot write the output file\n", stderr);
        return 2;
    }
    return code;
}
