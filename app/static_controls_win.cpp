// Tested by tests/app/main_window_test.py.
#include "app/static_controls_win.h"

#include <algorithm>

#include "app/icon_file.h"

namespace {

const wchar_t kLabelClass[] = L"TiyanLabel";
const wchar_t kPictureClass[] = L"TiyanPictureBox";

// What each control keeps, in GWLP_USERDATA.
struct ControlState {
    COLORREF textColour = 0;
    HFONT font = nullptr;
    HICON picture = nullptr;
    bool isPicture = false;
};

ControlState* stateOf(HWND hwnd) {
    return reinterpret_cast<ControlState*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// The first image of an icon or cursor file as an icon; null when the bytes
// are not such a file.
HICON iconFromImage(const ByteArray& image) {
    std::optional<IconFileEntry> entry = firstIconEntry(image, IconFileKind::iconOrCursor);
    if (!entry) return nullptr;
    return ::CreateIconFromResourceEx(const_cast<std::uint8_t*>(&image[entry->imageOffset]),
                                      entry->imageSize, TRUE, 0x00030000, entry->width,
                                      entry->height, LR_DEFAULTCOLOR);
}

SIZE iconSize(HICON icon) {
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info)) return {};
    BITMAP mask{};
    ::GetObjectW(info.hbmMask, sizeof mask, &mask);
    SIZE size{mask.bmWidth, info.hbmColor ? mask.bmHeight : mask.bmHeight / 2};
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return size;
}

void paintLabel(HWND hwnd, HDC dc, const ControlState& state) {
    RECT client;
    ::GetClientRect(hwnd, &client);
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
    int length = ::GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    ::GetWindowTextW(hwnd, text.data(), length + 1);
    HGDIOBJ oldFont = state.font ? ::SelectObject(dc, state.font) : nullptr;
    ::SetTextColor(dc, state.textColour);
    ::SetBkMode(dc, TRANSPARENT);
    ::DrawTextW(dc, text.c_str(), length, &client,
                DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
    if (oldFont) ::SelectObject(dc, oldFont);
}

void paintPicture(HWND hwnd, HDC dc, const ControlState& state) {
    RECT box;
    ::GetClientRect(hwnd, &box);
    ::FillRect(dc, &box, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    if (!state.picture) return;
    SIZE size = iconSize(state.picture);
    int width = size.cx, height = size.cy;
    int boxWidth = box.right - box.left, boxHeight = box.bottom - box.top;
    if (width <= 0 || height <= 0) return;
    if (width > boxWidth || height > boxHeight) {
        double scale = std::min(static_cast<double>(boxWidth) / width,
                                static_cast<double>(boxHeight) / height);
        width = std::max(1, static_cast<int>(width * scale));
        height = std::max(1, static_cast<int>(height * scale));
    }
    ::DrawIconEx(dc, (boxWidth - width) / 2, (boxHeight - height) / 2, state.picture, width, height,
                 0, nullptr, DI_NORMAL);
}

LRESULT CALLBACK staticControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ControlState* state = stateOf(hwnd);
    switch (message) {
        case WM_NCCREATE:
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new ControlState));
            break;
        case WM_NCDESTROY:
            if (state) {
                if (state->picture) ::DestroyIcon(state->picture);
                delete state;
                ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            }
            break;
        case WM_SETFONT:
            if (state) state->font = reinterpret_cast<HFONT>(wParam);
            if (LOWORD(lParam)) ::InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_GETFONT:
            return state ? reinterpret_cast<LRESULT>(state->font) : 0;
        case WM_SETTEXT: {
            LRESULT result = ::DefWindowProcW(hwnd, message, wParam, lParam);
            ::InvalidateRect(hwnd, nullptr, TRUE);
            return result;
        }
        case WM_ERASEBKGND:
            return 1;  // painting fills the whole client area
        case WM_PAINT:
        case WM_PRINTCLIENT: {
            if (!state) break;
            PAINTSTRUCT ps{};
            HDC dc = message == WM_PAINT ? ::BeginPaint(hwnd, &ps) : reinterpret_cast<HDC>(wParam);
            if (state->isPicture) {
                paintPicture(hwnd, dc, *state);
            } else {
                paintLabel(hwnd, dc, *state);
            }
            if (message == WM_PAINT) ::EndPaint(hwnd, &ps);
            return 0;
        }
        default:
            break;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND createControl(const wchar_t* className, HWND parent, const wchar_t* text, RECT where,
                   DWORD extraStyle) {
    return ::CreateWindowExW(0, className, text,
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | extraStyle, where.left,
                             where.top, where.right - where.left, where.bottom - where.top, parent,
                             nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

bool registerStaticControlClasses() {
    for (const wchar_t* name : {kLabelClass, kPictureClass}) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = staticControlProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = name;
        if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            return false;
        }
    }
    return true;
}

HWND createLabel(HWND parent, const wchar_t* text, RECT where, COLORREF textColour) {
    HWND label = createControl(kLabelClass, parent, text, where, 0);
    if (ControlState* state = label ? stateOf(label) : nullptr) state->textColour = textColour;
    return label;
}

HWND createPictureBox(HWND parent, RECT where) {
    HWND box = createControl(kPictureClass, parent, L"", where, WS_BORDER);
    if (ControlState* state = box ? stateOf(box) : nullptr) state->isPicture = true;
    return box;
}

void setPicture(HWND box, const ByteArray& image) {
    ControlState* state = stateOf(box);
    if (!state) return;
    if (state->picture) ::DestroyIcon(state->picture);
    state->picture = image.empty() ? nullptr : iconFromImage(image);
    ::InvalidateRect(box, nullptr, TRUE);
}

bool hasPicture(HWND box) {
    ControlState* state = stateOf(box);
    return state && state->picture;
}
