// Which version and edition of the addon the game folder holds, read from two
// header lines of the addon's .toc file.
#pragma once

#include "base/outcome.h"
#include "settings/settings_store.h"
#include "update/toc_scan.h"

#include <windows.h>

#include <cstddef>

// The .toc's edition values; "Light" also when the file names none.
constexpr char INSTALLED_EDITION_LIGHT[] = "Light";
constexpr char INSTALLED_EDITION_FULL[] = "Full";
// The game folder is read with this capacity, so that Interface\AddOns\,
// the addon's folder and its .toc file name still fit in a path.
constexpr std::size_t INSTALLED_VERSION_GAME_FOLDER_CAPACITY = 210;
// The .toc file is read whole into this many bytes; one that fills them is refused.
constexpr DWORD TOC_MAX_BYTES = 1048576;

// version and edition hold INSTALLED_VERSION_CAPACITY bytes; edition may be null.
// OUTCOME_OK: a version line was found. OUTCOME_INFO: the .toc file cannot be
// opened (nothing installed), edition "Light". OUTCOME_ERROR otherwise; the
// message (MESSAGE_CAPACITY characters) says why.
Outcome read_installed_version(char* edition, const SettingsKey& settings, char* version,
                               wchar_t* message);
