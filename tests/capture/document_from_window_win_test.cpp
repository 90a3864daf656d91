// The capture against page hosts in other processes, without the main
// window: the document request and its failures, the texts a move writes, and
// the drag's states in the crosshair box as the handlers leave them.
#include "capture/crosshair_capture_win.h"

#include <gtest/gtest.h>

#include <string>

#include "app/app_state.h"
#include "app/codepage_win.h"
#include "app/dispatch_win.h"
#include "app/main_window_win.h"
#include "app/static_controls_win.h"
#include "app/window_layer_win.h"
#include "capture/crosshair_cursor_win.h"
#include "capture/crosshair_images.h"
#include "tests/capture/page_host_process_win.h"

namespace {

// A page with Chinese text, ASCII mark-up, a double-byte character whose
// second byte is '\' and one whose second byte is '|' (code page 936).
const std::string kPage =
    "<div class=\"q\" stranswer=\"B\">1. \xD6\xD0\xCE\xC4\xCC\xE2\xC4\xBF \xC2\\ \xC3| "
    "&amp; \xA1\xA1</div>\r\n<p>second line</p>";
const wchar_t kUrl[] = L"http://exam.example/\x8003\x8BD5?id=7";  // 考试
const char kUrlText[] = "http://exam.example/\xBF\xBC\xCA\xD4?id=7";

class CaptureTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ::CoInitialize(nullptr); }
    static void TearDownTestSuite() { ::CoUninitialize(); }

    void SetUp() override {
        pagePath_ = writeTempFile(kPage, L"pg");
        appState = AppState{};
        edit_ = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
        mainWindow.编辑框1 = edit_;
    }
    void TearDown() override {
        mainWindow.编辑框1 = nullptr;
        ::DestroyWindow(edit_);
        ::DeleteFileW(pagePath_.c_str());
        appState = AppState{};
    }

    Text editText() {
        wchar_t buffer[1024] = {};
        int length = ::GetWindowTextW(edit_, buffer, 1024);
        return textFromWide(std::wstring_view(buffer, length));
    }
    // One mouse move of a drag with the cursor at `at`.
    void moveTo(POINT at) {
        ::SetCursorPos(at.x, at.y);
        trackCrosshairDrag();
    }

    std::wstring pagePath_;
    HWND edit_ = nullptr;
};

TEST_F(CaptureTest, DocumentGivesUrlAndBodyHtmlByName) {
    PageHostProcess host(pagePath_, kUrl, L"doc-plain");
    ASSERT_TRUE(host.server());
    EXPECT_EQ(windowClassName(host.server()), "Internet Explorer_Server");
    EXPECT_EQ(windowClassName(host.frame()), "TiyanPageHost");
    ComPtr<IDispatch> document = documentFromWindow(host.server());
    ASSERT_TRUE(document);
    EXPECT_EQ(textOf(invokeMember(document.Get(), L"url")), kUrlText);
    ComPtr<IDispatch> body = dispatchOf(invokeMember(document.Get(), L"body"));
    ASSERT_TRUE(body);
    EXPECT_EQ(textOf(invokeMember(body.Get(), L"innerHTML")), kPage);
}

TEST_F(CaptureTest, NoDocumentFromWindowsOfOtherClassesOrWithoutOne) {
    PageHostProcess host(pagePath_, kUrl, L"doc-none", L"--no-document");
    ASSERT_TRUE(host.server());
    HWND gone = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    ::DestroyWindow(gone);
    for (HWND window : {host.server(), host.frame(), edit_, HWND{}, gone}) {
        EXPECT_FALSE(documentFromWindow(window)) << reinterpret_cast<std::intptr_t>(window);
    }
    // A handle that names no window: 256 blanks, which match no class name.
    EXPECT_EQ(windowClassName(gone), blankText(256));
}

TEST_F(CaptureTest, MoveOverAPageWritesHandleAndUrlAndReplacesTheHtml) {
    PageHostProcess host(pagePath_, kUrl, L"move-plain");
    ASSERT_TRUE(host.server());
    appState.capturedPageHtml = "earlier page";
    appState.isDragging = true;
    moveTo(host.serverCentre());
    EXPECT_EQ(editText(), windowHandleText(host.server()) + " - " + kUrlText);
    EXPECT_EQ(appState.capturedPageHtml, kPage);
}

TEST_F(CaptureTest, MovesThatReadNothingLeaveEverythingAsItWas) {
    PageHostProcess host(pagePath_, kUrl, L"move-ignored");
    ASSERT_TRUE(host.server());
    // A button: a static control is transparent to WindowFromPoint.
    HWND other = ::CreateWindowExW(WS_EX_TOPMOST, L"BUTTON", L"", WS_POPUP | WS_VISIBLE, 0, 0, 60,
                                   60, nullptr, nullptr, nullptr, nullptr);
    ::SetWindowTextW(edit_, L"before");
    appState.capturedPageHtml = "before";

    appState.isDragging = false;  // not dragging: even a page is not read
    moveTo(host.serverCentre());
    appState.isDragging = true;  // dragging over a window of another class
    moveTo({30, 30});
    EXPECT_EQ(windowUnderCursor(), other);
    EXPECT_EQ(editText(), "before");
    EXPECT_EQ(appState.capturedPageHtml, "before");
    ::DestroyWindow(other);
}

TEST_F(CaptureTest, PageWithoutBodyWritesTheUrlAndEmptiesTheHtml) {
    PageHostProcess host(pagePath_, kUrl, L"move-nobody", L"--no-body");
    ASSERT_TRUE(host.server());
    appState.capturedPageHtml = "earlier page";
    appState.isDragging = true;
    moveTo(host.serverCentre());
    EXPECT_EQ(editText(), windowHandleText(host.server()) + " - " + kUrlText);
    EXPECT_EQ(appState.capturedPageHtml, "");
}

TEST_F(CaptureTest, WindowWithoutDocumentWritesOnlyTheHandle) {
    PageHostProcess host(pagePath_, kUrl, L"move-nodoc", L"--no-document");
    ASSERT_TRUE(host.server());
    appState.capturedPageHtml = "earlier page";
    appState.isDragging = true;
    moveTo(host.serverCentre());
    EXPECT_EQ(editText(), windowHandleText(host.server()) + " - ");
    EXPECT_EQ(appState.capturedPageHtml, "");
}

TEST_F(CaptureTest, HungPageIsGivenUpAfterTheTimeOut) {
    std::wstring status = writeTempFile("", L"st");
    PageHostProcess host(pagePath_, kUrl, L"move-hung", L"--hang 8 --status \"" + status + L"\"");
    ASSERT_TRUE(host.server());
    // Wait until the host's thread has stopped handling messages.
    for (int i = 0; i < 200; ++i) {
        UniqueFileHandle file(::CreateFileW(status.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
        char text[64] = {};
        DWORD got = 0;
        if (file) ::ReadFile(file.get(), text, sizeof text - 1, &got, nullptr);
        if (std::string(text).find("hang-begin") != std::string::npos) break;
        ::Sleep(50);
    }
    appState.capturedPageHtml = "earlier page";
    appState.isDragging = true;
    DWORD start = ::GetTickCount();
    moveTo(host.serverCentre());
    DWORD took = ::GetTickCount() - start;
    EXPECT_EQ(editText(), windowHandleText(host.server()) + " - ");
    EXPECT_EQ(appState.capturedPageHtml, "");
    // Not a speed goal: a request that waited for the hang to end would take
    // the rest of its 8 s.
    EXPECT_LT(took, 5000u);
    ::DeleteFileW(status.c_str());
}

TEST(WindowHandleText, LowThirtyTwoBitsAsASignedNumber) {
    const struct {
        std::uintptr_t handle;
        const char* text;
    } cases[] = {{657, "657"},
                 {0, "0"},
                 {0x7FFFFFFF, "2147483647"},
                 {0x80000000u, "-2147483648"},
                 {0xFFFFFFFFu, "-1"},
                 {0xFFFFFD6Fu, "-657"}};
    for (const auto& c : cases) {
        EXPECT_EQ(windowHandleText(reinterpret_cast<HWND>(c.handle)), c.text) << c.handle;
    }
    // Bits above the low 32 (64-bit build) do not count.
    EXPECT_EQ(windowHandleText(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x100000291ull))),
              "657");
    EXPECT_EQ(windowHandleText(reinterpret_cast<HWND>(~std::uintptr_t{0})), "-1");
}

// The handlers on a real crosshair box, driven by the box's own mouse
// messages as the window layer delivers them.
class CrosshairBoxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        appState = AppState{};
        ASSERT_TRUE(registerStaticControlClasses());
        parent_ = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 300, 300, 100, 100,
                                    nullptr, nullptr, nullptr, nullptr);
        box_ = createPictureBox(parent_, RECT{10, 10, 50, 50});
        ASSERT_TRUE(box_);
        mainWindow.图片框1 = box_;
        subclassControl(box_, [](HWND, UINT message) {
            if (message == WM_LBUTTONDOWN) beginCrosshairDrag();
            if (message == WM_MOUSEMOVE) trackCrosshairDrag();
            if (message == WM_LBUTTONUP) endCrosshairDrag();
        });
        setPicture(box_, ByteArray(crosshairImage.begin(), crosshairImage.end()));
        setControlPointer(box_, ::LoadCursorW(nullptr, IDC_HAND));
    }
    void TearDown() override {
        if (::GetCapture()) ::ReleaseCapture();
        mainWindow.图片框1 = nullptr;
        ::DestroyWindow(parent_);
        appState = AppState{};
    }

    // The pointer the box sets when the mouse is over it.
    HCURSOR pointer() {
        ::SendMessageW(box_, WM_SETCURSOR, reinterpret_cast<WPARAM>(box_),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return ::GetCursor();
    }

    HWND parent_ = nullptr;
    HWND box_ = nullptr;
};

TEST_F(CrosshairBoxTest, PressBlanksTheBoxAndCapturesReleaseRestoresIt) {
    EXPECT_EQ(pointer(), ::LoadCursorW(nullptr, IDC_HAND));
    ::SendMessageW(box_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    EXPECT_TRUE(appState.isDragging);
    EXPECT_FALSE(hasPicture(box_));
    EXPECT_EQ(::GetCapture(), box_);
    EXPECT_EQ(pointer(), crosshairCursor());

    ::SendMessageW(box_, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_FALSE(appState.isDragging);
    EXPECT_TRUE(hasPicture(box_));
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_EQ(pointer(), handCursor());
}

TEST_F(CrosshairBoxTest, ReleaseWithoutPressChangesNothingAndKeepsOthersCapture) {
    HWND other = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                                   nullptr, nullptr, nullptr);
    ::SetCapture(other);
    ::SendMessageW(box_, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(::GetCapture(), other) << "a release while not dragging makes no ReleaseCapture";
    EXPECT_FALSE(appState.isDragging);
    EXPECT_TRUE(hasPicture(box_));
    EXPECT_EQ(pointer(), ::LoadCursorW(nullptr, IDC_HAND));
    ::ReleaseCapture();
    ::DestroyWindow(other);
}

TEST_F(CrosshairBoxTest, QuickClickWhoseReleaseWaitsInTheQueueLeavesNoCapture) {
    // The release is already queued when the press is handled: the press's
    // message processing handles it, and the drag is over before it began.
    ::PostMessageW(box_, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    ::SendMessageW(box_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    EXPECT_FALSE(appState.isDragging);
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_TRUE(hasPicture(box_));
    EXPECT_EQ(pointer(), handCursor());
}

}  // namespace
