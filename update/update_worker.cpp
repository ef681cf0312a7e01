#include "update/update_worker.h"

#include "base/file_entry.h"
#include "base/text_util.h"
#include "game/game_files.h"
#include "game/purge_flag.h"
#include "net/http_client.h"
#include "net/site_constants.h"
#include "progress/dialog_context.h"
#include "progress/worker_report.h"
#include "settings/settings_store.h"
#include "update/installed_version.h"
#include "update/release_list.h"
#include "update/staging.h"

#include <cstring>
#include <cwchar>
#include <memory>

namespace {

// One buffer serves the release list and every file; a reply must fit in it.
constexpr DWORD UPDATE_BUFFER_BYTES = 1048576;

constexpr wchar_t STEP_INSTALLED[] = L"Vérification de la version installée...";
constexpr wchar_t STEP_NETWORK[] = L"Initialisation réseau...";
constexpr wchar_t STEP_LATEST[] = L"Vérification de la dernière version...";
constexpr wchar_t STEP_FOLDERS[] = L"Vérification des dossiers...";
constexpr wchar_t DOWNLOAD_TEXT_1[] = L"Téléchargement du fichier ";
constexpr wchar_t DOWNLOAD_TEXT_2[] = L" sur ";
constexpr wchar_t DOWNLOAD_TEXT_3[] =
    L".\nL'opération peut prendre quelques minutes selon la vitesse de votre connexion.";
constexpr wchar_t STEP_INSTALL[] = L"Installation des fichiers...";
constexpr wchar_t STEP_DATA_FILES[] = L"Vérification des fichiers de données...";
constexpr wchar_t STEP_DISCONNECT[] = L"Déconnexion...";
constexpr wchar_t DONE_UPDATED[] = L"Mise à jour de l'addon terminée.";
constexpr wchar_t DONE_UP_TO_DATE[] =
    L"Vous disposez déjà de la dernière version.\nAucune mise à jour n'est nécessaire.";

constexpr wchar_t MSG_NO_TEMP_FOLDER[] =
    L"Une erreur est survenue pendant la détection\ndu dossier temporaire. Opération arrêtée.";
constexpr wchar_t MSG_FIXUP_NO_GAME_FOLDER[] =
    L"Erreur: chemin de World of Warcraft manquant. L'addon a été mis à jour, mais vous devez "
    L"lancer le jeu avant d'envoyer vos données.";
constexpr wchar_t MSG_FIXUP_NO_ACCOUNTS[] =
    L"Erreur: impossible de récupérer la liste des comptes. L'addon a été mis à jour, mais vous "
    L"devez lancer le jeu avant d'envoyer vos données.";
constexpr wchar_t MSG_FIXUP_NOT_MARKED[] =
    L"Erreur: impossible de mettre un fichier de données à jour. L'addon a été mis à jour, mais "
    L"vous devez lancer le jeu avant d'envoyer vos données.";
// Texts of this program's own, where the site or the machine gives what no
// run can use.
constexpr wchar_t MSG_NO_VERSION[] =
    L"Vérification de la dernière version impossible.\n"
    L"La liste des fichiers du site n'indique aucune version.";
constexpr wchar_t MSG_LIST_MALFORMED[] =
    L"Mise à jour impossible.\nLa liste des fichiers du site est incorrecte.";
constexpr wchar_t MSG_LIST_UNSAFE_NAME[] =
    L"Mise à jour impossible.\nLa liste des fichiers du site contient un nom de fichier refusé.";
constexpr wchar_t MSG_NAME_TOO_LONG[] =
    L"Mise à jour impossible.\nUn nom de fichier de la liste est trop long.";
constexpr wchar_t MSG_FIXUP_PATH_TOO_LONG[] =
    L"Erreur: chemin d'un fichier de données trop long. L'addon a été mis à jour, mais vous "
    L"devez lancer le jeu avant d'envoyer vos données.";
constexpr wchar_t MSG_NO_MEMORY[] = L"Mémoire insuffisante.\nMise à jour de l'addon stoppée.";

constexpr wchar_t STAGING_FOLDER_NAME[] = L"Quillfern\\";
// GetTempPathW gets room for the folder and "Quillfern\" within 258 characters.
constexpr DWORD TEMP_PATH_ROOM = 258 - (sizeof(STAGING_FOLDER_NAME) / sizeof(wchar_t) - 1);
constexpr std::size_t NUMBER_CAPACITY = 10;

void decimal_text(wchar_t* text, std::size_t capacity, unsigned value) {
    text[0] = 0;
    append_decimal(text, capacity, value);
}

// One run's state. Everything it owns is released when it goes out of scope,
// after the run's end message, the connection last.
class UpdateRun {
public:
    UpdateRun(const DialogContext& context, HWND dialog)
        : settings_(*context.settings), counter_(context.owner != nullptr), report_(dialog) {}

    void run();

private:
    bool read_installed();
    bool fetch_release_list();
    bool check_list_for_update();
    bool prepare_folders();
    bool download_all();
    bool download(std::int32_t index);
    bool install();
    bool mark_saved_data();
    void close();

    bool fail(const wchar_t* text) { report_.fail(text); return false; }
    // After a transfer this worker empties the byte counter before the text.
    bool fail_transfer(const wchar_t* text) {
        report_.fail(text, CounterOnFailure::CLEAR_BEFORE_TEXT);
        return false;
    }
    const char* release_version() const { return lines_.header.get(); }

    // Declared first, so it is closed last, after everything else is released.
    HttpClient client_;
    const SettingsKey& settings_;
    const bool counter_;
    WorkerReport report_;
    wchar_t message_[MESSAGE_CAPACITY] = L"";
    char installed_version_[INSTALLED_VERSION_CAPACITY] = "";
    char installed_edition_[INSTALLED_VERSION_CAPACITY] = "";
    wchar_t installed_edition_text_[PATH_CAPACITY] = L"";
    wchar_t configured_edition_[PATH_CAPACITY] = L"";
    std::unique_ptr<unsigned char[]> buffer_;
    ReplyBuffer reply_;
    ReplyLines lines_;
    bool parsed_ = false;
    wchar_t staging_folder_[PATH_CAPACITY] = L"";
    wchar_t addon_folder_[PATH_CAPACITY] = L"";
    const wchar_t* url_prefix_ = nullptr;
    wchar_t count_text_[NUMBER_CAPACITY] = L"";
    int remembered_position_ = 0;
    bool updated_ = false;
};

bool UpdateRun::read_installed() {
    report_.step(STEP_INSTALLED);
    // Nothing installed (OUTCOME_INFO) reads as an empty version, edition "Light".
    if (read_installed_version(installed_edition_, settings_, installed_version_, message_) ==
        OUTCOME_ERROR)
        return fail(message_);
    latin1_to_text(installed_edition_text_, PATH_CAPACITY, installed_edition_);
    get_addon_edition(settings_, configured_edition_);
    return true;
}

bool UpdateRun::fetch_release_list() {
    report_.step(STEP_NETWORK);
    if (http_open(message_, client_) != OUTCOME_OK) return fail(message_);
    buffer_ = make_buffer<unsigned char>(UPDATE_BUFFER_BYTES);
    if (!buffer_) return fail(MSG_NO_MEMORY);
    report_.step(STEP_LATEST);
    if (http_send(L"GET", message_, client_, SITE_RELEASE_LIST_PATH, nullptr) != OUTCOME_OK)
        return fail(message_);
    message_[0] = 0;
    if (!client_.request) return fail(MSG_NO_PRIOR_REQUEST);
    DWORD received = 0;
    if (http_read_reply(message_, &received, client_, buffer_.get(), UPDATE_BUFFER_BYTES) != OUTCOME_OK)
        return fail(message_);
    set_reply(REPLY_TEXT, reply_, static_cast<std::int32_t>(received), buffer_.get());
    if (reply_.mode != REPLY_TEXT) return fail(MSG_NO_MEMORY);
    parsed_ = parse_reply_lines(lines_, reply_) == OUTCOME_OK;
    return true;
}

// Everything is checked before the first byte is fetched or the old staging
// folder is touched: a list is refused whole.
bool UpdateRun::check_list_for_update() {
    switch (check_release_list(lines_, parsed_)) {
    case ReleaseListCheck::USABLE:
        break;
    case ReleaseListCheck::MALFORMED:
        return fail(MSG_LIST_MALFORMED);
    case ReleaseListCheck::UNSAFE_NAME:
        return fail(MSG_LIST_UNSAFE_NAME);
    case ReleaseListCheck::NAME_TOO_LONG:
        return fail(MSG_NAME_TOO_LONG);
    }
    // A cut address would fetch another file and stage it under this name.
    const std::size_t prefix = text_length(
        std::wcscmp(configured_edition_, EDITION_LIGHT) == 0 ? SITE_LIGHT_EDITION_FOLDER
                                                             : SITE_FULL_EDITION_FOLDER);
    for (std::int32_t i = 0; i < lines_.count; ++i)
        if (prefix + text_length(lines_.items[i].get()) >= PATH_CAPACITY) return fail(MSG_NAME_TOO_LONG);
    return true;
}

bool UpdateRun::prepare_folders() {
    const DWORD length = GetTempPathW(TEMP_PATH_ROOM, staging_folder_);
    if (length == 0 || length >= TEMP_PATH_ROOM) return fail(MSG_NO_TEMP_FOLDER);
    if (staging_folder_[length - 1] != L'\\') append_text(staging_folder_, PATH_CAPACITY, L"\\");
    append_text(staging_folder_, PATH_CAPACITY, STAGING_FOLDER_NAME);  // at most 258 in all
    const std::size_t staging = text_length(staging_folder_);
    for (std::int32_t i = 0; i < lines_.count; ++i)
        if (staging + text_length(lines_.items[i].get()) >= PATH_CAPACITY) return fail(MSG_NAME_TOO_LONG);

    if (prepare_staging(addon_folder_, staging_folder_, settings_, message_) != OUTCOME_OK)
        return fail(message_);
    decimal_text(count_text_, NUMBER_CAPACITY, static_cast<unsigned>(lines_.count));
    wchar_t edition[PATH_CAPACITY];
    get_addon_edition(settings_, edition);
    url_prefix_ = std::wcscmp(edition, EDITION_LIGHT) == 0 ? SITE_LIGHT_EDITION_FOLDER
                                                          : SITE_FULL_EDITION_FOLDER;
    report_.set_range(lines_.count + 1, 0);
    return true;
}

bool UpdateRun::download(std::int32_t index) {
    wchar_t line[PATH_CAPACITY];
    wchar_t number[NUMBER_CAPACITY];
    decimal_text(number, NUMBER_CAPACITY, static_cast<unsigned>(index + 1));
    copy_text(line, PATH_CAPACITY, DOWNLOAD_TEXT_1);
    append_text(line, PATH_CAPACITY, number);
    append_text(line, PATH_CAPACITY, DOWNLOAD_TEXT_2);
    append_text(line, PATH_CAPACITY, count_text_);
    append_text(line, PATH_CAPACITY, DOWNLOAD_TEXT_3);
    report_.text(line);

    wchar_t name[PATH_CAPACITY];
    latin1_to_text(name, PATH_CAPACITY, lines_.items[index].get());
    wchar_t url_path[PATH_CAPACITY];
    copy_text(url_path, PATH_CAPACITY, url_prefix_);
    if (!append_whole(url_path, PATH_CAPACITY, name)) return fail_transfer(MSG_NAME_TOO_LONG);
    if (http_send(L"GET", message_, client_, url_path, nullptr) != OUTCOME_OK)
        return fail_transfer(message_);
    message_[0] = 0;
    if (!client_.request) return fail_transfer(MSG_NO_PRIOR_REQUEST);
    DWORD received = 0;
    ByteCounter counter(report_.dialog());
    if (http_read_reply(message_, &received, client_, buffer_.get(), UPDATE_BUFFER_BYTES,
                        counter_ ? ByteCounter::show : nullptr, &counter) != OUTCOME_OK)
        return fail_transfer(message_);
    set_reply(REPLY_BINARY, reply_, static_cast<std::int32_t>(received), buffer_.get());
    if (reply_.mode != REPLY_BINARY) return fail_transfer(MSG_NO_MEMORY);

    wchar_t staged_path[PATH_CAPACITY];
    copy_text(staged_path, PATH_CAPACITY, staging_folder_);
    if (!append_whole(staged_path, PATH_CAPACITY, name)) return fail_transfer(MSG_NAME_TOO_LONG);
    if (stage_file(reply_.data.get(), message_, staged_path, static_cast<DWORD>(reply_.length)) !=
        OUTCOME_OK)
        return fail_transfer(message_);
    report_.step_bar();
    return true;
}

bool UpdateRun::download_all() {
    for (std::int32_t i = 0; i < lines_.count; ++i)
        if (!download(i)) return false;
    return true;
}

bool UpdateRun::install() {
    report_.text(STEP_INSTALL);
    report_.clear_counter();
    report_.step_bar();
    // OUTCOME_INFO: installed, only the staging folder is left behind.
    if (install_staged(staging_folder_, addon_folder_, message_) == OUTCOME_ERROR) return fail(message_);
    report_.set_range(UPDATE_STEPS, remembered_position_);
    report_.step(STEP_DATA_FILES);
    return true;
}

// The addon clears an account's data at the game's next start once its flag
// reads "true!": data gathered by the old version must not be sent.
bool UpdateRun::mark_saved_data() {
    wchar_t game_folder[PATH_CAPACITY];
    if (get_game_path(settings_, game_folder, PATH_CAPACITY) != OUTCOME_OK || game_folder[0] == 0)
        return fail(MSG_FIXUP_NO_GAME_FOLDER);
    FolderNames accounts;
    const Outcome listed = list_game_accounts(accounts, message_, settings_);
    if (listed == OUTCOME_ERROR) return fail(MSG_FIXUP_NO_ACCOUNTS);
    if (listed != OUTCOME_OK) return true;  // no account yet: nothing to mark
    for (const auto& account : accounts) {
        if (account[0] == 0) break;
        wchar_t path[PATH_CAPACITY];
        if (!build_data_file_path(path, game_folder, account)) return fail(MSG_FIXUP_PATH_TOO_LONG);
        FileEntry data_file(PATH_CAPACITY, path);
        if (!data_file.exists()) continue;
        bool purge = true;
        if (edit_purge_flag(data_file, purge, PURGE_WRITE) != OUTCOME_OK)
            return fail(MSG_FIXUP_NOT_MARKED);
    }
    return true;
}

void UpdateRun::close() {
    report_.step(STEP_DISCONNECT);
    http_close(client_);
    report_.step_bar();
    report_.text(updated_ ? DONE_UPDATED : DONE_UP_TO_DATE);
    report_.end(updated_ ? 0 : 1);
}

void UpdateRun::run() {
    if (!read_installed() || !fetch_release_list()) return;
    report_.text(STEP_FOLDERS);
    remembered_position_ = report_.step_bar() + 1;

    // An empty version would equal "nothing installed" and pass for up to date.
    if (!release_version() || release_version()[0] == 0) {
        fail(MSG_NO_VERSION);
        return;
    }
    updated_ = std::strcmp(installed_version_, release_version()) != 0 ||
               std::wcscmp(installed_edition_text_, configured_edition_) != 0;
    if (updated_) {
        if (!check_list_for_update() || !prepare_folders() || !download_all() || !install()) return;
        // An edition change alone keeps the saved data.
        if (std::strcmp(installed_version_, release_version()) != 0 && !mark_saved_data()) return;
    }
    close();
}

}  // namespace

DWORD WINAPI update_worker(void* param) {
    std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(param));
    if (!start) return 0;
    // The context is read only here, before the run's end message.
    std::unique_ptr<UpdateRun> run(new (std::nothrow) UpdateRun(*start->context, start->dialog));
    if (!run) {
        WorkerReport report(start->dialog);
        report.fail(MSG_NO_MEMORY);
        return 0;
    }
    run->run();
    return 0;
}
