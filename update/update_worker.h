// The thread that brings the Quillfern addon to the site's version in the
// configured edition: release list, downloads into a staging folder,
// installation, then the saved data of every account marked for purging when
// the version changed. It reports to its progress dialog and ends every run
// with exactly one end message (wParam 1 only when nothing was to be done).
#pragma once

#include <windows.h>

// The steps of a complete run: the update form's progress range.
constexpr int UPDATE_STEPS = 7;


// Thread procedure; param is a WorkerStart the worker takes over and releases.
DWORD WINAPI update_worker(void* param);
