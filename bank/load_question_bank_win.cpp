// Placeholder until the bank download lands: the loading window closes at once.
#include "bank/loading_window_win.h"

void loadQuestionBank() { closeWindow(windowOf(LoadingWindow)); }
