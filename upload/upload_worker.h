// The thread that sends one account's saved-data file to the site and then
// marks it as sent. It reports to its progress dialog and ends every run with
// exactly one WM_APP.
#pragma once

#include <windows.h>

// Thread procedure; param is a WorkerStart the worker takes over and releases.
DWORD WINAPI upload_worker(void* param);

// The steps of a complete run: the send form's progress range.
constexpr int UPLOAD_STEPS = 9;

