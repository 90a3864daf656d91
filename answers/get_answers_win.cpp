// Tested by tests/answers/get_answers_test.py.
#include "answers/get_answers_win.h"

#include "answers/lookup_answer_win.h"
#include "answers/question_list_win.h"
#include "answers/regex_object_win.h"
#include "app/app_state.h"
#include "app/main_window_win.h"

void getAnswers() {
    HWND list = mainWindow.超级列表框1;
    RegexObject regex;
    regex.execute(pageAnswerPattern, appState.capturedPageHtml, false, true, true);
    deleteAllRows(list);

    int pageAnswers = regex.matchCount();
    if (pageAnswers >= 1) {
        for (int i = 1; i <= pageAnswers; ++i) {
            int row = appendRow(list, toText(i));
            setCellText(list, row, 1, regex.subMatchText(i, 2));
            setCellText(list, row, 2, regex.subMatchText(i, 1));
        }
        return;
    }

    regex.execute(questionIdPattern, appState.capturedPageHtml, false, true, true);
    int questions = regex.matchCount();
    for (int i = 1; i <= questions; ++i) {
        int row = appendRow(list, toText(i));
        setCellText(list, row, 1, regex.subMatchText(i, 2));
        setCellText(list, row, 2, lookupAnswer(regex.subMatchText(i, 1)));
    }
}
