#include "ui/account_panel.h"

#include "base/text_util.h"
#include "game/game_constants.h"
#include "game/game_files.h"
#include "game/purge_flag.h"
#include "ui/keyboard_focus.h"
#include "ui/show_outcome.h"

#include <commctrl.h>

#include <cstdint>
#include <cwchar>

namespace {

// Both begin with '<', which no folder name can: that is how a placeholder is
// told from an account.
constexpr wchar_t PLACEHOLDER_SEARCH_FAILED[] = L"<Erreur de recherche>";
constexpr wchar_t PLACEHOLDER_NO_ACCOUNT[] = L"<Aucun compte trouvé>";
constexpr wchar_t PLACEHOLDER_MARK = L'<';

constexpr wchar_t MSG_DISPLAY_NOT_UPDATED[] =
    L"Une erreur s'est produite pendant le traitement des informations du compte.\n"
    L"L'affichage n'est peut-être pas à jour.";

constexpr std::uint64_t LIMIT_BYTES = DATA_FILE_MAX_BYTES;
constexpr std::uint64_t KO_BYTES = 1024;
// The percentage keeps four significant digits, the size in Ko eight.
constexpr int PERCENT_DIGITS = 4;
constexpr int SIZE_DIGITS = 8;
// Room for the longest texts: "273067%" and "4194303Ko / 1536Ko".
constexpr std::size_t DISPLAY_TEXT_CAPACITY = 32;

// A fraction kept exact: the percentage and the size are computed in integers,
// since binary floating point rounds some of their halves the wrong way.
struct Fraction {
    std::uint64_t numerator;
    std::uint64_t denominator;
};

std::uint64_t power_of_ten(int exponent) {
    std::uint64_t power = 1;
    for (int i = 0; i < exponent; ++i) power *= 10;
    return power;
}

// numerator / denominator × 10^exponent. Sizes are 32-bit, so every product
// the panel forms stays far below 2^64.
Fraction scaled(std::uint64_t numerator, std::uint64_t denominator, int exponent) {
    if (exponent >= 0) return {numerator * power_of_ten(exponent), denominator};
    return {numerator, denominator * power_of_ten(-exponent)};
}

std::uint64_t floor_of(Fraction value) { return value.numerator / value.denominator; }

// Halves go up.
std::uint64_t rounded(Fraction value) {
    return (2 * value.numerator + value.denominator) / (2 * value.denominator);
}

int digit_count(std::uint64_t value) {
    int count = 1;
    while (value >= 10) {
        value /= 10;
        ++count;
    }
    return count;
}


void append_char(wchar_t* text, std::size_t capacity, wchar_t c) {
    const wchar_t one[] = {c, 0};
    append_text(text, capacity, one);
}

// p = size × 100 / limit, rounded to four significant digits (halves up),
// written with one digit after the point at most; "0.0%" below 0.1.
// From p = 10000 on, four digits no longer reach the point: the whole
// percentage is written instead, rounded to the unit.
void format_percent(wchar_t* text, std::size_t capacity, DWORD size) {
    text[0] = 0;
    const std::uint64_t hundredfold = std::uint64_t{size} * 100;
    const std::uint64_t smallest = power_of_ten(PERCENT_DIGITS - 1);

    // The first scale, from the largest, that gives p four whole digits
    // tells how many digits stand before the point (whole_digits).
    // A 32-bit size keeps p below 10^6, so ten whole digits is ample.
    int whole_digits = -1;  // stays -1 when p is below 0.01
    std::uint64_t digits = 0;
    for (int candidate = 10; candidate >= -1; --candidate) {
        const Fraction value = scaled(hundredfold, LIMIT_BYTES, PERCENT_DIGITS - candidate);
        if (floor_of(value) < smallest) continue;
        digits = rounded(value);
        whole_digits = candidate;
        if (digits == smallest * 10) {  // 99.99x became 100.0
            digits = smallest;
            ++whole_digits;
        }
        break;
    }

    if (whole_digits < 0) {
        copy_text(text, capacity, L"0.0%");
        return;
    }
    if (whole_digits > PERCENT_DIGITS) {
        append_decimal(text, capacity, rounded(scaled(hundredfold, LIMIT_BYTES, 0)));
        append_char(text, capacity, L'%');
        return;
    }
    wchar_t shown[8];
    shown[0] = 0;
    append_decimal(shown, 8, digits);  // exactly four digits
    if (whole_digits == 0) {
        copy_text(text, capacity, L"0.");
        append_char(text, capacity, shown[0]);
    } else {
        for (int i = 0; i < whole_digits; ++i) append_char(text, capacity, shown[i]);
        append_char(text, capacity, L'.');
        if (whole_digits < PERCENT_DIGITS) append_char(text, capacity, shown[whole_digits]);
    }
    append_char(text, capacity, L'%');
}

// bytes / 1024 rounded to eight significant digits, its part before the point.
std::uint64_t whole_ko(std::uint64_t bytes) {
    const std::uint64_t whole = bytes / KO_BYTES;
    if (whole == 0) return 0;  // 1023/1024 stays below 1 at eight digits
    // At least one decimal: a 32-bit size is under 10^7 Ko.
    const int decimals = SIZE_DIGITS - digit_count(whole);
    return rounded(scaled(bytes, KO_BYTES, decimals)) / power_of_ten(decimals);
}

void format_size(wchar_t* text, std::size_t capacity, DWORD size) {
    text[0] = 0;
    append_decimal(text, capacity, whole_ko(size));
    append_text(text, capacity, L"Ko / ");
    append_decimal(text, capacity, whole_ko(LIMIT_BYTES));
    append_text(text, capacity, L"Ko");
}

void set_text(HWND control, const wchar_t* text) {
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void show_size(const MainWindow& state, DWORD size) {
    // The bar's range ends at 100, so a file over the limit shows it full.
    const std::uint64_t percent = std::uint64_t{size} * 100 / LIMIT_BYTES;
    SendMessageW(state.fill_bar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    wchar_t percent_text[DISPLAY_TEXT_CAPACITY];
    wchar_t size_text[DISPLAY_TEXT_CAPACITY];
    format_percent(percent_text, DISPLAY_TEXT_CAPACITY, size);
    format_size(size_text, DISPLAY_TEXT_CAPACITY, size);
    set_text(state.percent_text, percent_text);
    set_text(state.size_text, size_text);
}

void show_absent(const MainWindow& state) {
    SendMessageW(state.fill_bar, PBM_SETPOS, 0, 0);
    set_text(state.percent_text, L"0%");
    set_text(state.size_text, L"");
}

void add_entry(HWND list, const wchar_t* text) {
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

// False when there is no such entry or its text would not fit.
bool entry_text(HWND list, LRESULT index, wchar_t (&text)[PATH_CAPACITY]) {
    text[0] = 0;
    if (index == CB_ERR) return false;
    const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length >= static_cast<LRESULT>(PATH_CAPACITY)) return false;
    return SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(text)) != CB_ERR;
}

void store_account(const MainWindow& state, const wchar_t* account) {
    wchar_t message[MESSAGE_CAPACITY];
    show_outcome(state.window, set_account(message, *state.settings, account), message);
}

}  // namespace

void refresh_accounts(MainWindow& state) {
    const HWND list = state.account_list;
    SendMessageW(list, CB_RESETCONTENT, 0, 0);

    wchar_t message[MESSAGE_CAPACITY];  // the list itself says what went wrong
    const Outcome listed = list_game_accounts(state.account_names, message, *state.settings);
    if (listed == OUTCOME_ERROR) {
        add_entry(list, PLACEHOLDER_SEARCH_FAILED);
    } else if (listed == OUTCOME_INFO) {
        add_entry(list, PLACEHOLDER_NO_ACCOUNT);
    } else {
        for (const auto& name : state.account_names) {
            if (name[0] == 0) break;
            add_entry(list, name);
        }
    }

    // An empty saved name is no saved account, whatever the control would
    // make of an empty prefix.
    wchar_t saved[PATH_CAPACITY];
    if (get_account(*state.settings, saved) != OUTCOME_ERROR && saved[0] != 0 &&
        SendMessageW(list, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(saved)) != CB_ERR)
        return;  // the saved name stays as it is, also when the entry is longer

    SendMessageW(list, CB_SETCURSEL, 0, 0);
    wchar_t first[PATH_CAPACITY];
    if (entry_text(list, 0, first)) store_account(state, first);
}

void on_account_selected(MainWindow& state) {
    wchar_t chosen[PATH_CAPACITY];
    const LRESULT index = SendMessageW(state.account_list, CB_GETCURSEL, 0, 0);
    if (entry_text(state.account_list, index, chosen) && chosen[0] != PLACEHOLDER_MARK) {
        // A saved name that is unreadable, or too long for any entry, differs.
        wchar_t saved[PATH_CAPACITY];
        const bool same = get_account(*state.settings, saved) == OUTCOME_OK &&
                          std::wcscmp(chosen, saved) == 0;
        if (!same) store_account(state, chosen);
    }
    refresh_data_file_panel(state);
}

void refresh_data_file_panel(MainWindow& state) {
    wchar_t game_folder[PATH_CAPACITY];
    wchar_t account[PATH_CAPACITY];
    const Outcome folder_read = get_game_path(*state.settings, game_folder, PATH_CAPACITY);
    const Outcome account_read = get_account(*state.settings, account);
    if (folder_read == OUTCOME_ERROR || account_read == OUTCOME_ERROR) {
        show_outcome(state.window, OUTCOME_ERROR, MSG_DISPLAY_NOT_UPDATED);
        return;
    }

    // A path too long to build stays empty: the entry then names nothing and
    // the file reads as absent.
    wchar_t path[PATH_CAPACITY];
    build_data_file_path(path, game_folder, account);
    FileEntry data_file(PATH_CAPACITY, path);
    // A file the game holds open without sharing cannot be opened: absent too.
    DWORD size = 0;
    if (data_file.exists() && data_file.size(&size))
        show_size(state, size);
    else
        show_absent(state);

    bool already_sent = true;
    const bool sendable =
        edit_purge_flag(data_file, already_sent, PURGE_READ) == OUTCOME_OK && !already_sent;
    if (!sendable) hand_off_focus(state, state.send_button);
    EnableWindow(state.send_button, sendable ? TRUE : FALSE);
}
