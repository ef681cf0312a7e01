// Starting the game's launcher and opening a web address in the user's
// browser, both through the shell. Interface thread only (COM initialised).
#pragma once

#include "base/outcome.h"
#include "settings/settings_store.h"

#include <cstddef>

// The longest stored game folder (259 characters), the launcher's 12 and the
// terminator.
constexpr std::size_t LAUNCHER_PATH_CAPACITY = 272;

// Game folder + launcher name. False, with path empty, when it does not fit.
bool launcher_path(wchar_t (&path)[LAUNCHER_PATH_CAPACITY], const wchar_t* folder);

// Starts the launcher of the stored game folder, with that folder as its
// working directory, and does not wait for it. message holds MESSAGE_CAPACITY
// characters. OUTCOME_INFO: no usable folder stored (absent, empty or longer
// than a path), nothing started; OUTCOME_ERROR: the shell could not start it.
Outcome launch_game(wchar_t* message, const SettingsKey& settings);

// Opens address with the user's default browser. message holds
// MESSAGE_CAPACITY characters. OUTCOME_ERROR when the shell refuses.
Outcome open_site(wchar_t* message, const wchar_t* address);
