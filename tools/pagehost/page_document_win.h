// The document object that pagehost serves through its document window, in
// the shape an Internet Explorer document window serves its own: an IDispatch
// whose members "url" and "body" are found by name, where "body" is an element
// object whose member "innerHTML" holds the page.
//
// The document also answers QueryInterface for the base document interface
// IHTMLDocument, {626FC520-A41E-11CF-A731-00A0C9082637}, which is what the
// capture asks ObjectFromLresult for. That interface is an IDispatch with one
// more method (get_Script), so the object's vtable carries that slot too. It is
// registered for type-library marshalling (mshtml.tlb), which is how the
// reference crosses to the capturing process, under Windows and under Wine.
//
// Tested by tests/capture/document_from_window_win_test.cpp and the rig tests
// in tests/capture.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "app/scoped_win.h"

inline constexpr IID kBaseDocumentIid = {
    0x626FC520, 0xA41E, 0x11CF, {0xA7, 0x31, 0x00, 0xA0, 0xC9, 0x08, 0x26, 0x37}};

struct PageContent {
    std::wstring url;
    std::wstring innerHtml;
    bool hasBody = true;  // false: "body" reads as an empty object reference
};

ComPtr<IDispatch> makePageDocument(const PageContent& content);
