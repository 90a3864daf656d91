// The three operations "获取答案" needs on the question list. Texts are code
// page 936 and are shown through the wide list-view messages, so Chinese
// reads correctly whatever the system's ANSI code page is.
//
// Tested by tests/answers/get_answers_test.py.
#pragma once

#include <windows.h>

#include "app/text.h"

void deleteAllRows(HWND list);
// Appends a row whose first column is `firstColumn`; returns its index.
int appendRow(HWND list, const Text& firstColumn);
void setCellText(HWND list, int row, int column, const Text& text);
