// The upload worker on its own thread behind a real modal dialog made from
// "PROGRESSDIALOG", against the stand-in site.
#include "net/multipart_form.h"
#include "resources/resource_ids.h"
#include "game/game_constants.h"
#include "settings/settings_store.h"
#include "tests/support/progress_recorder.h"
#include "tests/support/standin_site.h"
#include "tests/support/test_support.h"
#include "progress/dialog_context.h"
#include "ui/progress_dialog.h"
#include "upload/upload_worker.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring window_title(HWND window) {
    wchar_t text[300] = L"";
    GetWindowTextW(window, text, 300);
    return text;
}

std::wstring item_text(HWND dialog, int id) {
    wchar_t text[300] = L"";
    GetDlgItemTextW(dialog, id, text, 300);
    return text;
}

const std::wstring DATA_FILE = L"WTF\\Account\\ALPHA\\SavedVariables\\Quillfern.lua";
const std::string FALSE_DATA =
    "QF_Data = {\r\n\t[\"x\"] = 12,\r\n}\r\nQF_Purge = \"false\"\r\nQF_Tail = \"\xe9t\xe9\"\r\n";
const std::wstring SUCCESS_TEXT =
    L"Votre envoi a été réalisé avec succès.\n"
    L"Vos données seront remises à zéro au prochain lancement du jeu.";

class UploadRun : public ::testing::Test {
protected:
    void SetUp() override {
        settings_ = open_settings(registry_);
        wchar_t message[MESSAGE_CAPACITY];
        set_username(message, settings_, L"joueur");
        set_password(message, settings_, L"s3cr\u00e8t");
        registry_.set_text(VALUE_GAME_PATH, game_.path());
        registry_.set_text(VALUE_ACCOUNT, L"ALPHA");
        data_path_ = game_.make_file(DATA_FILE, FALSE_DATA);
        owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    }
    void TearDown() override { DestroyWindow(owner_); }

    void accept_all() {
        site_.script({{"/addon-v2/uploader/authentification.php", {200, "OK"}},
                      {"/addon-v2/uploader/send.php", {200, "OK"}}});
    }

    // One run of the program's own send dialog, pressed "OK" or "Abandon" at its end.
    ProgressRecord run(const ProgressHook& hook = nullptr) {
        DialogContext context{&settings_, owner_};
        ProgressRecord r = run_progress_dialog(send_dialog_proc, context, owner_, hook);
        EXPECT_EQ(L"Envoi des données", r.title);
        EXPECT_EQ(9, r.initial_range);
        EXPECT_FALSE(r.initially_enabled);
        EXPECT_FALSE(r.closed_by_itself) << "the send form stays open";
        EXPECT_EQ(0, r.result);
        EXPECT_EQ(1, r.start_messages);
        for (const ProgressEvent& e : r.events) {
            if (e.message != WM_APP) {
                EXPECT_FALSE(e.button_enabled) << "disabled while the worker runs";
            }
        }
        return r;
    }

    static int app_messages(const ProgressRecord& r) { return end_messages(r); }
    static bool bar_set_full(const ProgressRecord& r) {
        for (const ProgressEvent& e : r.events)
            if (e.message == PBM_SETPOS && e.param == 100) return true;
        return false;
    }
    // A failure end: text, full bar, "Abandon", and the end message last.
    void expect_failure(const ProgressRecord& r, const std::wstring& text) {
        EXPECT_EQ(text, r.status);
        EXPECT_TRUE(bar_set_full(r));
        EXPECT_EQ(9, r.bar) << "full";
        EXPECT_EQ(L"Abandon", r.button);
        EXPECT_TRUE(r.button_enabled);
        EXPECT_EQ(1, app_messages(r));
        ASSERT_FALSE(r.events.empty());
        EXPECT_EQ(static_cast<UINT>(WM_APP), r.events.back().message) << "the end comes last";
        EXPECT_EQ(FALSE_DATA, read_whole_file(data_path_)) << "the data file is untouched";
    }

    static std::string expected_form(const std::string& login, const std::string& password,
                                     const std::string* file) {
        MultipartForm form;
        add_field(form, "login", login.data(), static_cast<int>(login.size()), nullptr);
        add_field(form, "pwrd", password.data(), static_cast<int>(password.size()), nullptr);
        add_field(form, "version", "018", 3, nullptr);
        if (file) add_field(form, "file", file->data(), static_cast<int>(file->size()), "Quillfern.lua");
        return std::string(reinterpret_cast<const char*>(form.body()), form.length());
    }

    ScratchKey registry_;
    ScratchFolder game_;
    StandinSite site_;
    SettingsKey settings_;
    std::wstring data_path_;
    HWND owner_ = nullptr;
};

TEST_F(UploadRun, CompleteRunSendsBothRequestsAndMarksTheFile) {
    accept_all();
    const ProgressRecord r = run();

    EXPECT_EQ((std::vector<std::wstring>{
                  L"Vérification des informations de compte...",
                  L"Vérification de la version installée...",
                  L"Vérification du fichier des données en cours...", L"Initialisation réseau...",
                  L"Authentification...",
                  L"Envoi du fichier...\nL'opération peut prendre quelques minutes selon la taille "
                  L"du fichier à envoyer.",
                  L"Déconnexion...", L"Modification du fichier des données en cours...",
                  SUCCESS_TEXT}),
              status_texts(r));
    std::vector<int> positions;
    for (const ProgressEvent& e : r.events)
        if (e.message == PBM_STEPIT) positions.push_back(e.bar);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}), positions);
    EXPECT_EQ(SUCCESS_TEXT, r.status);
    EXPECT_EQ(9, r.bar);
    EXPECT_EQ(L"OK", r.button);
    EXPECT_EQ(L"", r.bytes) << "cleared at the disconnection";
    EXPECT_EQ(1, app_messages(r));
    EXPECT_EQ(static_cast<UINT>(WM_APP), r.events.back().message);

    const auto requests = site_.requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("/addon-v2/uploader/authentification.php", requests[0].path);
    EXPECT_EQ("/addon-v2/uploader/send.php", requests[1].path);
    EXPECT_EQ(requests[0].connection, requests[1].connection) << "one connection for both";
    const std::string login = "joueur", password = "s3cr\xe8t";
    EXPECT_EQ(expected_form(login, password, nullptr), requests[0].body);
    EXPECT_EQ(260 + login.size() + password.size(), requests[0].body.size());
    EXPECT_EQ(expected_form(login, password, &FALSE_DATA), requests[1].body);
    EXPECT_EQ(401 + login.size() + password.size() + FALSE_DATA.size(), requests[1].body.size());

    // The counter ran over the whole send body before being cleared.
    std::vector<std::wstring> counter;
    for (const ProgressEvent& e : r.events)
        if (e.control == IDC_PROGRESS_BYTES) counter.push_back(e.text);
    ASSERT_GE(counter.size(), 2u);
    EXPECT_EQ(std::to_wstring(requests[1].body.size()) + L" octets", counter[counter.size() - 2]);
    EXPECT_EQ(L"", counter.back());

    std::string marked = FALSE_DATA;
    marked.replace(marked.find("\"false\""), 7, "\"true!\"");
    EXPECT_EQ(marked, read_whole_file(data_path_)) << "only the flag's bytes change";
}

TEST_F(UploadRun, HidingAndShowingAgainStartsNoSecondWorker) {
    accept_all();
    bool toggled = false;
    const ProgressRecord r = run([&](HWND dialog, const ProgressEvent& e) {
        if (toggled || e.control != IDC_PROGRESS_STATUS) return;
        toggled = true;
        ShowWindow(dialog, SW_HIDE);
        ShowWindow(dialog, SW_SHOW);
    });
    EXPECT_TRUE(toggled);
    EXPECT_EQ(SUCCESS_TEXT, r.status);
    EXPECT_EQ(1, app_messages(r));
    EXPECT_EQ(2u, site_.requests().size()) << "one run, two requests";
}

TEST_F(UploadRun, SecondRunRefusesAFileAlreadySent) {
    accept_all();
    run();
    const std::string marked = read_whole_file(data_path_);
    const ProgressRecord r = run();
    EXPECT_EQ(L"Ce fichier a déjà été envoyé. Veuillez purger vos données avant de réessayer l'envoi.",
              r.status);
    EXPECT_EQ(2u, site_.requests().size()) << "nothing sent the second time";
    EXPECT_EQ(marked, read_whole_file(data_path_));
}

TEST_F(UploadRun, AuthenticationMustAnswerExactlyOK) {
    site_.script({{"/addon-v2/uploader/authentification.php", {200, "OK\r\n"}}});
    const ProgressRecord r = run();
    expect_failure(r, L"Envoi des données échoué.\nOK\r\n");
    EXPECT_FALSE(counter_touched(r)) << "the counter was never used";
    EXPECT_EQ(1u, site_.requests().size());
}

TEST_F(UploadRun, RefusedFileClearsTheCounter) {
    site_.script({{"/addon-v2/uploader/authentification.php", {200, "OK"}},
                  {"/addon-v2/uploader/send.php", {200, "Fichier refus\xe9."}}});
    const ProgressRecord r = run();
    expect_failure(r, L"Envoi des données échoué.\nFichier refusé.");
    EXPECT_EQ(L"", r.bytes);
    // Text, counter, bar, button, end: in this order.
    EXPECT_EQ((std::vector<int>{IDC_PROGRESS_STATUS, IDC_PROGRESS_BYTES, IDC_PROGRESS_BAR,
                                IDC_PROGRESS_BUTTON, 0}),
              last_controls(r, 5));
}

TEST_F(UploadRun, TransportAndStatusFailures) {
    struct Case {
        int auth_status, send_status;
        std::wstring text;
        bool counter_cleared;
    } cases[] = {
        {500, 200, L"Réception des données échouée.\nLe serveur a rencontré une erreur.", false},
        {401, 200, L"Réception des données échouée.\nAccès refusé.", false},
        {200, 413, L"Réception des données échouée.\nLa taille de la requête dépasse la maximum autorisé.", true},
        {200, 404, L"Réception des données échouée.\nResource introuvable.", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        site_.script({{"/addon-v2/uploader/authentification.php", {c.auth_status, "OK"}},
                      {"/addon-v2/uploader/send.php", {c.send_status, "OK"}}});
        const ProgressRecord r = run();
        expect_failure(r, c.text);
        if (c.counter_cleared) {
            EXPECT_EQ(L"", r.bytes);
        }
    }
    ASSERT_TRUE(site_.set_offline(true));
    const ProgressRecord offline = run();
    ASSERT_TRUE(site_.set_offline(false));
    expect_failure(offline, L"Opération échouée.\nLa tentative de connexion au serveur a échouée.");
}

TEST_F(UploadRun, LongRefusalIsCutInsideTheMessage) {
    site_.script({{"/addon-v2/uploader/authentification.php", {200, std::string(500, 'r')}}});
    const ProgressRecord r = run();
    EXPECT_EQ(259u, r.status.size());
    EXPECT_EQ(0u, r.status.find(L"Envoi des données échoué.\nrrr"));
    EXPECT_EQ(L"...", r.status.substr(256));
}

TEST_F(UploadRun, MissingSettingsStopAtTheFirstStep) {
    const std::wstring account_info =
        L"Veuillez entrer les informations de votre compte dans\nles options avant d'envoyer les "
        L"données.";
    const std::wstring game_folder =
        L"Veuillez entrer la localisation de World of Warcraft\ndans les options avant d'envoyer les "
        L"données.";
    const std::wstring game_account =
        L"Veuillez sélectionner un compte valide\ndans la liste avant d'envoyer les données.";
    struct Case {
        const wchar_t* value;
        const wchar_t* content;  // null: value removed
        std::wstring text;
    } cases[] = {
        {VALUE_USERNAME, nullptr, account_info}, {VALUE_USERNAME, L"", account_info},
        {VALUE_PASSWORD, nullptr, account_info}, {VALUE_PASSWORD, L"", account_info},
        {VALUE_GAME_PATH, nullptr, game_folder}, {VALUE_GAME_PATH, L"", game_folder},
        {VALUE_ACCOUNT, nullptr, game_account},  {VALUE_ACCOUNT, L"", game_account},
    };
    accept_all();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const std::wstring saved = registry_.text(c.value);
        if (c.content)
            registry_.set_text(c.value, c.content);
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, registry_.subkey(), c.value);
        const ProgressRecord r = run();
        expect_failure(r, c.text);
        EXPECT_EQ(2u, status_texts(r).size()) << "the first step, then the failure";
        registry_.set_text(c.value, saved);
    }
    EXPECT_TRUE(site_.requests().empty());
}

TEST_F(UploadRun, DataFileChecks) {
    accept_all();
    struct Case {
        std::string content;  // empty with missing: no file
        bool missing;
        std::wstring text;
    } cases[] = {
        {"", true,
         L"Aucune donnée n'est à envoyer. Il faut jouer au moins\nune fois avant d'essayer "
         L"d'envoyer des données! ;-)"},
        {"", false, L"Le fichier à envoyer est vide.\nAucune donnée n'est à envoyer."},
        {std::string(1572865, 'd'), false,
         L"Le fichier à envoyer est trop volumineux.\n"
         L"Veuillez purger vos données dans le jeu pour un envoi ultérieur."},
        // At the very limit the file could never be marked as sent.
        {std::string(1572864, 'd'), false,
         L"Le fichier à envoyer est trop volumineux.\n"
         L"Veuillez purger vos données dans le jeu pour un envoi ultérieur."},
        {"QF_Purge = \"true!\"\r\n", false,
         L"Ce fichier a déjà été envoyé. Veuillez purger vos données avant de réessayer l'envoi."},
        {"no flag\r\n", false,
         L"Ce fichier a déjà été envoyé. Veuillez purger vos données avant de réessayer l'envoi."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        DeleteFileW(data_path_.c_str());
        if (!c.missing) game_.make_file(DATA_FILE, c.content);
        const ProgressRecord r = run();
        EXPECT_EQ(c.text, r.status);
        EXPECT_TRUE(bar_set_full(r));
        EXPECT_EQ(1, app_messages(r));
    }
    EXPECT_TRUE(site_.requests().empty());
}

TEST_F(UploadRun, DataFilePathOf259IsAcceptedAnd260Refused) {
    accept_all();
    // game folder + "WTF\Account\" + account + "\SavedVariables\Quillfern.lua"
    const std::wstring account = L"ALPHA";
    const size_t fixed = 12 + account.size() + 16 + 13;
    for (size_t total : {259u, 260u}) {
        const std::wstring folder = L"C:\\" + repeat(L'f', total - fixed - 4) + L"\\";
        registry_.set_text(VALUE_GAME_PATH, folder);
        const ProgressRecord r = run();
        if (total == 259) {
            EXPECT_EQ(L"Aucune donnée n'est à envoyer. Il faut jouer au moins\nune fois avant "
                      L"d'essayer d'envoyer des données! ;-)",
                      r.status)
                << "past the length check";
        } else {
            EXPECT_EQ(L"Le chemin d'accès à World of Warcraft est trop long.\nEnvoi des données stoppé.",
                      r.status);
        }
    }
}

TEST_F(UploadRun, UserNameOutsideLatin1IsLeftOutOfBothRequests) {
    wchar_t message[MESSAGE_CAPACITY];
    set_username(message, settings_, L"\u0100dam");
    accept_all();
    site_.script({{"/addon-v2/uploader/authentification.php", {200, "Compte inconnu"}}});
    const ProgressRecord r = run();
    expect_failure(r, L"Envoi des données échoué.\nCompte inconnu");
    const auto requests = site_.requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(std::string::npos, requests[0].body.find("name=\"login\""));
    EXPECT_NE(std::string::npos, requests[0].body.find("name=\"pwrd\""));

    site_.script({{"/addon-v2/uploader/authentification.php", {200, "OK"}},
                  {"/addon-v2/uploader/send.php", {200, "OK"}}});
    run();
    const auto both = site_.requests();
    ASSERT_EQ(3u, both.size());
    EXPECT_EQ(std::string::npos, both[2].body.find("name=\"login\""));
    EXPECT_NE(std::string::npos, both[2].body.find("filename=\"Quillfern.lua\""));
}

TEST_F(UploadRun, FlagThatCannotBeWrittenIsReportedAfterTheSend) {
    accept_all();
    // The game holds the file open for reading: it can be sent, not marked.
    HANDLE held = CreateFileW(data_path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    const ProgressRecord r = run();
    CloseHandle(held);
    expect_failure(r, L"Ecriture du fichier impossible.\nLes données ont néanmoins été envoyées, il "
                      L"est donc inutile de les réenvoyer.");
    EXPECT_EQ(2u, site_.requests().size()) << "the data was sent";
}

// The program's own send dialog, driven from another thread as a user would.
struct SendDialogView {
    std::wstring title, status, button;
    bool disabled_while_running = false;
    bool open_after_escape = false;
};

DWORD WINAPI drive_send_dialog(void* param) {
    auto* view = static_cast<SendDialogView*>(param);
    HWND dialog = nullptr;
    for (int i = 0; i < 200 && !dialog; ++i, Sleep(25))
        dialog = FindWindowW(L"#32770", L"Envoi des données");
    if (!dialog) return 0;
    HWND button = GetDlgItem(dialog, IDC_PROGRESS_BUTTON);
    view->disabled_while_running = !IsWindowEnabled(button);
    for (int i = 0; i < 400 && !IsWindowEnabled(button); ++i) Sleep(25);
    view->title = window_title(dialog);
    view->status = item_text(dialog, IDC_PROGRESS_STATUS);
    view->button = item_text(dialog, IDC_PROGRESS_BUTTON);
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);  // Escape
    view->open_after_escape = IsWindow(dialog) && IsWindowVisible(dialog);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_BUTTON, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    return 0;
}

TEST_F(UploadRun, SendDialogStartsTheWorkerAndClosesOnlyThroughItsButton) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, registry_.subkey(), VALUE_ACCOUNT);
    SendDialogView view;
    HANDLE driver = CreateThread(nullptr, 0, drive_send_dialog, &view, 0, nullptr);
    DialogContext context{&settings_, owner_};
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), L"PROGRESSDIALOG", owner_,
                                           send_dialog_proc, reinterpret_cast<LPARAM>(&context));
    WaitForSingleObject(driver, 10000);
    CloseHandle(driver);
    EXPECT_EQ(0, result);
    EXPECT_EQ(L"Envoi des données", view.title);
    EXPECT_EQ(L"Veuillez sélectionner un compte valide\ndans la liste avant d'envoyer les données.",
              view.status);
    EXPECT_EQ(L"Abandon", view.button);
    EXPECT_TRUE(view.open_after_escape) << "Escape does not close it";
}

}  // namespace
