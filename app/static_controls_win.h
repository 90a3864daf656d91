// Two small controls of the main window that the standard controls do not
// give exactly: a one-line label drawn like DrawText with DT_SINGLELINE |
// DT_VCENTER | DT_LEFT | DT_NOPREFIX on a COLOR_BTNFACE fill, and a picture
// box that draws one picture centred on white (scaled down, keeping
// proportions, when larger than the box; never enlarged). Neither has class
// styles that would merge clicks into double-clicks or paint over siblings.
//
// Tested by tests/app/main_window_test.py.
#pragma once

#include <windows.h>

#include "app/text.h"

bool registerStaticControlClasses();
HWND createLabel(HWND parent, const wchar_t* text, RECT where, COLORREF textColour);
HWND createPictureBox(HWND parent, RECT where);

// Replaces the picture with the first image of an icon or cursor file; empty
// bytes clear it. Repaints the box.
void setPicture(HWND box, const ByteArray& image);
// Whether the box shows a picture now.
bool hasPicture(HWND box);
