// Reads a report-style list view of another process: its columns, extended
// styles and every cell's text. The list view keeps its texts in its own
// process, so the structures and buffers of LVM_GETCOLUMNW and
// LVM_GETITEMTEXTW are placed in that process's memory.
//
// Tested by the rig self-test tests/rig/rig_selftest.py.
#pragma once

#include <windows.h>

#include "tests/rig/winprobe/json_writer.h"

// Writes the member "listview" of the window's object.
void writeListView(JsonWriter& json, HWND listView);
