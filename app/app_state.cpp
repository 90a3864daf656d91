#include "app/app_state.h"

AppState appState;

void exitCleanup() {
    Text().swap(appState.bankFilePath);
    Text().swap(appState.capturedPageHtml);
}
