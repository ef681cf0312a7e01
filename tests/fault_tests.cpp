// The fault table: one test per fault a player's machine or the site can
// throw at the program, each checking the outcome the player sees and, after
// it, the game folder and the registry. docs/faults.md is generated from
// these tests' names and results (scripts/faults).
#include "game/game_constants.h"
#include "progress/dialog_context.h"
#include "settings/settings_store.h"
#include "tests/support/progress_recorder.h"
#include "tests/support/standin_site.h"
#include "tests/support/test_support.h"
#include "ui/progress_dialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

const std::string LIGHT = "/addon-v2/uploader/version-light/Quillfern/";
const std::string RELEASE_LIST = "/addon-v2/uploader/release.txt";
const std::string AUTHENTICATION = "/addon-v2/uploader/authentification.php";
const std::string SEND = "/addon-v2/uploader/send.php";
const std::wstring ADDON = L"Interface\\AddOns\\Quillfern\\";
const std::wstring DATA_FILE = L"WTF\\Account\\ALPHA\\SavedVariables\\Quillfern.lua";
const std::string FALSE_DATA = "QF_Data = {}\r\nQF_Purge = \"false\"\r\n";
const std::string OLD_TOC = "## Title: Quillfern\r\n## Version: Version 2.1\r\n## X-Version: Light\r\n";
const std::wstring FILE_UNREADABLE =
    L"Lecture du fichier à envoyer impossible.\nEnvoi des données stoppé.";
const std::wstring TOO_LARGE =
    L"Le fichier à envoyer est trop volumineux.\n"
    L"Veuillez purger vos données dans le jeu pour un envoi ultérieur.";
const std::wstring SEND_STEP_START = L"Envoi du fichier...";
constexpr DWORD DATA_FILE_LIMIT = 1572864;

std::wstring staging_folder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring path = temp;
    if (path.back() != L'\\') path += L'\\';
    return path + L"Quillfern";
}

// Every value of the scratch key, to compare before and after.
std::vector<std::wstring> values_of(const ScratchKey& key) {
    std::vector<std::wstring> values;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.subkey(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD name_length = 256, type = 0, bytes = 0;
        if (RegEnumValueW(handle, index, name, &name_length, nullptr, &type, nullptr, &bytes) !=
            ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(bytes + 2);
        name_length = 256;
        RegEnumValueW(handle, index, name, &name_length, nullptr, &type, data.data(), &bytes);
        values.push_back(std::wstring(name) + L"|" + std::to_wstring(type) + L"|" +
                         std::to_wstring(bytes) + L"|" +
                         std::wstring(data.begin(), data.begin() + bytes));
    }
    RegCloseKey(handle);
    return values;
}

class Fault : public ::testing::Test {
protected:
    void SetUp() override {
        settings_ = open_settings(registry_);
        wchar_t message[MESSAGE_CAPACITY];
        set_username(message, settings_, L"joueur");
        set_password(message, settings_, L"s3cret");
        registry_.set_text(VALUE_GAME_PATH, game_.path());
        registry_.set_text(VALUE_ACCOUNT, L"ALPHA");
        registry_.set_text(VALUE_ADDON_EDITION, L"Light");
        game_.make_file(L"Wow.exe", "MZ");
        data_path_ = game_.make_file(DATA_FILE, FALSE_DATA);
        game_.make_file(ADDON + L"Quillfern.toc", OLD_TOC);
        game_.make_file(ADDON + L"Old.lua", "old code");
        game_.make_file(L"Interface\\AddOns\\Other\\Other.toc", "the player's own addon");
        owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
        remove_tree(staging_folder());
        game_before_ = folder_tree(game_.path());
        registry_before_ = values_of(registry_);
    }
    void TearDown() override {
        DestroyWindow(owner_);
        remove_tree(staging_folder());
    }

    ProgressRecord update(const ProgressHook& hook = nullptr) {
        DialogContext context{&settings_, owner_};
        return run_progress_dialog(update_dialog_proc, context, owner_, hook);
    }
    ProgressRecord upload(const ProgressHook& hook = nullptr) {
        DialogContext context{&settings_, owner_};
        return run_progress_dialog(send_dialog_proc, context, owner_, hook);
    }

    // A new version 2.2 of two files, the second as the fault gives it.
    void serve_update(const SiteReply& second) {
        site_.script({{RELEASE_LIST, {200, "2.2\n2\nQuillfern.toc\nQuillfern.lua\n"}},
                      {LIGHT + "Quillfern.toc", {200, "## Version: Version 2.2\r\n## X-Version: Light\r\n"}},
                      {LIGHT + "Quillfern.lua", second}});
    }
    void accept_upload() {
        site_.script({{AUTHENTICATION, {200, "OK"}}, {SEND, {200, "OK"}}});
    }

    int requests_to(const std::string& path) const {
        int count = 0;
        for (const SiteRequest& request : site_.requests()) count += request.path == path;
        return count;
    }

    // A failure end the player can act on: a text, "Abandon", the dialog open.
    static void expect_failure_end(const ProgressRecord& r) {
        EXPECT_EQ(L"Abandon", r.button);
        EXPECT_TRUE(r.button_enabled);
        EXPECT_FALSE(r.closed_by_itself);
        EXPECT_NE(L"", r.status);
    }
    // Settings the upload cannot use: it stops before the site, the values
    // and the data file as they were.
    void expect_upload_refused_before_any_request() {
        registry_before_ = values_of(registry_);
        accept_upload();
        const ProgressRecord r = upload();
        expect_failure_end(r);
        EXPECT_TRUE(site_.requests().empty());
        EXPECT_EQ(registry_before_, values_of(registry_));
        EXPECT_EQ(FALSE_DATA, read_whole_file(data_path_));
    }
    void expect_nothing_changed() {
        EXPECT_TRUE(game_before_ == folder_tree(game_.path())) << "the game folder is as it was";
        EXPECT_EQ(registry_before_, values_of(registry_)) << "the settings are as they were";
        EXPECT_FALSE(path_exists(game_.path() + L"Interface\\Quillfern.nouveau"));
        EXPECT_FALSE(path_exists(game_.path() + L"Interface\\Quillfern.ancien"));
    }

    ScratchKey registry_;
    ScratchFolder game_;
    StandinSite site_;
    SettingsKey settings_;
    HWND owner_ = nullptr;
    std::wstring data_path_;
    FolderTree game_before_;
    std::vector<std::wstring> registry_before_;
};

// --- The site -----------------------------------------------------------

TEST_F(Fault, SiteClosesTheConnectionInTheMiddleOfAFile_UpdateFails_AddonAsItWas) {
    SiteReply cut;
    cut.body_size = 20000;
    cut.announce = 40000;
    serve_update(cut);
    const ProgressRecord r = update();
    expect_failure_end(r);
    EXPECT_EQ(L"Réception des données échouée.\nException non gérée.", r.status);
    expect_nothing_changed();
}

TEST_F(Fault, SiteAnnouncesMoreThanItSendsForTheUploadReply_UploadFails_FileNotMarked) {
    SiteReply short_ok;
    short_ok.body = "OK";
    short_ok.announce = 10;
    site_.script({{AUTHENTICATION, {200, "OK"}}, {SEND, short_ok}});
    const ProgressRecord r = upload();
    expect_failure_end(r);
    EXPECT_EQ(L"Réception des données échouée.\nException non gérée.", r.status);
    EXPECT_EQ(1, requests_to(SEND));
    expect_nothing_changed();
}

TEST_F(Fault, SiteSendsAFileLargerThanTheBuffer_UpdateRefusesIt_AddonAsItWas) {
    SiteReply huge;
    huge.body_size = 1048577;
    serve_update(huge);
    const ProgressRecord r = update();
    expect_failure_end(r);
    EXPECT_NE(std::wstring::npos, r.status.find(L"Réception des données échouée.")) << r.status.c_str();
    expect_nothing_changed();
}

// Pings the progress dialog from another thread while the run waits.
class Pinger {
public:
    explicit Pinger(const wchar_t* title) : title_(title) {
        thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
    }
    ~Pinger() {
        stop_ = true;
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
    }
    int answered() const { return answered_; }
    int unanswered() const { return unanswered_; }

private:
    static DWORD WINAPI run(void* param) {
        auto* self = static_cast<Pinger*>(param);
        while (!self->stop_) {
            HWND dialog = FindWindowW(L"#32770", self->title_);
            if (dialog) {
                DWORD_PTR result = 0;
                if (SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result))
                    ++self->answered_;
                else
                    ++self->unanswered_;
            }
            Sleep(250);
        }
        return 0;
    }
    const wchar_t* title_;
    HANDLE thread_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0}, unanswered_{0};
};

TEST_F(Fault, SiteAnswersNothingForALongTime_DialogStaysResponsive_RunEndsWithAFailure) {
    SiteReply stalled;
    stalled.silence = 8;
    site_.script({{RELEASE_LIST, stalled}});
    Pinger pinger(L"Mise à jour");
    const ProgressRecord r = update();
    expect_failure_end(r);
    EXPECT_NE(std::wstring::npos, r.status.find(L"échouée")) << r.status.c_str();
    EXPECT_GE(pinger.answered(), 10) << "the dialog answered while the worker waited";
    EXPECT_EQ(0, pinger.unanswered());
    expect_nothing_changed();
}

// --- The game folder --------------------------------------------------------

TEST_F(Fault, NewAddonFileLockedDuringInstallation_UpdateFails_OldAddonWhole_NextUpdateWorks) {
    serve_update({200, "new code"});
    {
        // When installing starts, something (an indexer, an antivirus) holds one
        // of the new files open, sharing nothing: it cannot be moved in.
        HANDLE held = INVALID_HANDLE_VALUE;
        const ProgressRecord r = update([&](HWND, const ProgressEvent& event) {
            if (event.text == L"Installation des fichiers..." && held == INVALID_HANDLE_VALUE)
                held = CreateFileW((staging_folder() + L"\\Quillfern.lua").c_str(), GENERIC_READ, 0,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
        });
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        CloseHandle(held);
        expect_failure_end(r);
        expect_nothing_changed();
    }
    const ProgressRecord again = update();
    EXPECT_EQ(L"OK", again.button) << again.status.c_str();
    EXPECT_EQ("new code", read_whole_file(game_.path() + ADDON + L"Quillfern.lua"));
    EXPECT_FALSE(path_exists(game_.path() + ADDON + L"Old.lua"));
    EXPECT_EQ("the player's own addon",
              read_whole_file(game_.path() + L"Interface\\AddOns\\Other\\Other.toc"));
}

TEST_F(Fault, DataFileReadOnly_SentButNotMarked_FileUntouched) {
    accept_upload();
    ASSERT_TRUE(SetFileAttributesW(data_path_.c_str(), FILE_ATTRIBUTE_READONLY));
    // Wine keeps the attribute in the file's permission bits, which root ignores.
    HANDLE probe = CreateFileW(data_path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        SetFileAttributesW(data_path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "read-only files stay writable here (Wine run as root)";
    }
    const ProgressRecord r = upload();
    SetFileAttributesW(data_path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    expect_failure_end(r);
    EXPECT_EQ(L"Ecriture du fichier impossible.\nLes données ont néanmoins été envoyées, il est donc "
              L"inutile de les réenvoyer.",
              r.status);
    EXPECT_EQ(1, requests_to(SEND));
    expect_nothing_changed();
}

// Acts on the data file at the moment the send step starts, after every check.
ProgressHook at_send_step(const std::function<void()>& act) {
    return [act](HWND, const ProgressEvent& event) {
        if (event.text.compare(0, SEND_STEP_START.size(), SEND_STEP_START) == 0) act();
    };
}

TEST_F(Fault, DataFileLockedBetweenTheChecksAndTheSend_NothingSent_FileUntouched) {
    accept_upload();
    HANDLE held = INVALID_HANDLE_VALUE;
    const ProgressRecord r = upload(at_send_step([&] {
        held = CreateFileW(data_path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }));
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    CloseHandle(held);
    expect_failure_end(r);
    EXPECT_EQ(FILE_UNREADABLE, r.status);
    EXPECT_EQ(0, requests_to(SEND));
    expect_nothing_changed();
}

TEST_F(Fault, DataFileRemovedBetweenTheChecksAndTheSend_NothingSent_NothingCreated) {
    accept_upload();
    const ProgressRecord r = upload(at_send_step([&] { DeleteFileW(data_path_.c_str()); }));
    expect_failure_end(r);
    EXPECT_EQ(FILE_UNREADABLE, r.status);
    EXPECT_EQ(0, requests_to(SEND));
    EXPECT_FALSE(path_exists(data_path_));
    EXPECT_EQ(registry_before_, values_of(registry_));
}

TEST_F(Fault, DataFileReplacedByALargerOneBetweenTheChecksAndTheSend_TooLargeSaid_NothingCutSent) {
    accept_upload();
    const std::string larger = FALSE_DATA + std::string(DATA_FILE_LIMIT, 'd');
    const ProgressRecord r = upload(at_send_step([&] { game_.make_file(DATA_FILE, larger); }));
    expect_failure_end(r);
    EXPECT_EQ(TOO_LARGE, r.status);
    EXPECT_EQ(0, requests_to(SEND)) << "a cut file would reach the site as if whole";
    EXPECT_EQ(larger, read_whole_file(data_path_)) << "the larger file is left as it is";
    EXPECT_EQ(registry_before_, values_of(registry_));
}

TEST_F(Fault, DataFileReplacedByOneOfTheLimitBetweenTheChecksAndTheSend_SentWhole) {
    accept_upload();
    const std::string limit = FALSE_DATA + std::string(DATA_FILE_LIMIT - FALSE_DATA.size(), 'd');
    const ProgressRecord r = upload(at_send_step([&] { game_.make_file(DATA_FILE, limit); }));
    const auto requests = site_.requests();
    ASSERT_EQ(2u, requests.size()) << r.status.c_str();
    EXPECT_NE(std::string::npos, requests[1].body.find(limit)) << "the whole file in the form";
}

// Points the temporary folder, where the new files are gathered, at the
// 256 KB drive for the life of the object.
class TemporaryFolderOn {
public:
    explicit TemporaryFolderOn(const std::wstring& folder) {
        GetEnvironmentVariableW(L"TMP", old_, MAX_PATH);
        SetEnvironmentVariableW(L"TMP", folder.c_str());
    }
    ~TemporaryFolderOn() { SetEnvironmentVariableW(L"TMP", old_[0] ? old_ : nullptr); }

private:
    wchar_t old_[MAX_PATH] = L"";
};

TEST_F(Fault, DiskFullWhileGatheringTheNewFiles_NothingInstalled_NextRunStartsClean) {
    const std::wstring drive = wine_path(TINY_DRIVE_DIR);
    if (!path_exists(drive + L"\\.tiny-drive"))
        GTEST_SKIP() << "no 256 KB drive here (mounting a tmpfs needs root)";
    TemporaryFolderOn tiny(drive);
    serve_update({200, std::string(400000, 'n')});
    const ProgressRecord full = update();
    expect_failure_end(full);
    expect_nothing_changed();

    serve_update({200, "new code"});
    const ProgressRecord again = update();
    EXPECT_EQ(L"OK", again.button) << again.status.c_str();
    EXPECT_EQ("new code", read_whole_file(game_.path() + ADDON + L"Quillfern.lua"));
    const FolderTree left = folder_tree(drive + L"\\");
    for (const auto& entry : left)
        EXPECT_EQ(L".tiny-drive", entry.first) << "left on the drive: " << std::string(entry.first.begin(), entry.first.end());
}

// --- The registry -------------------------------------------------------

TEST_F(Fault, SettingsOfTheWrongType_ReadAsMissing_NothingSent_ValuesStay) {
    const DWORD number = 42;
    registry_.set_raw(VALUE_USERNAME, REG_DWORD, &number, sizeof(number));
    registry_.set_raw(VALUE_GAME_PATH, REG_BINARY, "C:\\", 3);
    expect_upload_refused_before_any_request();
}

TEST_F(Fault, EnormousSettingsValues_RefusedWithoutOverflow_NothingSent_ValuesStay) {
    registry_.set_text(VALUE_USERNAME, repeat(L'u', 100000));
    registry_.set_text(VALUE_GAME_PATH, game_.path() + repeat(L'g', 70000));
    registry_.set_text(VALUE_ACCOUNT, repeat(L'A', 50000));
    expect_upload_refused_before_any_request();
}

TEST(FaultRegistry, SettingsKeyThatCannotBeCreated_NoRightsNotice_NothingOpened) {
    SettingsKey settings;
    // A root no key can be created under.
    settings.root = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7fff0000));
    wchar_t message[LOAD_MESSAGE_CAPACITY];
    EXPECT_EQ(OUTCOME_ERROR, load_settings(message, settings));
    EXPECT_STREQ(L"Vous n'avez pas les droits suffisants pour utiliser cette application.\n"
                 L"Veuillez contacter votre administrateur.",
                 message);
    EXPECT_FALSE(settings.handle);
}

}  // namespace
