#include "update/installed_version.h"
#include "update/staging.h"

#include "base/text_util.h"
#include "base/unique_handle.h"
#include "game/game_constants.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <iterator>
#include <map>
#include <set>
#include <string>

namespace {

// Held open without sharing, as another program may hold a file or folder.
UniqueKernelHandle hold(const std::wstring& path, DWORD share = 0) {
    UniqueKernelHandle held(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    EXPECT_TRUE(held.valid()) << "cannot hold the test path open";
    return held;
}

using Tree = FolderTree;
Tree snapshot(const std::wstring& folder) { return folder_tree(folder); }

// The names directly inside a folder.
std::set<std::wstring> names_in(const std::wstring& folder) {
    std::set<std::wstring> names;
    for (const auto& item : snapshot(folder)) {
        const std::wstring& path = item.first;
        const size_t slash = path.find(L'\\');
        if (slash == std::wstring::npos || slash + 1 == path.size()) names.insert(path);
    }
    return names;
}

// ---- read_installed_version ---------------------------------------------

constexpr wchar_t CHECK_FAILED[] = L"Impossible de vérifier la version locale de l'uploader.\n";
constexpr wchar_t NO_GAME_FOLDER[] = L"Le dossier de World of Warcraft est introuvable.";
constexpr wchar_t NOT_OPENED[] = L"Le fichier de version n'a pas pu être ouvert.";
constexpr wchar_t NOT_READ[] = L"Le fichier de version n'a pas pu être lu.";
constexpr wchar_t TOO_LARGE[] = L"Le fichier de version est incorrect.";
constexpr wchar_t NO_VERSION[] = L"Le fichier de version n'a pas un format valide.";

enum class GameSetting { UNSET, EMPTY, SCRATCH, LENGTH_209, LENGTH_210 };
enum class Toc { NONE, FILE, HELD_OPEN, FOLDER };

struct VersionCase {
    const char* name;
    GameSetting setting;
    Toc toc;
    std::string bytes;
    Outcome outcome;
    std::string version;
    std::string edition;
    const wchar_t* reason;  // the message's second line; null for no message
};

std::string toc_of_size(size_t size) {
    std::string bytes = "## Version: Version 2.1\r\n";
    return bytes + std::string(size - bytes.size(), 'x');
}

TEST(InstalledVersion, ReadsVersionAndEditionFromTheTocFile) {
    const std::string good = "## Title: Quillfern\r\n## Version: Version 2.1\r\n## X-Version: Full\r\n";
    const std::string v259(259, 'v'), v260(260, 'v'), e259(259, 'e'), e260(260, 'e');
    const VersionCase cases[] = {
        {"game folder not set", GameSetting::UNSET, Toc::FILE, good, OUTCOME_ERROR, "", "",
         NO_GAME_FOLDER},
        // Empty, the path would be relative to wherever the program runs.
        {"game folder empty", GameSetting::EMPTY, Toc::FILE, good, OUTCOME_ERROR, "", "",
         NO_GAME_FOLDER},
        {"game folder of 210 characters", GameSetting::LENGTH_210, Toc::NONE, "", OUTCOME_ERROR, "",
         "", NO_GAME_FOLDER},
        {"game folder of 209 characters", GameSetting::LENGTH_209, Toc::FILE, good, OUTCOME_OK, "2.1",
         "Full", nullptr},
        {"no toc file", GameSetting::SCRATCH, Toc::NONE, "", OUTCOME_INFO, "", "Light", NOT_OPENED},
        {"toc held open without sharing", GameSetting::SCRATCH, Toc::HELD_OPEN, good, OUTCOME_INFO,
         "", "Light", NOT_OPENED},
        {"toc that opens but cannot be read (a folder)", GameSetting::SCRATCH, Toc::FOLDER, "",
         OUTCOME_ERROR, "", "", NOT_READ},
        {"toc of 1,048,576 bytes", GameSetting::SCRATCH, Toc::FILE, toc_of_size(TOC_MAX_BYTES),
         OUTCOME_ERROR, "", "", TOO_LARGE},
        {"toc of 1,048,575 bytes", GameSetting::SCRATCH, Toc::FILE, toc_of_size(TOC_MAX_BYTES - 1),
         OUTCOME_OK, "2.1", "Light", nullptr},
        {"title, version and edition", GameSetting::SCRATCH, Toc::FILE, good, OUTCOME_OK, "2.1",
         "Full", nullptr},
        {"no edition line gives Light", GameSetting::SCRATCH, Toc::FILE,
         "## Version: Version 2.1\r\n", OUTCOME_OK, "2.1", "Light", nullptr},
        {"no version line", GameSetting::SCRATCH, Toc::FILE, "## Title: Q\r\n## X-Version: Full\r\n",
         OUTCOME_ERROR, "", "Full", NO_VERSION},
        {"empty file", GameSetting::SCRATCH, Toc::FILE, "", OUTCOME_ERROR, "", "Light", NO_VERSION},
        {"last line wins", GameSetting::SCRATCH, Toc::FILE,
         "## Version: Version 1.0\r\n## X-Version: Light\r\n"
         "## Version: Version 2.0\r\n## X-Version: Full\r\n",
         OUTCOME_OK, "2.0", "Full", nullptr},
        {"last line without a line end", GameSetting::SCRATCH, Toc::FILE,
         "## X-Version: Full\r\n## Version: Version 3.0", OUTCOME_OK, "3.0", "Full", nullptr},
        {"LF only: the first line runs to the end", GameSetting::SCRATCH, Toc::FILE,
         "## Version: Version 2.1\n## X-Version: Full\n", OUTCOME_OK, "2.1\n## X-Version: Full\n",
         "Light", nullptr},
        {"LF only: a later version line is not seen", GameSetting::SCRATCH, Toc::FILE,
         "## Title: Q\n## Version: Version 2.1\n", OUTCOME_ERROR, "", "Light", NO_VERSION},
        {"lower-case v is not recognised", GameSetting::SCRATCH, Toc::FILE,
         "## Version: version 2.1\r\n", OUTCOME_ERROR, "", "Light", NO_VERSION},
        {"empty values alone do not count", GameSetting::SCRATCH, Toc::FILE,
         "## Version: Version \r\n## X-Version: \r\n", OUTCOME_ERROR, "", "Light", NO_VERSION},
        {"empty values leave earlier ones", GameSetting::SCRATCH, Toc::FILE,
         good + "## Version: Version \r\n## X-Version: \r\n", OUTCOME_OK, "2.1", "Full", nullptr},
        {"spaces and 8-bit bytes stay in the value", GameSetting::SCRATCH, Toc::FILE,
         "## Version: Version  2.1 b\xE9ta \r\n", OUTCOME_OK, " 2.1 b\xE9ta ", "Light", nullptr},
        {"a zero byte ends the line", GameSetting::SCRATCH, Toc::FILE,
         std::string("## Version: Version 2.1\0junk\r\n", 30), OUTCOME_OK, "2.1", "Light", nullptr},
        {"values of 259 bytes fit", GameSetting::SCRATCH, Toc::FILE,
         "## Version: Version " + v259 + "\r\n## X-Version: " + e259 + "\r\n", OUTCOME_OK, v259, e259,
         nullptr},
        {"a version of 260 bytes is not usable", GameSetting::SCRATCH, Toc::FILE,
         "## Version: Version " + v260 + "\r\n## X-Version: Full\r\n", OUTCOME_ERROR, "", "Full",
         NO_VERSION},
        {"a version of 260 bytes leaves an earlier one", GameSetting::SCRATCH, Toc::FILE,
         "## Version: Version 2.1\r\n## Version: Version " + v260 + "\r\n", OUTCOME_OK, "2.1", "Light",
         nullptr},
        {"an edition of 260 bytes gives Light", GameSetting::SCRATCH, Toc::FILE,
         "## Version: Version 2.1\r\n## X-Version: " + e260 + "\r\n", OUTCOME_OK, "2.1", "Light",
         nullptr},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchKey registry;
        ScratchFolder game;
        std::wstring root;  // the game folder, relative to the scratch folder
        switch (c.setting) {
            case GameSetting::UNSET:
                break;
            case GameSetting::EMPTY:
                registry.set_text(VALUE_GAME_PATH, L"");
                break;
            case GameSetting::SCRATCH:
                registry.set_text(VALUE_GAME_PATH, game.path());
                break;
            case GameSetting::LENGTH_209:
                root = repeat(L'g', 209 - game.path().size() - 1) + L"\\";
                registry.set_text(VALUE_GAME_PATH, game.make_folder(root.substr(0, root.size() - 1)));
                ASSERT_EQ(209u, (game.path() + root).size());
                break;
            case GameSetting::LENGTH_210:
                registry.set_text(VALUE_GAME_PATH, L"C:\\" + repeat(L'g', 206) + L"\\");
                break;
        }
        const std::wstring toc = root + L"Interface\\AddOns\\Quillfern\\Quillfern.toc";
        if (c.toc == Toc::FOLDER)
            game.make_folder(toc);
        else if (c.toc != Toc::NONE)
            game.make_file(toc, c.bytes);
        UniqueKernelHandle held;
        if (c.toc == Toc::HELD_OPEN) held = hold(game.path() + toc);

        SettingsKey key = open_settings(registry);
        const std::wstring message_wanted = c.reason ? std::wstring(CHECK_FAILED) + c.reason : L"";
        for (bool ask_edition : {true, false}) {
            SCOPED_TRACE(ask_edition ? "with edition" : "without edition");
            // One guard byte behind each buffer shows a write past it.
            char version[INSTALLED_VERSION_CAPACITY + 1];
            char edition[INSTALLED_VERSION_CAPACITY + 1];
            std::memset(version, '#', sizeof(version));
            std::memset(edition, '#', sizeof(edition));
            wchar_t message[MESSAGE_CAPACITY] = L"stale";
            EXPECT_EQ(c.outcome,
                      read_installed_version(ask_edition ? edition : nullptr, key, version, message));
            EXPECT_EQ(c.version, version);
            EXPECT_EQ(message_wanted, message);
            EXPECT_EQ('#', version[INSTALLED_VERSION_CAPACITY]);
            if (ask_edition) {
                EXPECT_EQ(c.edition, edition);
                EXPECT_EQ('#', edition[INSTALLED_VERSION_CAPACITY]);
            } else {
                EXPECT_EQ('#', edition[0]) << "no edition was asked for";
            }
        }
    }
}

// ---- staging and installation -------------------------------------------

constexpr wchar_t CANNOT_CONTINUE[] = L"Impossible de continuer.\n";
constexpr wchar_t INSTALL_FAILED[] =
    L"Impossible d'installer les nouveaux fichiers.\nAucun fichier n'a été modifié.";

class Staging : public ::testing::Test {
protected:
    void SetUp() override {
        registry_.set_text(VALUE_GAME_PATH, game_.path());
        game_.make_file(L"Wow.exe", "MZ");
        staging_ = temp_.path() + L"Quillfern\\";
    }

    std::wstring addon() const { return game_.path() + L"Interface\\AddOns\\Quillfern\\"; }
    std::wstring addons() const { return game_.path() + L"Interface\\AddOns\\"; }
    std::wstring interface_path() const { return game_.path() + L"Interface\\"; }

    Outcome prepare() {
        SettingsKey key = open_settings(registry_);
        return prepare_staging(addon_, staging_.c_str(), key, message_);
    }
    Outcome stage(const std::wstring& name, const std::string& bytes) {
        return stage_file(reinterpret_cast<const unsigned char*>(bytes.data()), message_,
                          (staging_ + name).c_str(), static_cast<DWORD>(bytes.size()));
    }
    // Stages a whole set of files through stage_file.
    void stage_all(const Tree& files) {
        for (const auto& file : files) {
            if (file.second == "<folder>") continue;
            ASSERT_EQ(OUTCOME_OK, stage(file.first, file.second)) << file.first.c_str();
        }
    }
    Outcome install() { return install_staged(staging_.c_str(), addon().c_str(), message_); }

    // An installed addon of version 1.0 and the player's own files beside it.
    void install_old_addon() {
        game_.make_file(L"Interface\\AddOns\\Quillfern\\Quillfern.toc", OLD_TOC);
        game_.make_file(L"Interface\\AddOns\\Quillfern\\Quillfern.lua", "old code");
        game_.make_file(L"Interface\\AddOns\\Quillfern\\Images\\Carte.blp", "old map");
        game_.make_file(L"Interface\\AddOns\\Quillfern\\Obsolete.lua", "gone in 2.0");
        game_.make_file(L"Interface\\AddOns\\OtherAddon\\OtherAddon.toc", "## Title: Other\r\n");
        game_.make_file(L"Interface\\AddOns\\OtherAddon\\Data\\saved.lua", "player data");
        game_.make_file(L"Interface\\AddOns\\notes.txt", "player notes");
    }
    // What the player has beside the addon.
    Tree players_files() const {
        Tree tree = snapshot(addons());
        for (auto it = tree.begin(); it != tree.end();)
            it = it->first.compare(0, 10, L"Quillfern\\") == 0 ? tree.erase(it) : std::next(it);
        return tree;
    }

    static constexpr const char* OLD_TOC = "## Version: Version 1.0\r\n## X-Version: Light\r\n";
    const Tree new_files_{
        {L"Quillfern.toc", "## Version: Version 2.0\r\n## X-Version: Full\r\n"},
        {L"Quillfern.lua", "new code"},
        {L"Images\\", "<folder>"},
        {L"Images\\Carte.blp", "new map"},
        {L"Images\\Icones\\", "<folder>"},
        {L"Images\\Icones\\Quete.blp", "quest icon"},
        {L"Sons\\", "<folder>"},
        {L"Sons\\Alerte.ogg", std::string("\0\x01\x02ogg", 6)},
    };

    ScratchKey registry_;
    ScratchFolder game_;
    ScratchFolder temp_;
    std::wstring staging_;
    wchar_t addon_[PATH_CAPACITY] = L"stale";
    wchar_t message_[MESSAGE_CAPACITY] = L"stale";
};

TEST_F(Staging, PrepareChecksTheGameFolderAndCreatesNothingWhenItFails) {
    ScratchFolder no_game;  // exists, but holds no Wow.exe
    const struct {
        std::wstring setting;  // empty: not set
        const wchar_t* reason;
    } cases[] = {
        {L"", L"Le dossier de World of Warcraft n'a pas pu être récupéré."},
        {L"C:\\" + repeat(L'g', 156) + L"\\", L"Le dossier de World of Warcraft n'a pas pu être récupéré."},
        {game_.path() + repeat(L'm', 159 - game_.path().size() - 1) + L"\\",
         L"Le dossier de World of Warcraft n'existe pas."},
        {no_game.path(), L"World of Warcraft n'est pas installé dans ce dossier."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting.c_str());
        ScratchKey registry;
        if (!c.setting.empty()) registry.set_text(VALUE_GAME_PATH, c.setting);
        SettingsKey key = open_settings(registry);
        wcscpy(addon_, L"stale");
        EXPECT_EQ(OUTCOME_ERROR, prepare_staging(addon_, staging_.c_str(), key, message_));
        EXPECT_EQ(std::wstring(CANNOT_CONTINUE) + c.reason, message_);
        EXPECT_STREQ(L"", addon_);
        EXPECT_FALSE(path_exists(staging_));
    }
    EXPECT_TRUE(snapshot(no_game.path()).empty());
}

TEST_F(Staging, PrepareCreatesInterfaceAndAddOnsAndAnEmptyStagingFolder) {
    EXPECT_EQ(OUTCOME_OK, prepare());
    EXPECT_STREQ(L"", message_);
    EXPECT_EQ(addon(), addon_);
    EXPECT_EQ((Tree{{L"AddOns\\", "<folder>"}}), snapshot(interface_path()));
    EXPECT_TRUE(path_exists(staging_));
    EXPECT_TRUE(snapshot(staging_).empty());
}

TEST_F(Staging, PrepareEmptiesAStagingFolderLeftByAnEarlierRun) {
    temp_.make_file(L"Quillfern\\Quillfern.toc", "old");
    temp_.make_file(L"Quillfern\\Images\\Carte.blp", "old");
    EXPECT_EQ(OUTCOME_OK, prepare());
    EXPECT_TRUE(path_exists(staging_));
    EXPECT_TRUE(snapshot(staging_).empty());
}

TEST_F(Staging, PrepareReportsFoldersItCannotMakeOrClean) {
    {
        SCOPED_TRACE("staging folder with a file held open");
        const std::wstring held_file = temp_.make_file(L"Quillfern\\held.lua", "held");
        UniqueKernelHandle held = hold(held_file);
        EXPECT_EQ(OUTCOME_ERROR, prepare());
        EXPECT_EQ(std::wstring(CANNOT_CONTINUE) + L"Nettoyage du dossier temporaire impossible.",
                  message_);
        EXPECT_STREQ(L"", addon_);
    }
    {
        SCOPED_TRACE("staging folder whose parent is missing");
        staging_ = temp_.path() + L"missing\\Quillfern\\";
        EXPECT_EQ(OUTCOME_ERROR, prepare());
        EXPECT_EQ(std::wstring(CANNOT_CONTINUE) + L"Impossible de créer le répertoire temporaire.",
                  message_);
    }
    {
        SCOPED_TRACE("a file named Interface");
        ScratchFolder game;
        game.make_file(L"Wow.exe", "MZ");
        game.make_file(L"Interface", "not a folder");
        registry_.set_text(VALUE_GAME_PATH, game.path());
        EXPECT_EQ(OUTCOME_ERROR, prepare());
        EXPECT_EQ(std::wstring(CANNOT_CONTINUE) + L"Création du dossier AddOns échouée.", message_);
    }
}

// ---- stage_file ----

TEST_F(Staging, StageFileCreatesTheSubFoldersOnTheWay) {
    ASSERT_EQ(OUTCOME_OK, prepare());
    const struct {
        const wchar_t* name;
        const char* bytes;
        const wchar_t* file;  // where it lands, below the staging folder
    } cases[] = {
        {L"Quillfern.toc", "toc", L"Quillfern.toc"},
        {L"Images/Carte.blp", "map", L"Images\\Carte.blp"},
        {L"Images\\Icones/Quete.blp", "icon", L"Images\\Icones\\Quete.blp"},
        {L"Sons//Alertes\\\\Cri.ogg", "cry", L"Sons\\Alertes\\Cri.ogg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OUTCOME_OK, stage(c.name, c.bytes));
        EXPECT_STREQ(L"", message_);
        EXPECT_EQ(c.bytes, read_whole_file(staging_ + c.file));
    }
    EXPECT_EQ((Tree{{L"Quillfern.toc", "toc"},
                    {L"Images\\", "<folder>"},
                    {L"Images\\Carte.blp", "map"},
                    {L"Images\\Icones\\", "<folder>"},
                    {L"Images\\Icones\\Quete.blp", "icon"},
                    {L"Sons\\", "<folder>"},
                    {L"Sons\\Alertes\\", "<folder>"},
                    {L"Sons\\Alertes\\Cri.ogg", "cry"}}),
              snapshot(staging_));
}

TEST_F(Staging, StagingTheSameNameTwiceKeepsTheSecondContentOnly) {
    ASSERT_EQ(OUTCOME_OK, prepare());
    EXPECT_EQ(OUTCOME_OK, stage(L"Images/Carte.blp", std::string(100, 'a')));
    EXPECT_EQ(OUTCOME_OK, stage(L"Images/Carte.blp", "short"));
    EXPECT_EQ("short", read_whole_file(staging_ + L"Images\\Carte.blp"));
}

TEST_F(Staging, StageFileRefusesPathsItCannotUseWhole) {
    ASSERT_EQ(OUTCOME_OK, prepare());
    const std::wstring create_failed = L"Erreur: création d'un fichier impossible.\n";
    EXPECT_EQ(OUTCOME_ERROR, stage_file(reinterpret_cast<const unsigned char*>("x"), message_,
                                        (temp_.path() + L"Autre\\x.lua").c_str(), 1));
    EXPECT_EQ(create_failed + L"Le chemin du fichier n'est pas accepté.", message_);
    EXPECT_FALSE(path_exists(temp_.path() + L"Autre"));

    // 259 characters fit the path buffer with its terminator; 260 do not, and
    // nothing of such a path is made, not even its folders.
    const std::wstring folder = L"Longs\\";
    const size_t room = 259 - staging_.size() - folder.size();
    const std::wstring fits = folder + repeat(L'f', room);
    ASSERT_EQ(259u, (staging_ + fits).size());
    EXPECT_EQ(OUTCOME_OK, stage(fits, "fits"));
    EXPECT_EQ("fits", read_whole_file(staging_ + fits));

    const std::wstring too_long = L"Trop\\" + repeat(L't', room + 2);
    ASSERT_EQ(260u, (staging_ + too_long).size());
    EXPECT_EQ(OUTCOME_ERROR, stage(too_long, "long"));
    EXPECT_EQ(create_failed + L"Le chemin du fichier est trop long.", message_);
    EXPECT_FALSE(path_exists(staging_ + L"Trop"));
}

TEST_F(Staging, StageFileReportsFoldersAndFilesItCannotMakeOrWrite) {
    ASSERT_EQ(OUTCOME_OK, prepare());
    temp_.make_file(L"Quillfern\\Images", "a file where a folder should be");
    EXPECT_EQ(OUTCOME_ERROR, stage(L"Images/Icones/Quete.blp", "icon"));
    EXPECT_EQ(std::wstring(L"Erreur: création d'un fichier impossible.\n"
                           L"Impossible de créer les répertoires correspondants."),
              message_);

    const std::wstring busy = temp_.make_file(L"Quillfern\\busy.lua", "before");
    {
        UniqueKernelHandle held = hold(busy);  // cannot even be opened
        EXPECT_EQ(OUTCOME_ERROR, stage(L"busy.lua", "after"));
        EXPECT_EQ(std::wstring(L"Erreur: création d'un fichier impossible.\n"
                               L"Veuillez réessayer ultérieurement."),
                  message_);
    }
    {
        UniqueKernelHandle held = hold(busy, FILE_SHARE_READ);  // opens, but not for writing
        EXPECT_EQ(OUTCOME_ERROR, stage(L"busy.lua", "after"));
        EXPECT_EQ(std::wstring(L"Erreur: écriture d'un fichier impossible.\n"
                               L"Veuillez réessayer ultérieurement."),
                  message_);
    }
    EXPECT_EQ("before", read_whole_file(busy));
}

// ---- install_staged ----

TEST_F(Staging, InstallIntoAGameWithoutTheAddonCreatesIt) {
    ASSERT_EQ(OUTCOME_OK, prepare());
    stage_all(new_files_);
    EXPECT_EQ(OUTCOME_OK, install());
    EXPECT_STREQ(L"", message_);
    EXPECT_EQ(new_files_, snapshot(addon()));
    EXPECT_FALSE(path_exists(staging_));
    EXPECT_EQ((std::set<std::wstring>{L"AddOns\\"}), names_in(interface_path())) << "no folder left beside";
}

TEST_F(Staging, InstallReplacesTheWholeAddonAndNothingBeside) {
    install_old_addon();
    const Tree players = players_files();
    ASSERT_EQ(OUTCOME_OK, prepare());
    stage_all(new_files_);
    EXPECT_EQ(OUTCOME_OK, install());
    EXPECT_STREQ(L"", message_);
    EXPECT_EQ(new_files_, snapshot(addon())) << "exactly the staged files: Obsolete.lua is gone";
    EXPECT_EQ(players, players_files());
    EXPECT_FALSE(path_exists(staging_));
    EXPECT_EQ((std::set<std::wstring>{L"AddOns\\"}), names_in(interface_path()));

    char version[INSTALLED_VERSION_CAPACITY];
    char edition[INSTALLED_VERSION_CAPACITY];
    SettingsKey key = open_settings(registry_);
    EXPECT_EQ(OUTCOME_OK, read_installed_version(edition, key, version, message_));
    EXPECT_STREQ("2.0", version);
    EXPECT_STREQ("Full", edition);
}

// The proof that a failed installation changes nothing: a staged file that
// cannot be moved (held open without sharing) stops the installation after
// the other files have left the staging folder. (Wine's shell even answers
// success for such a move.) The whole AddOns folder, the player's files
// included, is the same byte for byte afterwards.
TEST_F(Staging, InstallThatFailsPartWayLeavesEveryFileAsItWas) {
    install_old_addon();
    const Tree before = snapshot(addons());
    ASSERT_EQ(OUTCOME_OK, prepare());
    stage_all(new_files_);
    {
        UniqueKernelHandle held = hold(staging_ + L"Quillfern.lua");
        EXPECT_EQ(OUTCOME_ERROR, install());
        EXPECT_STREQ(INSTALL_FAILED, message_);
    }
    EXPECT_EQ(before, snapshot(addons()));
    EXPECT_EQ((std::set<std::wstring>{L"AddOns\\"}), names_in(interface_path()));

    // Nothing in the way of the next run.
    ASSERT_EQ(OUTCOME_OK, prepare());
    stage_all(new_files_);
    EXPECT_EQ(OUTCOME_OK, install());
    EXPECT_EQ(new_files_, snapshot(addon()));
}

// A file of the installed addon held open: Windows refuses to rename a folder
// that holds an open file, so the run fails and changes nothing; Wine renames
// it, and the old addon, which cannot be deleted yet, waits beside AddOns\ to
// be thrown away by the next run. Either way the player has one whole addon.
TEST_F(Staging, AddonFileHeldOpenGivesTheOldOrTheNewAddonWhole) {
    install_old_addon();
    const Tree before = snapshot(addons());
    const Tree players = players_files();
    ASSERT_EQ(OUTCOME_OK, prepare());
    stage_all(new_files_);
    Outcome outcome;
    {
        UniqueKernelHandle held = hold(addon() + L"Quillfern.lua");
        outcome = install();
    }
    if (outcome == OUTCOME_ERROR) {
        EXPECT_STREQ(INSTALL_FAILED, message_);
        EXPECT_EQ(before, snapshot(addons()));
    } else {
        EXPECT_EQ(OUTCOME_OK, outcome);
        EXPECT_EQ(new_files_, snapshot(addon()));
        EXPECT_EQ(players, players_files());
        ASSERT_EQ(OUTCOME_OK, prepare());
        EXPECT_EQ((std::set<std::wstring>{L"AddOns\\"}), names_in(interface_path()));
        EXPECT_EQ(new_files_, snapshot(addon()));
    }
}

TEST_F(Staging, StagingFolderThatCannotBeRemovedGivesANotice) {
    install_old_addon();
    ASSERT_EQ(OUTCOME_OK, prepare());
    stage_all(new_files_);
    // Its entries can move out, but the folder itself cannot be deleted.
    UniqueKernelHandle held = hold(staging_, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_EQ(OUTCOME_INFO, install());
    EXPECT_STREQ(L"Nettoyage du dossier temporaire échoué.\nLa mise à jour a néanmoins été effectuée.",
                 message_);
    EXPECT_EQ(new_files_, snapshot(addon()));
}

// ---- what an interrupted installation leaves ----

TEST_F(Staging, PreparePutsRightWhatAnInterruptedInstallationLeft) {
    const Tree old_addon{{L"Quillfern.toc", OLD_TOC}, {L"Quillfern.lua", "old code"}};
    const struct {
        const char* name;
        bool addon;   // the addon folder is there
        bool backup;  // a whole old addon waits in the backup folder
        bool incoming;
        bool discard;
        Tree restored;  // the addon folder afterwards when it was missing; empty: still missing
    } cases[] = {
        // Cut before the swap: the addon is there, the new files were on their way.
        {"new files gathered", true, false, true, false, {}},
        // Cut between the two renames: the backup is the only addon.
        {"between the renames", false, true, true, false, old_addon},
        // Cut after the swap, before the old addon was deleted.
        {"after the swap", true, true, false, true, {}},
        {"nothing installed, new files gathered", false, false, true, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder game;
        game.make_file(L"Wow.exe", "MZ");
        game.make_file(L"Interface\\AddOns\\OtherAddon\\OtherAddon.toc", "## Title: Other\r\n");
        registry_.set_text(VALUE_GAME_PATH, game.path());
        const std::wstring interface_folder = game.path() + L"Interface\\";
        if (c.addon) game.make_file(L"Interface\\AddOns\\Quillfern\\Quillfern.toc", "installed");
        auto fill = [&](const wchar_t* side, const Tree& files) {
            for (const auto& file : files)
                game.make_file(std::wstring(L"Interface\\") + side + file.first, file.second);
        };
        if (c.backup) fill(ADDON_BACKUP_FOLDER_NAME, old_addon);
        if (c.incoming) fill(ADDON_INCOMING_FOLDER_NAME, {{L"Quillfern.toc", "part of new"}});
        if (c.discard) fill(ADDON_DISCARD_FOLDER_NAME, {{L"Quillfern.lua", "half deleted"}});
        const Tree addon_before = snapshot(interface_folder + L"AddOns\\Quillfern\\");

        EXPECT_EQ(OUTCOME_OK, prepare());
        EXPECT_EQ((std::set<std::wstring>{L"AddOns\\"}), names_in(interface_folder));
        EXPECT_EQ(c.addon ? addon_before : c.restored,
                  snapshot(interface_folder + L"AddOns\\Quillfern\\"));
        EXPECT_EQ(c.addon || !c.restored.empty(),
                  path_exists(interface_folder + L"AddOns\\Quillfern"));
        EXPECT_EQ("## Title: Other\r\n",
                  read_whole_file(interface_folder + L"AddOns\\OtherAddon\\OtherAddon.toc"));
    }
}

// install_staged does not rely on prepare_staging having run: an old backup
// is thrown away, never mixed into the new addon.
TEST_F(Staging, InstallThrowsAwayAStaleBackup) {
    install_old_addon();
    ASSERT_EQ(OUTCOME_OK, prepare());
    stage_all(new_files_);
    game_.make_file(std::wstring(L"Interface\\") + ADDON_BACKUP_FOLDER_NAME + L"Stale.lua", "stale");
    game_.make_file(std::wstring(L"Interface\\") + ADDON_INCOMING_FOLDER_NAME + L"Part.lua", "part");
    EXPECT_EQ(OUTCOME_OK, install());
    EXPECT_EQ(new_files_, snapshot(addon()));
    EXPECT_EQ((std::set<std::wstring>{L"AddOns\\"}), names_in(interface_path()));
}

TEST_F(Staging, LeftoversThatCannotBeRemovedStopBeforeAnythingChanges) {
    install_old_addon();
    const Tree before = snapshot(addons());
    ASSERT_EQ(OUTCOME_OK, prepare());
    stage_all(new_files_);
    const std::wstring stuck =
        game_.make_file(std::wstring(L"Interface\\") + ADDON_INCOMING_FOLDER_NAME + L"Stuck.lua", "x");
    UniqueKernelHandle held = hold(stuck);
    EXPECT_EQ(OUTCOME_ERROR, install());
    EXPECT_STREQ(INSTALL_FAILED, message_);
    EXPECT_EQ(before, snapshot(addons()));

    EXPECT_EQ(OUTCOME_ERROR, prepare());
    EXPECT_EQ(std::wstring(CANNOT_CONTINUE) + L"Nettoyage d'une mise à jour précédente impossible.",
              message_);
    EXPECT_EQ(before, snapshot(addons()));
}

}  // namespace
