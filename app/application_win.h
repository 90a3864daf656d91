// Start-up and shutdown of the program, and the main window's life-cycle
// handlers.
//
// Tested by tests/app/window_layer_test.cpp and tests/app/main_window_test.py.
#pragma once

// Prepares the process, loads the main window and runs the message loop;
// returns the exit code, 0 after a normal close.
int runApplication();

// Created event of the main window: loads LoadingWindow modally (the bank is
// loaded inside it), then unchecks "窗口置顶".
void prepareMainWindow();
// Will-be-destroyed event of the main window: deletes the bank file.
void deleteBankFile();
