// Tested by the rig self-test tests/rig/rig_selftest.py.
#include "tests/rig/winprobe/listview_probe_win.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "app/scoped_win.h"

namespace {

constexpr UINT kTimeoutMs = 2000;
constexpr size_t kStructBytes = 512;
constexpr int kTextChars = 32768;
constexpr int kMaxColumns = 64;

bool send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
    return ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kTimeoutMs,
                                 result) != 0;
}

// Memory in the list view's process: a structure followed by a text buffer.
class RemoteBuffer {
  public:
    explicit RemoteBuffer(HANDLE process) : process_(process) {
        base_ = static_cast<char*>(::VirtualAllocEx(process, nullptr,
                                                    kStructBytes + kTextChars * sizeof(wchar_t),
                                                    MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    ~RemoteBuffer() {
        if (base_) ::VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
    }

    explicit operator bool() const { return base_ != nullptr; }
    void* structure() const { return base_; }
    wchar_t* text() const { return reinterpret_cast<wchar_t*>(base_ + kStructBytes); }

    template <typename T>
    bool put(const T& value) {
        static_assert(sizeof(T) <= kStructBytes);
        SIZE_T done = 0;
        return ::WriteProcessMemory(process_, base_, &value, sizeof value, &done) &&
               done == sizeof value;
    }
    template <typename T>
    bool get(T* value) {
        SIZE_T done = 0;
        return ::ReadProcessMemory(process_, base_, value, sizeof *value, &done) &&
               done == sizeof *value;
    }
    std::wstring readText(size_t length) {
        if (length > static_cast<size_t>(kTextChars - 1)) length = kTextChars - 1;
        std::wstring value(length, L'\0');
        SIZE_T done = 0;
        if (length &&
            !::ReadProcessMemory(process_, text(), value.data(), length * sizeof(wchar_t), &done)) {
            return {};
        }
        return value;
    }

  private:
    HANDLE process_;
    char* base_ = nullptr;
};

bool sameBitness(HANDLE process) {
    BOOL selfWow = FALSE, otherWow = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &selfWow);
    ::IsWow64Process(process, &otherWow);
    return selfWow == otherWow;
}

void writeColumns(JsonWriter& json, HWND listView, RemoteBuffer& remote) {
    json.beginArray("columns");
    for (int index = 0; index < kMaxColumns; ++index) {
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.pszText = remote.text();
        column.cchTextMax = kTextChars;
        DWORD_PTR ok = 0;
        if (!remote.put(column) ||
            !send(listView, LVM_GETCOLUMNW, index, reinterpret_cast<LPARAM>(remote.structure()),
                  &ok) ||
            !ok || !remote.get(&column)) {
            break;
        }
        // The text pointer may now point at the list view's own storage; read
        // through the buffer only when it was used.
        std::wstring title;
        if (column.pszText == remote.text()) {
            std::wstring full = remote.readText(kTextChars - 1);
            title = full.substr(0, full.find(L'\0'));
        }
        json.beginObject();
        json.text("title", title);
        json.integer("width", column.cx);
        json.integer("format", column.fmt);
        json.endObject();
    }
    json.endArray();
}

void writeItems(JsonWriter& json, HWND listView, RemoteBuffer& remote, int columns) {
    DWORD_PTR count = 0;
    // false when the list did not answer in time (a busy or hung thread): the
    // items read as none then, which is not an empty list.
    json.boolean("answered", send(listView, LVM_GETITEMCOUNT, 0, 0, &count));
    json.integer("itemCount", static_cast<std::int64_t>(count));
    std::vector<int> selected;
    json.beginArray("items");
    for (int item = 0; item < static_cast<int>(count); ++item) {
        json.beginArray();
        for (int sub = 0; sub < (columns > 0 ? columns : 1); ++sub) {
            LVITEMW cell{};
            cell.iSubItem = sub;
            cell.pszText = remote.text();
            cell.cchTextMax = kTextChars;
            DWORD_PTR length = 0;
            std::wstring text;
            if (remote.put(cell) && send(listView, LVM_GETITEMTEXTW, item,
                                         reinterpret_cast<LPARAM>(remote.structure()), &length)) {
                text = remote.readText(length);
            }
            json.text({}, text);
        }
        json.endArray();
        DWORD_PTR state = 0;
        if (send(listView, LVM_GETITEMSTATE, item, LVIS_SELECTED, &state) &&
            (state & LVIS_SELECTED)) {
            selected.push_back(item);
        }
    }
    json.endArray();
    json.beginArray("selected");
    for (int item : selected) json.integer({}, item);
    json.endArray();
}

}  // namespace

void writeListView(JsonWriter& json, HWND listView) {
    json.beginObject("listview");
    DWORD_PTR exStyle = 0;
    send(listView, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0, &exStyle);
    json.integer("extendedStyle", static_cast<std::int64_t>(exStyle));
    DWORD processId = 0;
    ::GetWindowThreadProcessId(listView, &processId);
    UniqueHandle process(::OpenProcess(
        PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
        FALSE, processId));
    if (!process) {
        json.text("error", L"cannot open the list view's process");
    } else if (!sameBitness(process.get())) {
        json.text("error", L"the list view's process has another bitness");
    } else {
        RemoteBuffer remote(process.get());
        if (!remote) {
            json.text("error", L"cannot allocate memory in the list view's process");
        } else {
            DWORD_PTR header = 0, columns = 0;
            if (send(listView, LVM_GETHEADER, 0, 0, &header) && header) {
                send(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, &columns);
            }
            writeColumns(json, listView, remote);
            writeItems(json, listView, remote, static_cast<int>(columns));
        }
    }
    json.endObject();
}
