#include "base/file_entry.h"
#include "game/game_constants.h"
#include "game/game_files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

FileEntry entry(const std::wstring& path) { return FileEntry(PATH_CAPACITY, path.c_str()); }

std::set<std::wstring> listed(const FolderNames& names) {
    std::set<std::wstring> result;
    for (const auto& name : names)
        if (name[0]) result.insert(name);
    return result;
}

size_t empty_names(const FolderNames& names) {
    size_t count = 0;
    for (const auto& name : names) count += name[0] == 0;
    return count;
}

// ---- FileEntry ----------------------------------------------------------

TEST(FileEntryBasics, ExistsAnswersForFilesAndFolders) {
    ScratchFolder scratch;
    const std::wstring folder = scratch.make_folder(L"sub");
    const std::wstring file = scratch.make_file(L"a.txt", "abc");
    EXPECT_TRUE(entry(folder).exists());
    EXPECT_TRUE(entry(folder.substr(0, folder.size() - 1)).exists());
    EXPECT_TRUE(entry(file).exists());
    EXPECT_FALSE(entry(scratch.path() + L"missing\\").exists());
    EXPECT_FALSE(entry(scratch.path() + L"missing.txt").exists());
}

TEST(FileEntryBasics, PathLongerThanCapacityNamesNothing) {
    ScratchFolder scratch;
    const std::wstring file = scratch.make_file(L"a.txt", "abc");
    FileEntry cut(file.size() - 1, file.c_str());
    EXPECT_FALSE(cut.valid());
    EXPECT_FALSE(cut.exists());
    DWORD size = 7;
    EXPECT_FALSE(cut.size(&size));
    FileEntry empty(PATH_CAPACITY, L"");
    EXPECT_FALSE(empty.exists());
    FileEntry exact(file.size(), file.c_str());
    EXPECT_TRUE(exact.exists());
}

TEST(FileEntryBasics, CreateRefusesWhatExists) {
    ScratchFolder scratch;
    const std::wstring file = scratch.make_file(L"a.txt", "keep");
    EXPECT_FALSE(entry(file).create());
    EXPECT_EQ("keep", read_whole_file(file));
    EXPECT_FALSE(entry(scratch.make_folder(L"sub")).create());

    const std::wstring new_file = scratch.path() + L"new.txt";
    EXPECT_TRUE(entry(new_file).create());
    EXPECT_TRUE(path_exists(new_file));
    EXPECT_EQ("", read_whole_file(new_file));
    EXPECT_TRUE(entry(scratch.path() + L"newdir\\").create());
    EXPECT_TRUE(path_exists(scratch.path() + L"newdir"));
    EXPECT_FALSE(entry(scratch.path() + L"no\\parent\\").create()) << "one level only";
}

TEST(FileEntryBasics, ReadGivesTheCountActuallyRead) {
    ScratchFolder scratch;
    const std::wstring file = scratch.make_file(L"a.bin", std::string("a\0b\r\n", 5));
    char buffer[64] = {};
    DWORD got = 99;
    EXPECT_TRUE(entry(file).read(buffer, sizeof(buffer), &got));
    EXPECT_EQ(5u, got);
    EXPECT_EQ(std::string("a\0b\r\n", 5), std::string(buffer, got));
    EXPECT_FALSE(entry(scratch.path() + L"missing").read(buffer, sizeof(buffer), &got));
}

TEST(FileEntryBasics, WriteOverwritesAndCutsButNeverCreates) {
    ScratchFolder scratch;
    const std::wstring missing = scratch.path() + L"missing.txt";
    EXPECT_FALSE(entry(missing).write("0123456789", 10));
    EXPECT_FALSE(path_exists(missing));

    const std::wstring file = scratch.make_file(L"long.txt", std::string(100, 'x'));
    EXPECT_TRUE(entry(file).write("0123456789", 10));
    EXPECT_EQ("0123456789", read_whole_file(file));
}

TEST(FileEntryBasics, WriteToALockedFileLeavesItWhole) {
    // (A read-only attribute cannot stand in here: Wine keeps it as Unix
    // permissions, which root ignores.)
    ScratchFolder scratch;
    const std::string before(100, 'x');
    const std::wstring locked = scratch.make_file(L"locked.txt", before);
    HANDLE holder = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_FALSE(entry(locked).write("new", 3));
    CloseHandle(holder);
    EXPECT_EQ(before, read_whole_file(locked));
}

TEST(FileEntryBasics, SizeOfEmptyAndMissingFiles) {
    ScratchFolder scratch;
    DWORD size = 1234;
    EXPECT_TRUE(entry(scratch.make_file(L"empty", "")).size(&size));
    EXPECT_EQ(0u, size);
    EXPECT_TRUE(entry(scratch.make_file(L"five", "12345")).size(&size));
    EXPECT_EQ(5u, size);
    size = 1234;
    EXPECT_FALSE(entry(scratch.path() + L"missing").size(&size));
    EXPECT_EQ(1234u, size);
}

TEST(ListSubfolders, ListsFoldersOnlyWithoutBackslash) {
    ScratchFolder scratch;
    scratch.make_folder(L"root\\ALPHA");
    scratch.make_folder(L"root\\BETA");
    scratch.make_file(L"root\\file.txt", "x");
    FolderNames names;
    EXPECT_TRUE(entry(scratch.path() + L"root\\").list_subfolders(names));
    EXPECT_EQ((std::set<std::wstring>{L"ALPHA", L"BETA"}), listed(names));
    EXPECT_EQ(18u, empty_names(names));
}

TEST(ListSubfolders, RefusalsAndLimits) {
    ScratchFolder scratch;
    scratch.make_folder(L"root");
    FolderNames names;
    names[0][0] = L'x';
    EXPECT_FALSE(entry(scratch.path() + L"root").list_subfolders(names)) << "no backslash";
    EXPECT_EQ(20u, empty_names(names));
    EXPECT_FALSE(entry(scratch.path() + L"missing\\").list_subfolders(names));
    const std::wstring file = scratch.make_file(L"file", "x");
    EXPECT_FALSE(entry(file + L"\\").list_subfolders(names)) << "a file is no folder";

    scratch.make_file(L"files\\a.txt", "x");
    scratch.make_file(L"files\\b.txt", "x");
    EXPECT_TRUE(entry(scratch.path() + L"files\\").list_subfolders(names));
    EXPECT_EQ(20u, empty_names(names));

    for (int i = 0; i < 25; ++i) scratch.make_folder(L"many\\acc" + std::to_wstring(i));
    EXPECT_TRUE(entry(scratch.path() + L"many\\").list_subfolders(names));
    EXPECT_EQ(0u, empty_names(names));
    EXPECT_EQ(20u, listed(names).size());
}

TEST(ListSubfolders, PathOf258CharactersIsRefused) {
    ScratchFolder scratch;
    // Grow a chain of folders until the path reaches the wanted length.
    auto folder_of_length = [&](size_t wanted, const wchar_t* last) {
        std::wstring path = scratch.path() + last + L"\\";
        while (path.size() + 30 < wanted) path += std::wstring(29, L'd') + L"\\";
        path += std::wstring(wanted - path.size() - 1, L'e') + L"\\";
        std::wstring built;
        for (size_t i = 0; i < path.size(); ++i)
            if (path[i] == L'\\') CreateDirectoryW(path.substr(0, i + 1).c_str(), nullptr);
        return path;
    };
    const std::wstring ok_path = folder_of_length(257, L"a");
    ASSERT_EQ(257u, ok_path.size());
    ASSERT_TRUE(CreateDirectoryW((ok_path + L"s").c_str(), nullptr));
    FolderNames names;
    EXPECT_TRUE(entry(ok_path).list_subfolders(names));
    EXPECT_EQ((std::set<std::wstring>{L"s"}), listed(names));

    const std::wstring long_path = folder_of_length(258, L"b");
    ASSERT_EQ(258u, long_path.size());
    ASSERT_TRUE(path_exists(long_path));
    EXPECT_FALSE(entry(long_path).list_subfolders(names));
}

TEST(FolderOperations, RemoveWithAndWithoutKeepingTheFolder) {
    ScratchFolder scratch;
    scratch.make_file(L"kept\\a.txt", "x");
    scratch.make_file(L"kept\\deep\\b.txt", "x");
    EXPECT_TRUE(entry(scratch.path() + L"kept\\").remove(true));
    EXPECT_TRUE(path_exists(scratch.path() + L"kept"));
    EXPECT_FALSE(path_exists(scratch.path() + L"kept\\a.txt"));
    EXPECT_FALSE(path_exists(scratch.path() + L"kept\\deep"));
    EXPECT_TRUE(entry(scratch.path() + L"kept\\").remove(true)) << "already empty";

    scratch.make_file(L"gone\\a.txt", "x");
    EXPECT_TRUE(entry(scratch.path() + L"gone\\").remove(false));
    EXPECT_FALSE(path_exists(scratch.path() + L"gone"));
}

// Wine's shell refuses to move several plain files in one call.
TEST(FolderOperations, MoveContentsOfPlainFilesOnly) {
    ScratchFolder scratch;
    for (const wchar_t* name : {L"a.toc", L"b.lua", L"c.lua"}) scratch.make_file(L"src\\" + std::wstring(name), "x");
    scratch.make_folder(L"dst");
    FileEntry source = entry(scratch.path() + L"src\\");
    EXPECT_TRUE(move_contents_to(source, (scratch.path() + L"dst\\").c_str()));
    for (const wchar_t* name : {L"a.toc", L"b.lua", L"c.lua"}) {
        EXPECT_EQ("x", read_whole_file(scratch.path() + L"dst\\" + name)) << name;
        EXPECT_FALSE(path_exists(scratch.path() + L"src\\" + name)) << name;
    }
}

TEST(FolderOperations, MoveContentsReplacesTheDestination) {
    ScratchFolder scratch;
    scratch.make_file(L"src\\new.lua", "new");
    scratch.make_file(L"src\\art\\map.blp", "map");
    scratch.make_file(L"dst\\old.lua", "old");
    FileEntry source = entry(scratch.path() + L"src\\");
    EXPECT_TRUE(move_contents_to(source, (scratch.path() + L"dst\\").c_str()));
    EXPECT_FALSE(path_exists(scratch.path() + L"dst\\old.lua"));
    EXPECT_EQ("new", read_whole_file(scratch.path() + L"dst\\new.lua"));
    EXPECT_EQ("map", read_whole_file(scratch.path() + L"dst\\art\\map.blp"));
    EXPECT_TRUE(path_exists(scratch.path() + L"src"));
    EXPECT_FALSE(path_exists(scratch.path() + L"src\\new.lua"));
    EXPECT_FALSE(path_exists(scratch.path() + L"src\\art"));

    scratch.make_file(L"src\\again.lua", "again");
    EXPECT_TRUE(move_contents_to(source, (scratch.path() + L"fresh\\").c_str()));
    EXPECT_EQ("again", read_whole_file(scratch.path() + L"fresh\\again.lua"));

    FileEntry file_source = entry(scratch.make_file(L"plain.txt", "x"));
    EXPECT_FALSE(move_contents_to(file_source, (scratch.path() + L"other\\").c_str()));
}

// Held open without sharing, as another program may hold a file or folder.
UniqueKernelHandle hold_unshared(const std::wstring& path) {
    UniqueKernelHandle held(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    EXPECT_TRUE(held.valid()) << "cannot hold the test path open";
    return held;
}

// Only a folder whose search starts and finds nothing but "." and ".." is empty;
// one that cannot be listed is a failure, never "nothing to do".
TEST(FolderOperations, RemoveFailsWhenTheFolderCannotBeListed) {
    ScratchFolder scratch;
    const std::wstring missing = scratch.path() + L"missing\\";
    EXPECT_FALSE(entry(missing).remove(true));
    EXPECT_FALSE(entry(missing).remove(false));

    const std::wstring file = scratch.make_file(L"plain.txt", "keep");
    EXPECT_FALSE(entry(file + L"\\").remove(true)) << "a file is no folder";
    EXPECT_EQ("keep", read_whole_file(file));

    const std::wstring locked = scratch.make_folder(L"locked");
    scratch.make_file(L"locked\\inside.txt", "inside");
    {
        UniqueKernelHandle held = hold_unshared(locked);
        EXPECT_FALSE(entry(locked).remove(true));
        EXPECT_FALSE(entry(locked).remove(false));
    }
    EXPECT_EQ("inside", read_whole_file(locked + L"inside.txt"));
}

TEST(FolderOperations, RemoveFailsWhenAFileStays) {
    ScratchFolder scratch;
    const std::wstring folder = scratch.make_folder(L"busy");
    const std::wstring busy = scratch.make_file(L"busy\\held.txt", "held");
    UniqueKernelHandle held = hold_unshared(busy);
    EXPECT_FALSE(entry(folder).remove(true));
    EXPECT_FALSE(entry(folder).remove(false));
    EXPECT_TRUE(path_exists(busy));
}

TEST(FolderOperations, MoveFromASourceThatCannotBeListedLeavesTheDestination) {
    ScratchFolder scratch;
    const std::wstring destination = scratch.path() + L"dst\\";
    scratch.make_file(L"dst\\old.lua", "old");
    const std::wstring locked = scratch.make_folder(L"locked");
    scratch.make_file(L"locked\\new.lua", "new");
    UniqueKernelHandle held = hold_unshared(locked);
    const std::wstring sources[] = {scratch.path() + L"missing\\", locked,
                                    scratch.make_file(L"plain.txt", "x") + L"\\"};
    for (const std::wstring& path : sources) {
        SCOPED_TRACE(path);
        FileEntry source = entry(path);
        EXPECT_FALSE(move_contents_to(source, destination.c_str()));
        EXPECT_EQ("old", read_whole_file(destination + L"old.lua"));
        EXPECT_FALSE(path_exists(destination + L"new.lua"));
    }
}

// With a sub-folder among the entries, Wine's shell answers success for a
// move that leaves behind a file held open without sharing: the move is whole
// only when the source is then empty.
TEST(FolderOperations, MoveThatLeavesAFileBehindFails) {
    ScratchFolder scratch;
    scratch.make_file(L"src\\a.lua", "a");
    const std::wstring busy = scratch.make_file(L"src\\b.lua", "b");
    scratch.make_file(L"src\\c.lua", "c");
    scratch.make_file(L"src\\art\\map.blp", "map");
    FileEntry source = entry(scratch.path() + L"src\\");
    UniqueKernelHandle held = hold_unshared(busy);
    EXPECT_FALSE(move_contents_to(source, (scratch.path() + L"dst\\").c_str()));
    EXPECT_TRUE(path_exists(busy));
    EXPECT_FALSE(path_exists(scratch.path() + L"dst\\b.lua"));
}

// ---- accounts, data file, game process ----------------------------------

class GameFolder : public ::testing::Test {
protected:
    SettingsKey settings() { return open_settings(registry_); }
    ScratchKey registry_;
    ScratchFolder game_;
    FolderNames names_;
    wchar_t message_[MESSAGE_CAPACITY];
};

TEST_F(GameFolder, AccountsAreTheSubfoldersOfTheAccountFolder) {
    registry_.set_text(VALUE_GAME_PATH, game_.path());
    game_.make_folder(L"WTF\\Account\\ALPHA");
    game_.make_folder(L"WTF\\Account\\BETA");
    game_.make_file(L"WTF\\Account\\notes.txt", "x");
    SettingsKey key = settings();
    EXPECT_EQ(OUTCOME_OK, list_game_accounts(names_, message_, key));
    EXPECT_STREQ(L"", message_);
    EXPECT_EQ((std::set<std::wstring>{L"ALPHA", L"BETA"}), listed(names_));
    EXPECT_EQ(18u, empty_names(names_));
}

TEST_F(GameFolder, AtMostTwentyAccounts) {
    registry_.set_text(VALUE_GAME_PATH, game_.path());
    for (int i = 0; i < 25; ++i) game_.make_folder(L"WTF\\Account\\ACC" + std::to_wstring(i));
    SettingsKey key = settings();
    EXPECT_EQ(OUTCOME_OK, list_game_accounts(names_, message_, key));
    EXPECT_EQ(20u, listed(names_).size());
}

TEST_F(GameFolder, MissingOrEmptyAccountFolder) {
    registry_.set_text(VALUE_GAME_PATH, game_.path());
    SettingsKey key = settings();
    EXPECT_EQ(OUTCOME_INFO, list_game_accounts(names_, message_, key));
    EXPECT_STREQ(L"Impossible de récupérer les informations de compte.\n"
                 L"World of Warcraft semble n'avoir jamais été lancé.",
                 message_);

    game_.make_file(L"WTF\\Account\\only-a-file.txt", "x");
    EXPECT_EQ(OUTCOME_INFO, list_game_accounts(names_, message_, key));
    EXPECT_STREQ(L"", message_);
    EXPECT_EQ(20u, empty_names(names_));
}

TEST_F(GameFolder, GameFolderMissingOrTooLong) {
    SettingsKey key = settings();
    const wchar_t* refused = L"Impossible de récupérer les informations de compte.\n"
                             L"Le dossier de World of Warcraft n'a pas pu être récupéré.";
    EXPECT_EQ(OUTCOME_ERROR, list_game_accounts(names_, message_, key));
    EXPECT_STREQ(refused, message_);
    registry_.set_text(VALUE_GAME_PATH, L"C:\\" + repeat(L'g', 156) + L"\\");  // 160
    EXPECT_EQ(OUTCOME_ERROR, list_game_accounts(names_, message_, key));
    EXPECT_STREQ(refused, message_);
    registry_.set_text(VALUE_GAME_PATH, L"C:\\" + repeat(L'g', 155) + L"\\");  // 159
    EXPECT_EQ(OUTCOME_INFO, list_game_accounts(names_, message_, key));
}

TEST(DataFileSize, LimitsAreOneByteToOneAndAHalfMebibytes) {
    ScratchFolder scratch;
    struct Case {
        size_t bytes;
        Outcome outcome;
        const wchar_t* message;
    } cases[] = {
        {0, OUTCOME_ERROR, L"Le fichier à envoyer est vide.\nAucune donnée n'est à envoyer."},
        {1, OUTCOME_OK, L"untouched"},
        {DATA_FILE_MAX_BYTES, OUTCOME_OK, L"untouched"},
        {DATA_FILE_MAX_BYTES + 1, OUTCOME_ERROR,
         L"Le fichier à envoyer est trop volumineux.\n"
         L"Veuillez purger vos données dans le jeu pour un envoi ultérieur."},
    };
    for (const Case& c : cases) {
        const std::wstring path = scratch.make_file(L"data.lua", std::string(c.bytes, 'd'));
        FileEntry file = entry(path);
        wchar_t message[MESSAGE_CAPACITY] = L"untouched";
        EXPECT_EQ(c.outcome, check_data_file_size(file, message)) << c.bytes;
        EXPECT_STREQ(c.message, message) << c.bytes;
    }
    FileEntry missing = entry(scratch.path() + L"missing.lua");
    wchar_t message[MESSAGE_CAPACITY];
    EXPECT_EQ(OUTCOME_ERROR, check_data_file_size(missing, message));
    EXPECT_STREQ(L"Impossible d'obtenir des informations sur le fichier\nà envoyer. "
                 L"Opération annulée.",
                 message);
}

TEST(DataFilePath, BuiltByConcatenationAndRefusedWhenTooLong) {
    wchar_t path[PATH_CAPACITY];
    EXPECT_TRUE(build_data_file_path(path, L"C:\\WoW\\", L"ALPHA"));
    EXPECT_STREQ(L"C:\\WoW\\WTF\\Account\\ALPHA\\SavedVariables\\Quillfern.lua", path);
    // 259 characters in all is the longest path: folder + account = 259 - 41.
    const std::wstring folder = L"C:\\" + repeat(L'f', 200) + L"\\";
    EXPECT_TRUE(build_data_file_path(path, folder.c_str(), repeat(L'a', 259 - 41 - 204).c_str()));
    EXPECT_EQ(259u, wcslen(path));
    EXPECT_FALSE(build_data_file_path(path, folder.c_str(), repeat(L'a', 260 - 41 - 204).c_str()));
    EXPECT_STREQ(L"", path);
}

class GameProcess : public ::testing::Test {
protected:
    // Starts the stand-in game under the given file name; killed at the end.
    void start_as(const wchar_t* name) {
        const std::wstring exe = folder_.path() + name;
        ASSERT_TRUE(CopyFileW(wine_path(FAKE_GAME_PATH).c_str(), exe.c_str(), FALSE));
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        std::wstring command = L"\"" + exe + L"\"";
        ASSERT_TRUE(CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &info));
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        Sleep(300);
    }
    void TearDown() override {
        if (process_) {
            TerminateProcess(process_, 0);
            WaitForSingleObject(process_, 5000);
            CloseHandle(process_);
        }
    }
    ScratchFolder folder_;
    HANDLE process_ = nullptr;
    wchar_t message_[MESSAGE_CAPACITY];
};

TEST_F(GameProcess, NoGameRunning) {
    EXPECT_EQ(OUTCOME_OK, check_game_not_running(message_));
    EXPECT_STREQ(L"", message_);
}

// Windows file names ignore letter case: the game started as "Wow.exe" runs all the same.
TEST_F(GameProcess, RunningGameIsFoundWhateverTheLetterCase) {
    for (const wchar_t* name : {L"WoW.exe", L"Wow.exe", L"wow.EXE"}) {
        SCOPED_TRACE(name);
        start_as(name);
        EXPECT_EQ(OUTCOME_INFO, check_game_not_running(message_));
        EXPECT_STREQ(L"Veuillez quitter World of Warcraft avant d'uploader vos données.", message_);
        TearDown();
        process_ = nullptr;
    }
}

TEST_F(GameProcess, OtherNamesDoNotCount) {
    start_as(L"Launcher.exe");
    EXPECT_EQ(OUTCOME_OK, check_game_not_running(message_));
}

}  // namespace
