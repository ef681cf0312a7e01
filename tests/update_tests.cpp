// The update worker behind the program's real update dialog, against the
// stand-in site, with a game folder fixture: every message to the dialog in
// order, every request, and the whole game folder before and after.
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "tests/support/progress_recorder.h"
#include "tests/support/standin_site.h"
#include "tests/support/test_support.h"
#include "ui/progress_dialog.h"
#include "update/release_list.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

const std::string LIGHT = "/addon-v2/uploader/version-light/Quillfern/";
const std::string FULL = "/addon-v2/uploader/version-full/Quillfern/";
const std::string RELEASE_LIST = "/addon-v2/uploader/release.txt";
const std::wstring UP_TO_DATE =
    L"Vous disposez déjà de la dernière version.\nAucune mise à jour n'est nécessaire.";
const std::wstring UPDATED = L"Mise à jour de l'addon terminée.";
const std::wstring ADDON = L"Interface\\AddOns\\Quillfern\\";
const std::string FALSE_DATA = "QF_Data = {}\r\nQF_Purge = \"false\"\r\n";
const std::string TRUE_DATA = "QF_Data = {}\r\nQF_Purge = \"true!\"\r\n";

std::string toc(const std::string& version, const std::string& edition) {
    return "## Title: Quillfern\r\n## Version: Version " + version + "\r\n## X-Version: " + edition +
           "\r\n";
}

using Tree = FolderTree;
Tree tree_of(const std::wstring& folder) { return folder_tree(folder); }

std::wstring staging_folder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring path = temp;
    if (path.back() != L'\\') path += L'\\';
    return path + L"Quillfern\\";
}

std::string release_list(const std::string& version, const std::vector<std::string>& names) {
    std::string text = version + "\n" + std::to_string(names.size()) + "\n";
    for (const std::string& name : names) text += name + "\n";  // a final line break too
    return text;
}

class UpdateRun : public ::testing::Test {
protected:
    void SetUp() override {
        settings_ = open_settings(registry_);
        registry_.set_text(VALUE_GAME_PATH, game_.path());
        registry_.set_text(VALUE_ADDON_EDITION, L"Light");
        game_.make_file(L"Wow.exe", "MZ");
        game_.make_file(L"WTF\\Account\\ALPHA\\SavedVariables\\Quillfern.lua", FALSE_DATA);
        game_.make_folder(L"WTF\\Account\\BETA\\SavedVariables");
        game_.make_file(L"WTF\\Account\\GAMMA\\SavedVariables\\Quillfern.lua", FALSE_DATA);
        game_.make_file(L"Interface\\AddOns\\Other\\Other.toc", "the player's own addon");
        owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
        remove_tree(staging_folder().substr(0, staging_folder().size() - 1));
    }
    void TearDown() override {
        DestroyWindow(owner_);
        remove_tree(staging_folder().substr(0, staging_folder().size() - 1));
    }

    void install(const std::string& version, const std::string& edition) {
        game_.make_file(ADDON + L"Quillfern.toc", toc(version, edition));
        game_.make_file(ADDON + L"Old.lua", "old code");
    }

    // The list and each file of both editions, named after their edition.
    void serve(const std::string& list, const std::vector<std::string>& names,
               std::vector<std::pair<std::string, SiteReply>> extra = {}) {
        std::vector<std::pair<std::string, SiteReply>> routes = extra;
        routes.push_back({RELEASE_LIST, {200, list}});
        auto scripted = [&](const std::string& path) {
            for (const auto& route : extra)
                if (route.first == path) return true;
            return false;
        };
        for (const std::string& name : names) {
            if (!scripted(LIGHT + name)) routes.push_back({LIGHT + name, {200, "light:" + name}});
            if (!scripted(FULL + name)) routes.push_back({FULL + name, {200, "full:" + name}});
        }
        site_.script(routes);
    }

    ProgressRecord run() {
        DialogContext context{&settings_, owner_};
        ProgressRecord r = run_progress_dialog(update_dialog_proc, context, owner_);
        EXPECT_EQ(L"Mise à jour", r.title);
        EXPECT_EQ(7, r.initial_range);
        EXPECT_EQ(1, r.start_messages);
        EXPECT_EQ(1, end_messages(r));
        EXPECT_FALSE(r.events.empty());
        if (!r.events.empty()) {
            EXPECT_EQ(static_cast<UINT>(WM_APP), r.events.back().message) << "the end comes last";
        }
        for (const ProgressEvent& e : r.events) {
            if (e.message != WM_APP) {
                EXPECT_FALSE(e.button_enabled) << "disabled while the worker runs";
            }
        }
        return r;
    }

    std::vector<std::string> requested_paths() const {
        std::vector<std::string> paths;
        for (const SiteRequest& request : site_.requests()) paths.push_back(request.path);
        return paths;
    }

    // A failure end: text, full bar, "Abandon", the dialog left open.
    void expect_failure(const ProgressRecord& r, const std::wstring& text) {
        EXPECT_EQ(text, r.status);
        EXPECT_EQ(r.range, r.bar) << "full bar";
        EXPECT_EQ(L"Abandon", r.button);
        EXPECT_TRUE(r.button_enabled);
        EXPECT_FALSE(r.closed_by_itself);
        ASSERT_FALSE(r.events.empty());
        EXPECT_EQ(0u, r.events.back().param);
    }

    ScratchKey registry_;
    ScratchFolder game_;
    StandinSite site_;
    SettingsKey settings_;
    HWND owner_ = nullptr;
};

TEST_F(UpdateRun, UpToDateFetchesOnlyTheListAndClosesByItself) {
    install("2.1", "Light");
    serve(release_list("2.1", {"Quillfern.toc"}), {"Quillfern.toc"});
    const Tree before = tree_of(game_.path());
    const ProgressRecord r = run();

    EXPECT_EQ((std::vector<std::wstring>{L"Vérification de la version installée...",
                                         L"Initialisation réseau...",
                                         L"Vérification de la dernière version...",
                                         L"Vérification des dossiers...", L"Déconnexion...",
                                         UP_TO_DATE}),
              status_texts(r));
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6}), step_positions(r));
    EXPECT_EQ(1u, r.events.back().param) << "closes the dialog";
    EXPECT_TRUE(r.closed_by_itself);
    EXPECT_EQ(UP_TO_DATE, r.status);
    EXPECT_FALSE(counter_touched(r));
    EXPECT_EQ(std::vector<std::string>{RELEASE_LIST}, requested_paths());
    EXPECT_EQ(before, tree_of(game_.path()));
    EXPECT_FALSE(path_exists(staging_folder())) << "no staging for nothing";
}

TEST_F(UpdateRun, NothingInstalledInstallsTheEditionThenMarksEveryDataFile) {
    const std::vector<std::string> names = {"Quillfern.toc", "Quillfern.lua", "Images/Carte.blp"};
    for (const auto& edition : {std::make_pair(L"Light", LIGHT), std::make_pair(L"Full", FULL)}) {
        SCOPED_TRACE(edition.first);
        remove_tree(game_.path() + L"Interface\\AddOns\\Quillfern");
        game_.make_file(L"WTF\\Account\\ALPHA\\SavedVariables\\Quillfern.lua", FALSE_DATA);
        game_.make_file(L"WTF\\Account\\GAMMA\\SavedVariables\\Quillfern.lua", FALSE_DATA);
        registry_.set_text(VALUE_ADDON_EDITION, edition.first);
        StandinSite forget_earlier_requests;
        serve(release_list("2.2", names), names);
        const ProgressRecord r = run();

        const std::wstring download = L".\nL'opération peut prendre quelques minutes selon la vitesse "
                                      L"de votre connexion.";
        EXPECT_EQ((std::vector<std::wstring>{
                      L"Vérification de la version installée...", L"Initialisation réseau...",
                      L"Vérification de la dernière version...", L"Vérification des dossiers...",
                      L"Téléchargement du fichier 1 sur 3" + download,
                      L"Téléchargement du fichier 2 sur 3" + download,
                      L"Téléchargement du fichier 3 sur 3" + download,
                      L"Installation des fichiers...", L"Vérification des fichiers de données...",
                      L"Déconnexion...", UPDATED}),
                  status_texts(r));
        // 1..4, the download phase on 0..N+1, back to the remembered 4, then 5..7.
        EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7}), step_positions(r));
        std::vector<std::pair<UINT, std::pair<WPARAM, LPARAM>>> ranging;
        for (const ProgressEvent& e : r.events)
            if (e.message == PBM_SETRANGE || e.message == PBM_SETPOS) ranging.push_back({e.message, {e.param, e.lparam}});
        EXPECT_EQ((std::vector<std::pair<UINT, std::pair<WPARAM, LPARAM>>>{
                      {PBM_SETRANGE, {0, MAKELPARAM(0, 4)}}, {PBM_SETPOS, {0, 0}},
                      {PBM_SETRANGE, {0, MAKELPARAM(0, 7)}}, {PBM_SETPOS, {4, 0}}}),
                  ranging);
        // Download lines are text only; the bar moves once per file staged.
        for (size_t i = 0; i + 1 < r.events.size(); ++i) {
            if (r.events[i].text.find(L"Téléchargement") == 0) {
                EXPECT_NE(static_cast<UINT>(PBM_STEPIT), r.events[i + 1].message);
            }
        }
        // The counter runs while each file arrives and is cleared before the installation.
        std::vector<std::wstring> counter;
        for (const ProgressEvent& e : r.events)
            if (e.control == IDC_PROGRESS_BYTES) counter.push_back(e.text);
        ASSERT_FALSE(counter.empty());
        EXPECT_EQ(L"", counter.back());
        const std::string tag = edition.second == LIGHT ? "light:" : "full:";
        EXPECT_NE(counter.end(), std::find(counter.begin(), counter.end(),
                                           std::to_wstring((tag + "Quillfern.toc").size()) + L" octets"));
        EXPECT_EQ(0u, r.events.back().param);
        EXPECT_FALSE(r.closed_by_itself);
        EXPECT_EQ(L"OK", r.button);
        EXPECT_EQ(7, r.bar);

        const std::string prefix = edition.second;
        EXPECT_EQ((std::vector<std::string>{RELEASE_LIST, prefix + names[0], prefix + names[1],
                                            prefix + names[2]}),
                  requested_paths())
            << "exactly N files despite the final line break";
        const auto requests = site_.requests();
        for (const SiteRequest& request : requests) EXPECT_EQ(requests[0].connection, request.connection);

        Tree addon = tree_of(game_.path() + ADDON);
        EXPECT_EQ((Tree{{L"Quillfern.toc", tag + "Quillfern.toc"},
                        {L"Quillfern.lua", tag + "Quillfern.lua"},
                        {L"Images\\", "<folder>"},
                        {L"Images\\Carte.blp", tag + "Images/Carte.blp"}}),
                  addon);
        EXPECT_EQ(TRUE_DATA, read_whole_file(game_.path() + L"WTF\\Account\\ALPHA\\SavedVariables\\Quillfern.lua"));
        EXPECT_EQ(TRUE_DATA, read_whole_file(game_.path() + L"WTF\\Account\\GAMMA\\SavedVariables\\Quillfern.lua"));
        EXPECT_FALSE(path_exists(game_.path() + L"WTF\\Account\\BETA\\SavedVariables\\Quillfern.lua"));
        EXPECT_EQ("the player's own addon", read_whole_file(game_.path() + L"Interface\\AddOns\\Other\\Other.toc"));
        EXPECT_FALSE(path_exists(staging_folder()));
    }
}

TEST_F(UpdateRun, EditionChangeAloneReinstallsAndKeepsTheData) {
    install("2.1", "Light");
    registry_.set_text(VALUE_ADDON_EDITION, L"Full");
    const std::vector<std::string> names = {"Quillfern.toc", "Quillfern.lua"};
    serve(release_list("2.1", names), names);
    const ProgressRecord r = run();
    EXPECT_EQ(UPDATED, r.status);
    EXPECT_EQ((std::vector<std::string>{RELEASE_LIST, FULL + names[0], FULL + names[1]}),
              requested_paths());
    EXPECT_EQ((Tree{{L"Quillfern.toc", "full:Quillfern.toc"}, {L"Quillfern.lua", "full:Quillfern.lua"}}),
              tree_of(game_.path() + ADDON))
        << "the old version's other files are gone";
    EXPECT_EQ(FALSE_DATA, read_whole_file(game_.path() + L"WTF\\Account\\ALPHA\\SavedVariables\\Quillfern.lua"));
}

TEST_F(UpdateRun, VersionLineEndingWithCarriageReturnNeverMatches) {
    install("2.1", "Light");
    const std::vector<std::string> names = {"Quillfern.toc"};
    site_.script({{RELEASE_LIST, {200, "2.1\r\n1\nQuillfern.toc"}},
                  {LIGHT + "Quillfern.toc", {200, toc("2.1", "Light")}}});
    for (int pass = 0; pass < 2; ++pass) {
        const ProgressRecord r = run();
        EXPECT_EQ(UPDATED, r.status) << "pass " << pass;
    }
    EXPECT_EQ(4u, site_.requests().size()) << "the list and the file, twice";
}

TEST_F(UpdateRun, FailedThirdOfFiveLeavesTheAddonAndStagesTwo) {
    install("2.1", "Light");
    const std::vector<std::string> names = {"a.lua", "b.lua", "c.lua", "d.lua", "e.lua"};
    serve(release_list("2.2", names), names, {{LIGHT + "c.lua", {404, "missing"}}});
    const Tree before = tree_of(game_.path());
    const ProgressRecord r = run();

    expect_failure(r, L"Réception des données échouée.\nResource introuvable.");
    EXPECT_EQ(L"", r.bytes);
    // This worker clears the counter before the failure text.
    EXPECT_EQ((std::vector<int>{IDC_PROGRESS_BYTES, IDC_PROGRESS_STATUS, IDC_PROGRESS_BAR,
                                IDC_PROGRESS_BUTTON, 0}),
              last_controls(r, 5));
    EXPECT_EQ(L"", r.events[r.events.size() - 5].text);
    EXPECT_EQ(4u, requested_paths().size()) << "no file after the failed one";
    EXPECT_EQ(before, tree_of(game_.path()));
    EXPECT_EQ((Tree{{L"a.lua", "light:a.lua"}, {L"b.lua", "light:b.lua"}}), tree_of(staging_folder()));

    // The next run starts from an empty staging folder.
    game_.make_file(L"unused", "");
    serve(release_list("2.2", {"a.lua"}), {"a.lua"});
    EXPECT_EQ(UPDATED, run().status);
    EXPECT_EQ((Tree{{L"a.lua", "light:a.lua"}}), tree_of(game_.path() + ADDON));
}

TEST_F(UpdateRun, ReplyCutShortIsNeverInstalled) {
    install("2.1", "Light");
    SiteReply cut{200, std::string(3000, 'c')};
    cut.announce = 5000;
    serve(release_list("2.2", {"a.lua", "b.lua"}), {"a.lua"}, {{LIGHT + "b.lua", cut}});
    const Tree before = tree_of(game_.path());
    const ProgressRecord r = run();
    expect_failure(r, L"Réception des données échouée.\nException non gérée.");
    EXPECT_EQ(L"", r.bytes);
    EXPECT_EQ(before, tree_of(game_.path()));
    EXPECT_FALSE(path_exists(staging_folder() + L"b.lua"));
}

// Lists that cannot be used are refused whole: nothing fetched, nothing on
// disk touched, not even the staging folder an earlier run left.
TEST_F(UpdateRun, UnusableListsChangeNothing) {
    install("2.1", "Light");
    const std::wstring malformed = L"Mise à jour impossible.\nLa liste des fichiers du site est incorrecte.";
    const std::wstring unsafe =
        L"Mise à jour impossible.\nLa liste des fichiers du site contient un nom de fichier refusé.";
    const std::wstring too_long = L"Mise à jour impossible.\nUn nom de fichier de la liste est trop long.";
    const std::wstring no_version =
        L"Vérification de la dernière version impossible.\n"
        L"La liste des fichiers du site n'indique aucune version.";
    struct Case {
        std::string list;
        std::wstring text;
    } cases[] = {
        {"2.2", malformed},
        {"2.2\n", malformed},
        {"2.2\n0\n", malformed},
        {"2.2\n-1\na.lua\n", malformed},
        {"2.2\nabc\na.lua\n", malformed},
        {"2.2\n65535\na.lua\n", malformed},
        {"2.2\n3\na.lua\nb.lua\n", malformed},
        {"2.2\n2\na.lua\n\n", malformed},
        {"2.2\n" + std::string(300, '1') + "\na.lua\n", malformed},
        {"2.2\n1\n" + std::string(260, 'n') + "\n", too_long},
        {"2.2\n1\n" + std::string(220, 'n') + "\n", too_long},  // the address would be cut
        {"2.2\n2\na.lua\n../../x.lua\n", unsafe},
        {"\n1\na.lua\n", no_version},
        {"", no_version},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list.substr(0, 40));
        const std::wstring marker = staging_folder() + L"left.txt";
        CreateDirectoryW(staging_folder().c_str(), nullptr);
        HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(file);
        StandinSite forget_earlier_requests;
        serve(c.list, {"a.lua", "b.lua"});
        const Tree before = tree_of(game_.path());
        const ProgressRecord r = run();
        expect_failure(r, c.text);
        EXPECT_EQ(std::vector<std::string>{RELEASE_LIST}, requested_paths());
        EXPECT_EQ(before, tree_of(game_.path()));
        EXPECT_TRUE(path_exists(marker)) << "the old staging folder is untouched";
    }
}

// A name from the server could reach outside the staging folder or name a
// device; each such list is refused before anything is written.
TEST(ReleaseNames, OnlyPlainRelativeNamesPass) {
    const char* accepted[] = {"Quillfern.toc", "Images/Carte.blp", "Images\\Carte.blp",
                              "a//b\\\\c.lua", "Sons/Alerte 1.ogg", "Donn\xe9" "es.lua",
                              "CONSOLE.lua",
                              "COM10.lua", ".hidden"};
    for (const char* name : accepted) EXPECT_TRUE(is_safe_release_name(name)) << name;
    const char* refused[] = {"", "../../x", "..\\x", "a/../x", "./x", "a/./b", "C:\\x", "C:x",
                             "\\\\server\\x", "/x", "\\x", "x:stream", "Quillfern.toc:zone",
                             "dir/", "dir\\", "name.", "dir./x", "name ", "a\tb", "a\x01", "a\x7f",
                             "CON", "con", "NUL.txt", "Images/aux.blp", "COM1", "lpt9.lua",
                             "COM\xb9", "CONIN$", "nul .txt", "a*b", "a?b", "a\"b", "a<b", "a>b",
                             "a|b", "a#b"};
    for (const char* name : refused) EXPECT_FALSE(is_safe_release_name(name)) << name;
}

TEST_F(UpdateRun, FailureWithManyFilesShowsAFullBar) {
    install("2.1", "Light");
    std::vector<std::string> names;
    for (int i = 0; i < 150; ++i) names.push_back("f" + std::to_string(i) + ".lua");
    serve(release_list("2.2", names), {"f0.lua", "f1.lua"});
    const ProgressRecord r = run();
    EXPECT_EQ(151, r.range);
    expect_failure(r, L"Réception des données échouée.\nResource introuvable.");
}

TEST_F(UpdateRun, DataFilePathTooLongStopsTheFixUp) {
    const std::wstring account = repeat(L'A', 250 - game_.path().size() - 12);
    game_.make_folder(L"WTF\\Account\\" + account);
    serve(release_list("2.2", {"a.lua"}), {"a.lua"});
    const ProgressRecord r = run();
    expect_failure(r, L"Erreur: chemin d'un fichier de données trop long. L'addon a été mis à jour, "
                      L"mais vous devez lancer le jeu avant d'envoyer vos données.");
    EXPECT_EQ((Tree{{L"a.lua", "light:a.lua"}}), tree_of(game_.path() + ADDON));
}

TEST_F(UpdateRun, DataFileThatCannotBeMarkedStopsTheFixUp) {
    // The game holds a data file open for reading: it exists but cannot be marked.
    serve(release_list("2.2", {"a.lua"}), {"a.lua"});
    HANDLE held = CreateFileW((game_.path() + L"WTF\\Account\\ALPHA\\SavedVariables\\Quillfern.lua").c_str(),
                              GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    const ProgressRecord r = run();
    CloseHandle(held);
    expect_failure(r, L"Erreur: impossible de mettre un fichier de données à jour. L'addon a été mis "
                      L"à jour, mais vous devez lancer le jeu avant d'envoyer vos données.");
    EXPECT_EQ((Tree{{L"a.lua", "light:a.lua"}}), tree_of(game_.path() + ADDON));
}

TEST_F(UpdateRun, FirstStepFailureThenAFreshDialogForTheNextRun) {
    registry_.set_text(VALUE_GAME_PATH, L"");
    serve(release_list("2.2", {"a.lua"}), {"a.lua"});
    const ProgressRecord failed = run();
    expect_failure(failed, L"Impossible de vérifier la version locale de l'uploader.\n"
                           L"Le dossier de World of Warcraft est introuvable.");
    EXPECT_EQ(0, failed.result);
    EXPECT_EQ(2u, status_texts(failed).size()) << "the first step, then the failure";
    EXPECT_TRUE(site_.requests().empty());

    // Reopened: title, range, button and text as new, and one new worker.
    registry_.set_text(VALUE_GAME_PATH, game_.path());
    const ProgressRecord again = run();
    EXPECT_EQ(L"OK", again.initial_button);
    EXPECT_EQ(L"Veuillez patienter...", again.initial_status);
    EXPECT_EQ(UPDATED, again.status);
    EXPECT_EQ(L"OK", again.button);
}

TEST_F(UpdateRun, NoAccountsFolderSkipsTheFixUp) {
    remove_tree(game_.path() + L"WTF");
    serve(release_list("2.2", {"a.lua"}), {"a.lua"});
    EXPECT_EQ(UPDATED, run().status);
}

}  // namespace
