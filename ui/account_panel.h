// The account panel of the main window: which game account's data file is
// sent, how close that file is to the upload limit, and whether it may be sent.
// It keeps no state of its own: every call reads the settings and the disk again.
#pragma once

#include "ui/main_window.h"

// Refills the account list from the game folder and selects the saved account
// (the first entry beginning with it, without letter case). When none matches,
// entry 0 is selected and stored as the account, a placeholder included.
void refresh_accounts(MainWindow& state);

// CBN_SELCHANGE of the account list: stores the chosen account unless it is a
// placeholder or already the saved one, then refreshes the display.
void on_account_selected(MainWindow& state);

// The saved account's data file: the bar, the percentage and size texts, and
// the send button, enabled only for a file whose purge flag reads "false".
void refresh_data_file_panel(MainWindow& state);
