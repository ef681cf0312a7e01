// The account panel of a main window created in this process: a scratch game
// folder, the settings on a scratch key, and the window's real controls.
#include "base/unique_handle.h"
#include "settings/settings_store.h"
#include "tests/support/test_support.h"
#include "tests/support/window_driver.h"
#include "ui/account_panel.h"
#include "ui/main_window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

const std::string FALSE_FLAG = "QF_Purge = \"false\"\r\n";
const std::string TRUE_FLAG = "QF_Purge = \"true!\"\r\n";
const std::wstring NO_ACCOUNT = L"<Aucun compte trouvé>";
const std::wstring SEARCH_FAILED = L"<Erreur de recherche>";
const std::wstring DISPLAY_ERROR =
    L"Une erreur s'est produite pendant le traitement des informations du compte.\n"
    L"L'affichage n'est peut-être pas à jour.";
const std::wstring ACCOUNT_NOT_SAVED =
    L"Impossible de sauvegarder le nom du compte utilisé.\n"
    L"Vous devrez sélectionner le compte à chaque envoi de données.";

// What the panel shows.
struct Display {
    int bar;
    std::wstring percent;
    std::wstring size;
    bool send;
    bool operator==(const Display& other) const {
        return bar == other.bar && percent == other.percent && size == other.size &&
               send == other.send;
    }
};

void PrintTo(const Display& display, std::ostream* out) {
    *out << "{bar " << display.bar << ", " << ::testing::PrintToString(display.percent) << ", "
         << ::testing::PrintToString(display.size) << ", send "
         << (display.send ? "enabled" : "disabled") << "}";
}

const Display ABSENT = {0, L"0%", L"", false};
// A file of 786,432 bytes whose flag reads "false".
const Display HALF_FULL = {50, L"50.0%", L"768Ko / 1536Ko", true};

// A saved-data file of exactly bytes bytes, the flag line (if any) second.
std::string data_of_size(const std::string& flag_line, size_t bytes) {
    std::string text = "QF_Data = {}\r\n" + flag_line;
    text.append(bytes - text.size(), 'x');
    return text;
}

// Sets a file's length without writing its bytes, so large files stay sparse.
bool set_file_size(const std::wstring& path, DWORD bytes) {
    UniqueKernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER end;
    end.QuadPart = bytes;
    return SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.get());
}

void delete_value(const ScratchKey& key, const wchar_t* name) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key.subkey(), name);
}

void pump_messages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

class AccountPanel : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        register_main_window_class(GetModuleHandleW(nullptr));
    }
    void SetUp() override {
        registry_.set_text(VALUE_GAME_PATH, game_.path());
        settings_ = open_settings(registry_);
        window_ = create_main_window(GetModuleHandleW(nullptr), &settings_);
        ASSERT_TRUE(window_);
        state_ = main_window_state(window_);
        ASSERT_TRUE(state_);
    }
    void TearDown() override {
        if (IsWindow(window_)) DestroyWindow(window_);
        pump_messages();  // takes the WM_QUIT that the window posts
    }

    // The window keeps the address of settings_, so this reopens it in place.
    void make_settings_read_only() { settings_ = open_settings(registry_, KEY_READ); }

    std::wstring data_file(const std::wstring& account) const {
        return game_.path() + L"WTF\\Account\\" + account + L"\\SavedVariables\\Quillfern.lua";
    }
    void make_account(const std::wstring& account) const {
        game_.make_folder(L"WTF\\Account\\" + account);
    }
    void write_data(const std::wstring& account, const std::string& bytes) const {
        game_.make_file(L"WTF\\Account\\" + account + L"\\SavedVariables\\Quillfern.lua", bytes);
    }

    std::vector<std::wstring> entries() const {
        std::vector<std::wstring> texts;
        const LRESULT count = SendMessageW(state_->account_list, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) texts.push_back(entry(i));
        return texts;
    }
    std::wstring entry(LRESULT index) const {
        wchar_t text[PATH_CAPACITY] = L"";
        if (SendMessageW(state_->account_list, CB_GETLBTEXTLEN, index, 0) < static_cast<LRESULT>(PATH_CAPACITY))
            SendMessageW(state_->account_list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }
    std::wstring selection() const {
        const LRESULT index = SendMessageW(state_->account_list, CB_GETCURSEL, 0, 0);
        return index == CB_ERR ? L"(no selection)" : entry(index);
    }
    // As the user does it; the window would then call on_account_selected.
    void choose(const std::wstring& text) {
        const LRESULT index = SendMessageW(state_->account_list, CB_FINDSTRINGEXACT,
                                           static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(text.c_str()));
        ASSERT_NE(CB_ERR, index) << "no entry " << ::testing::PrintToString(text);
        SendMessageW(state_->account_list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        on_account_selected(*state_);
    }

    Display display() const {
        return {static_cast<int>(SendMessageW(state_->fill_bar, PBM_GETPOS, 0, 0)),
                window_text(state_->percent_text), window_text(state_->size_text),
                IsWindowEnabled(state_->send_button) != FALSE};
    }
    // A state no refresh leaves, so that a refresh has to set every part.
    void scramble_display(bool send_enabled) {
        SendMessageW(state_->fill_bar, PBM_SETPOS, 42, 0);
        SetWindowTextW(state_->percent_text, L"?");
        SetWindowTextW(state_->size_text, L"?");
        EnableWindow(state_->send_button, send_enabled);
    }

    std::wstring saved_account() const {
        return registry_.has_value(VALUE_ACCOUNT) ? registry_.text(VALUE_ACCOUNT) : L"(absent)";
    }

    ScratchFolder game_;
    ScratchKey registry_;
    SettingsKey settings_;
    MessageBoxAnswerer boxes_;
    HWND window_ = nullptr;
    MainWindow* state_ = nullptr;
};

// ---- the data file's display ---------------------------------------------

struct SizeCase {
    DWORD bytes;
    int bar;
    const wchar_t* percent;
    const wchar_t* size;
};

TEST_F(AccountPanel, ShowsTheDataFileSizeAgainstTheLimit) {
    const SizeCase cases[] = {
        // The designed values.
        {0, 0, L"0.0%", L"0Ko / 1536Ko"},
        {1000, 0, L"0.0%", L"0Ko / 1536Ko"},
        {10000, 0, L"0.6%", L"9Ko / 1536Ko"},
        {100000, 6, L"6.3%", L"97Ko / 1536Ko"},
        {786432, 50, L"50.0%", L"768Ko / 1536Ko"},
        {1048576, 66, L"66.6%", L"1024Ko / 1536Ko"},
        {1572863, 99, L"100.0%", L"1535Ko / 1536Ko"},
        {1572864, 100, L"100.0%", L"1536Ko / 1536Ko"},
        {2000000, 100, L"127.2%", L"1953Ko / 1536Ko"},
        {15728640, 100, L"1000.%", L"15360Ko / 1536Ko"},
        // A whole Ko from 1024 bytes on.
        {1023, 0, L"0.0%", L"0Ko / 1536Ko"},
        {1024, 0, L"0.0%", L"1Ko / 1536Ko"},
        // p exactly halfway at the fifth digit (106.25 and 1012.5) rounds up.
        {1671168, 100, L"106.3%", L"1632Ko / 1536Ko"},
        {15925248, 100, L"1013.%", L"15552Ko / 1536Ko"},
        // From p = 10000 on, the whole percentage rounded to the unit.
        {157278535, 100, L"9999.%", L"153592Ko / 1536Ko"},  // p just below 9999.5
        {157278536, 100, L"10000%", L"153592Ko / 1536Ko"},  // and just above
        {157286399, 100, L"10000%", L"153600Ko / 1536Ko"},
        {157286400, 100, L"10000%", L"153600Ko / 1536Ko"},
        {157483008, 100, L"10013%", L"153792Ko / 1536Ko"},  // p = 10012.5
        // Eight significant digits of Ko: from 100000 Ko on, rounding the
        // decimals can carry into the unit.
        {102400511, 100, L"6510.%", L"100000Ko / 1536Ko"},
        {102401023, 100, L"6510.%", L"100001Ko / 1536Ko"},
        {1024000972, 100, L"65104%", L"1000000Ko / 1536Ko"},
        {1024000973, 100, L"65104%", L"1000001Ko / 1536Ko"},
        // The largest size a 32-bit size can report: size × 100 needs 64 bits.
        {4294967294u, 100, L"273067%", L"4194304Ko / 1536Ko"},
    };
    registry_.set_text(VALUE_ACCOUNT, L"Main");
    write_data(L"Main", "");
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.bytes);
        ASSERT_TRUE(set_file_size(data_file(L"Main"), c.bytes));
        scramble_display(true);
        refresh_data_file_panel(*state_);
        const Display shown = display();
        EXPECT_EQ(c.bar, shown.bar);
        EXPECT_EQ(c.percent, shown.percent);
        EXPECT_EQ(c.size, shown.size);
        EXPECT_FALSE(shown.send) << "no purge flag in these files";
    }
    EXPECT_EQ(0, boxes_.boxes_seen());
}

struct SendCase {
    const char* name;
    std::wstring account;  // the saved account; the file is always Main's
    bool file;
    std::string flag_line;
    size_t bytes;
    bool held_open;
    Display expected;
};

TEST_F(AccountPanel, SendButtonOnlyForAnUnsentFileItCanRead) {
    const std::wstring too_long(230, L'a');
    const SendCase cases[] = {
        {"no data file", L"Main", false, "", 0, false, ABSENT},
        {"flag false", L"Main", true, FALSE_FLAG, 786432, false, HALF_FULL},
        {"flag true!: already sent", L"Main", true, TRUE_FLAG, 786432, false,
         {50, L"50.0%", L"768Ko / 1536Ko", false}},
        {"flag false again", L"Main", true, FALSE_FLAG, 786432, false, HALF_FULL},
        {"no flag line", L"Main", true, "", 786432, false, {50, L"50.0%", L"768Ko / 1536Ko", false}},
        {"held open without sharing, as the game does", L"Main", true, FALSE_FLAG, 786432, true,
         ABSENT},
        {"largest file the flag reader takes", L"Main", true, FALSE_FLAG, 1572863, false,
         {99, L"100.0%", L"1535Ko / 1536Ko", true}},
        {"exactly at the limit: too big for the flag reader", L"Main", true, FALSE_FLAG, 1572864,
         false, {100, L"100.0%", L"1536Ko / 1536Ko", false}},
        {"path too long for 260 characters", too_long, true, FALSE_FLAG, 786432, false, ABSENT},
    };
    for (const SendCase& c : cases) {
        SCOPED_TRACE(c.name);
        registry_.set_text(VALUE_ACCOUNT, c.account);
        DeleteFileW(data_file(L"Main").c_str());
        if (c.file) write_data(L"Main", data_of_size(c.flag_line, c.bytes));
        UniqueKernelHandle holder;
        if (c.held_open) {
            holder.reset(CreateFileW(data_file(L"Main").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(holder);
        }
        scramble_display(!c.expected.send);
        refresh_data_file_panel(*state_);
        EXPECT_EQ(c.expected, display());
    }
    EXPECT_EQ(0, boxes_.boxes_seen());
}

TEST_F(AccountPanel, UnreadableSettingsLeaveTheDisplayWithAnErrorBox) {
    const struct {
        const char* name;
        const wchar_t* value;
        bool wrong_type;
    } cases[] = {
        {"no game folder", VALUE_GAME_PATH, false},
        {"game folder not REG_SZ", VALUE_GAME_PATH, true},
        {"no saved account", VALUE_ACCOUNT, false},
    };
    write_data(L"Main", data_of_size(FALSE_FLAG, 786432));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        registry_.set_text(VALUE_GAME_PATH, game_.path());
        registry_.set_text(VALUE_ACCOUNT, L"Main");
        refresh_data_file_panel(*state_);
        ASSERT_EQ(HALF_FULL, display());

        const std::wstring kept = registry_.text(c.value);
        delete_value(registry_, c.value);
        if (c.wrong_type)
            registry_.set_raw(c.value, REG_EXPAND_SZ, kept.c_str(),
                              static_cast<DWORD>((kept.size() + 1) * sizeof(wchar_t)));
        const int boxes_before = boxes_.boxes_seen();
        refresh_data_file_panel(*state_);
        EXPECT_EQ(boxes_before + 1, boxes_.boxes_seen());
        EXPECT_EQ(DISPLAY_ERROR, boxes_.text());
        EXPECT_EQ(L"Error", boxes_.title()) << "the system's default title";
        EXPECT_EQ(L"error", boxes_.icon());
        EXPECT_EQ(HALF_FULL, display()) << "left as it was";
    }
}

// ---- the account list ----------------------------------------------------

TEST_F(AccountPanel, PlaceholderWhenNoAccountCanBeListed) {
    struct PlaceholderCase {
        const char* name;
        std::wstring game_folder;  // empty: not set
        std::wstring placeholder;
        bool display_error;  // the display refresh then cannot read the game folder
    };
    const std::wstring long_folder =
        game_.path() + std::wstring(159 - game_.path().size(), L'g') + L"\\";
    const std::vector<PlaceholderCase> cases = {
        {"game never started: no accounts folder", game_.make_folder(L"fresh"), NO_ACCOUNT, false},
        {"accounts folder with files only", game_.path() + L"files\\", NO_ACCOUNT, false},
        {"game folder not set", L"", SEARCH_FAILED, true},
        {"game folder too long to list", long_folder, SEARCH_FAILED, false},
    };
    game_.make_file(L"files\\WTF\\Account\\notes.txt", "x");
    ASSERT_EQ(160u, long_folder.size());
    for (const PlaceholderCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.game_folder.empty())
            delete_value(registry_, VALUE_GAME_PATH);
        else
            registry_.set_text(VALUE_GAME_PATH, c.game_folder);
        registry_.set_text(VALUE_ACCOUNT, L"Gone");
        const int boxes_before = boxes_.boxes_seen();

        refresh_accounts(*state_);
        EXPECT_EQ(std::vector<std::wstring>{c.placeholder}, entries());
        EXPECT_EQ(c.placeholder, selection());
        EXPECT_EQ(c.placeholder, saved_account()) << "entry 0 is stored, placeholder or not";
        EXPECT_EQ(boxes_before, boxes_.boxes_seen()) << "the listing shows no box";

        scramble_display(true);
        refresh_data_file_panel(*state_);
        if (c.display_error) {
            EXPECT_EQ(boxes_before + 1, boxes_.boxes_seen());
            EXPECT_EQ(DISPLAY_ERROR, boxes_.text());
        } else {
            EXPECT_EQ(ABSENT, display());
            EXPECT_EQ(boxes_before, boxes_.boxes_seen());
        }
    }
}

TEST_F(AccountPanel, PlaceholderChosenByHandStoresNothingButRefreshes) {
    const struct {
        const char* name;
        bool game_folder_set;
        std::wstring placeholder;
    } cases[] = {
        {"no account found", true, NO_ACCOUNT},
        {"search failed", false, SEARCH_FAILED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A game folder without accounts (or none at all) gives the placeholder...
        remove_tree(game_.path() + L"WTF");
        if (c.game_folder_set)
            registry_.set_text(VALUE_GAME_PATH, game_.path());
        else
            delete_value(registry_, VALUE_GAME_PATH);
        refresh_accounts(*state_);
        ASSERT_EQ(std::vector<std::wstring>{c.placeholder}, entries());

        // ...then an account appears and is saved behind the list's back.
        registry_.set_text(VALUE_GAME_PATH, game_.path());
        registry_.set_text(VALUE_ACCOUNT, L"zed");
        write_data(L"zed", data_of_size(FALSE_FLAG, 786432));
        scramble_display(false);
        choose(c.placeholder);
        EXPECT_EQ(L"zed", saved_account());
        EXPECT_EQ(HALF_FULL, display());
    }
    EXPECT_EQ(0, boxes_.boxes_seen());
}

TEST_F(AccountPanel, SavedAccountSelectsTheFirstEntryBeginningWithItWithoutCase) {
    // Wine lists folders sorted by name without case, whatever the creation
    // order: abc, ABCD, Abcde.
    make_account(L"ABCD");
    make_account(L"Abcde");
    make_account(L"abc");
    write_data(L"abc", data_of_size(FALSE_FLAG, 786432));
    write_data(L"ABCD", data_of_size(TRUE_FLAG, 100000));
    const Display abc_file = HALF_FULL;
    const Display abcd_file = {6, L"6.3%", L"97Ko / 1536Ko", false};

    const struct {
        const wchar_t* saved;  // null: no value
        const wchar_t* selected;
        const wchar_t* stored;
        Display shown;
    } cases[] = {
        {L"abc", L"abc", L"abc", abc_file},
        {L"ABC", L"abc", L"ABC", abc_file},  // file names have no case either
        {L"abcd", L"ABCD", L"abcd", abcd_file},
        // A longer entry is selected while the saved name, and its file, stay.
        {L"Ab", L"abc", L"Ab", ABSENT},
        {L"ABCDE", L"Abcde", L"ABCDE", ABSENT},
        // No entry begins with it: entry 0 is selected and stored.
        {L"bc", L"abc", L"abc", abc_file},
        {L"abcdef", L"abc", L"abc", abc_file},
        {L"", L"abc", L"abc", abc_file},
        {nullptr, L"abc", L"abc", abc_file},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.saved ? c.saved : L"(absent)");
        if (c.saved)
            registry_.set_text(VALUE_ACCOUNT, c.saved);
        else
            delete_value(registry_, VALUE_ACCOUNT);
        refresh_accounts(*state_);
        ASSERT_EQ((std::vector<std::wstring>{L"abc", L"ABCD", L"Abcde"}), entries());
        EXPECT_EQ(c.selected, selection());
        EXPECT_EQ(c.stored, saved_account());
        scramble_display(!c.shown.send);
        refresh_data_file_panel(*state_);
        EXPECT_EQ(c.shown, display());
    }
    EXPECT_EQ(0, boxes_.boxes_seen());
}

TEST_F(AccountPanel, ListsTheFirstTwentyAccountsOnly) {
    std::vector<std::wstring> first_twenty;
    for (int i = 0; i < 25; ++i) {
        const std::wstring name = (i < 10 ? L"acc0" : L"acc") + std::to_wstring(i);
        make_account(name);
        if (i < 20) first_twenty.push_back(name);
    }
    // One of the five left out is no entry either: entry 0 is stored instead.
    registry_.set_text(VALUE_ACCOUNT, L"acc22");
    refresh_accounts(*state_);
    EXPECT_EQ(first_twenty, entries());
    EXPECT_EQ(L"acc00", selection());
    EXPECT_EQ(L"acc00", saved_account());

    registry_.set_text(VALUE_ACCOUNT, L"acc19");
    refresh_accounts(*state_);
    EXPECT_EQ(L"acc19", selection());
    EXPECT_EQ(0, boxes_.boxes_seen());
}

TEST_F(AccountPanel, ChosenAccountIsStoredAndSurvivesRefreshes) {
    for (const wchar_t* name : {L"alpha", L"beta", L"gamma"}) make_account(name);
    write_data(L"gamma", data_of_size(FALSE_FLAG, 786432));
    registry_.set_text(VALUE_ACCOUNT, L"beta");
    refresh_accounts(*state_);
    EXPECT_EQ(L"beta", selection());

    scramble_display(false);
    choose(L"gamma");
    EXPECT_EQ(L"gamma", saved_account());
    EXPECT_EQ(HALF_FULL, display()) << "the display follows the choice";
    for (int round = 0; round < 2; ++round) {
        refresh_accounts(*state_);
        EXPECT_EQ(L"gamma", selection());
        EXPECT_EQ(L"gamma", saved_account());
    }

    // The saved name is compared with its case: choosing alpha over a saved
    // ALPHA stores alpha.
    registry_.set_text(VALUE_ACCOUNT, L"ALPHA");
    refresh_accounts(*state_);
    EXPECT_EQ(L"alpha", selection());
    EXPECT_EQ(L"ALPHA", saved_account());
    choose(L"alpha");
    EXPECT_EQ(L"alpha", saved_account());

    // An unreadable saved name counts as empty: the choice is stored.
    delete_value(registry_, VALUE_ACCOUNT);
    choose(L"beta");
    EXPECT_EQ(L"beta", saved_account());
    EXPECT_EQ(0, boxes_.boxes_seen());
}

TEST_F(AccountPanel, AccountThatCannotBeStoredGivesAnErrorBoxAndKeepsTheChoice) {
    for (const wchar_t* name : {L"alpha", L"beta"}) make_account(name);
    write_data(L"beta", data_of_size(FALSE_FLAG, 786432));
    make_settings_read_only();

    refresh_accounts(*state_);  // nothing saved: entry 0 is to be stored
    EXPECT_EQ(1, boxes_.boxes_seen());
    EXPECT_EQ(ACCOUNT_NOT_SAVED, boxes_.text());
    EXPECT_EQ(L"error", boxes_.icon());
    EXPECT_EQ(L"alpha", selection());
    EXPECT_EQ(L"(absent)", saved_account());

    // Choosing the saved account writes nothing, so no box; the display follows.
    registry_.set_text(VALUE_ACCOUNT, L"beta");
    scramble_display(false);
    choose(L"beta");
    EXPECT_EQ(1, boxes_.boxes_seen());
    EXPECT_EQ(HALF_FULL, display());

    scramble_display(true);
    choose(L"alpha");
    EXPECT_EQ(2, boxes_.boxes_seen());
    EXPECT_EQ(ACCOUNT_NOT_SAVED, boxes_.text());
    EXPECT_EQ(L"alpha", selection());
    EXPECT_EQ(L"beta", saved_account());
    EXPECT_EQ(HALF_FULL, display()) << "still the saved account's file";
}

}  // namespace
