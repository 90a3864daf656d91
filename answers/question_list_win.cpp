// Tested by tests/answers/get_answers_test.py.
#include "answers/question_list_win.h"

#include <commctrl.h>

#include "app/codepage_win.h"

void deleteAllRows(HWND list) { ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0); }

int appendRow(HWND list, const Text& firstColumn) {
    std::wstring text = wideFromText(firstColumn);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = text.data();
    item.lParam = 0;
    return static_cast<int>(
        ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void setCellText(HWND list, int row, int column, const Text& text) {
    std::wstring wide = wideFromText(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&item));
}
