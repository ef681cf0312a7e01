#include "upload/upload_worker.h"

#include "net/http_client.h"
#include "net/multipart_form.h"
#include "net/site_constants.h"
#include "game/game_constants.h"
#include "game/game_files.h"
#include "settings/settings_store.h"
#include "base/text_util.h"
#include "progress/dialog_context.h"
#include "progress/worker_report.h"
#include "game/purge_flag.h"

#include <cstring>
#include <memory>

namespace {

// Transfer buffer: the replies and the data file pass through it.
constexpr DWORD UPLOAD_BUFFER_BYTES = DATA_FILE_MAX_BYTES;

constexpr wchar_t STEP_ACCOUNT[] = L"Vérification des informations de compte...";
constexpr wchar_t STEP_FILE[] = L"Vérification de la version installée...";
constexpr wchar_t STEP_FLAG[] = L"Vérification du fichier des données en cours...";
constexpr wchar_t STEP_NETWORK[] = L"Initialisation réseau...";
constexpr wchar_t STEP_AUTHENTICATION[] = L"Authentification...";
constexpr wchar_t STEP_SEND[] =
    L"Envoi du fichier...\nL'opération peut prendre quelques minutes selon la taille du fichier à "
    L"envoyer.";
constexpr wchar_t STEP_DISCONNECT[] = L"Déconnexion...";
constexpr wchar_t STEP_MARK[] = L"Modification du fichier des données en cours...";
constexpr wchar_t STEP_DONE[] =
    L"Votre envoi a été réalisé avec succès.\n"
    L"Vos données seront remises à zéro au prochain lancement du jeu.";

constexpr wchar_t MSG_NO_ACCOUNT_INFO[] =
    L"Veuillez entrer les informations de votre compte dans\nles options avant d'envoyer les "
    L"données.";
constexpr wchar_t MSG_NO_GAME_FOLDER[] =
    L"Veuillez entrer la localisation de World of Warcraft\ndans les options avant d'envoyer les "
    L"données.";
constexpr wchar_t MSG_NO_GAME_ACCOUNT[] =
    L"Veuillez sélectionner un compte valide\ndans la liste avant d'envoyer les données.";
constexpr wchar_t MSG_PATH_TOO_LONG[] =
    L"Le chemin d'accès à World of Warcraft est trop long.\nEnvoi des données stoppé.";
constexpr wchar_t MSG_NO_DATA[] =
    L"Aucune donnée n'est à envoyer. Il faut jouer au moins\nune fois avant d'essayer d'envoyer "
    L"des données! ;-)";
constexpr wchar_t MSG_ALREADY_SENT[] =
    L"Ce fichier a déjà été envoyé. Veuillez purger vos données avant de réessayer l'envoi.";
constexpr wchar_t MSG_REFUSED[] = L"Envoi des données échoué.\n";
constexpr wchar_t MSG_FILE_UNREADABLE[] =
    L"Lecture du fichier à envoyer impossible.\nEnvoi des données stoppé.";
constexpr wchar_t MSG_NOT_MARKED[] =
    L"Ecriture du fichier impossible.\nLes données ont néanmoins été envoyées, il est donc "
    L"inutile de les réenvoyer.";
constexpr wchar_t MSG_NO_MEMORY[] = L"Mémoire insuffisante.\nEnvoi des données stoppé.";
constexpr wchar_t CUT_MARK[] = L"...";

// One run's state. Everything it owns is released when it goes out of scope,
// after the run's WM_APP, the connection last.
class UploadRun {
public:
    UploadRun(const DialogContext& context, HWND dialog)
        : settings_(*context.settings), counter_(context.owner != nullptr), report_(dialog) {}

    void run();

private:
    bool check_settings();
    bool check_data_file();
    bool authenticate();
    bool send_file();
    bool post_and_expect_ok(const wchar_t* path, bool counter, bool clears_counter);
    // The upload clears the counter after the failure text.
    bool fail(const wchar_t* text, bool clear_counter = false) {
        report_.fail(text, clear_counter ? CounterOnFailure::CLEAR_AFTER_TEXT : CounterOnFailure::KEEP);
        return false;
    }

    // Declared first, so it is closed last, after everything else is released.
    HttpClient client_;
    const SettingsKey& settings_;
    const bool counter_;
    WorkerReport report_;
    wchar_t message_[MESSAGE_CAPACITY] = L"";
    wchar_t username_[PATH_CAPACITY] = L"";
    wchar_t password_[PATH_CAPACITY] = L"";
    wchar_t game_folder_[PATH_CAPACITY] = L"";
    wchar_t account_[PATH_CAPACITY] = L"";
    wchar_t data_path_[PATH_CAPACITY] = L"";
    std::unique_ptr<FileEntry> data_file_;
    MultipartForm form_;
    std::unique_ptr<unsigned char[]> buffer_;
    ReplyBuffer reply_;
};

bool filled(Outcome outcome, const wchar_t* text) { return outcome == OUTCOME_OK && text[0] != 0; }

bool UploadRun::check_settings() {
    report_.step(STEP_ACCOUNT);
    if (!filled(get_username(settings_, username_), username_) ||
        !filled(get_password(settings_, password_), password_))
        return fail(MSG_NO_ACCOUNT_INFO);
    if (!filled(get_game_path(settings_, game_folder_, PATH_CAPACITY), game_folder_))
        return fail(MSG_NO_GAME_FOLDER);
    if (!filled(get_account(settings_, account_), account_))
        return fail(MSG_NO_GAME_ACCOUNT);
    return true;
}

bool UploadRun::check_data_file() {
    report_.step(STEP_FILE);
    if (!build_data_file_path(data_path_, game_folder_, account_))
        return fail(MSG_PATH_TOO_LONG);
    data_file_.reset(new (std::nothrow) FileEntry(PATH_CAPACITY, data_path_));
    if (!data_file_ || !data_file_->exists())
        return fail(MSG_NO_DATA);
    if (check_data_file_size(*data_file_, message_) != OUTCOME_OK)
        return fail(message_);
    // A file at the very limit could be sent but never marked as sent (the
    // flag editor needs one byte more), so the player would send it again
    // and again: ask for a purge instead, as for a larger file.
    DWORD size = 0;
    if (data_file_->size(&size) && size >= DATA_FILE_MAX_BYTES)
        return fail(MSG_DATA_FILE_TOO_LARGE);

    report_.step(STEP_FLAG);
    bool sent = true;
    if (edit_purge_flag(*data_file_, sent, PURGE_READ) != OUTCOME_OK || sent)
        return fail(MSG_ALREADY_SENT);
    return true;
}

// Sends the form and reads the reply, which must be exactly "OK".
bool UploadRun::post_and_expect_ok(const wchar_t* path, bool counter, bool clears_counter) {
    ByteCounter bytes(report_.dialog());
    if (http_send(L"POST", message_, client_, path, &form_, counter ? ByteCounter::show : nullptr,
                  &bytes) != OUTCOME_OK)
        return fail(message_, clears_counter);
    message_[0] = 0;
    if (!client_.request)
        return fail(MSG_NO_PRIOR_REQUEST, clears_counter);
    DWORD received = 0;
    if (http_read_reply(message_, &received, client_, buffer_.get(), UPLOAD_BUFFER_BYTES) !=
        OUTCOME_OK)
        return fail(message_, clears_counter);
    set_reply(REPLY_TEXT, reply_, static_cast<std::int32_t>(received), buffer_.get());
    const char* text = reinterpret_cast<const char*>(reply_.data.get());
    if (text && std::strcmp(text, SITE_REPLY_ACCEPTED) == 0) return true;

    // The site explains its refusal; what does not fit is cut, visibly.
    copy_text(message_, MESSAGE_CAPACITY, MSG_REFUSED);
    const std::size_t used = text_length(message_);
    latin1_to_text(message_ + used, MESSAGE_CAPACITY - used, text);
    if (text && text_length(text) > MESSAGE_CAPACITY - 1 - used)
        copy_text(message_ + MESSAGE_CAPACITY - 1 - text_length(CUT_MARK), text_length(CUT_MARK) + 1,
                  CUT_MARK);
    return fail(message_, clears_counter);
}

bool UploadRun::authenticate() {
    report_.step(STEP_NETWORK);
    if (http_open(message_, client_) != OUTCOME_OK)
        return fail(message_);
    report_.step(STEP_AUTHENTICATION);
    buffer_ = make_buffer<unsigned char>(UPLOAD_BUFFER_BYTES);
    if (!buffer_ || !form_.body())
        return fail(MSG_NO_MEMORY);
    // A field that is not ISO-8859-1 is left out; the site's reply decides.
    add_text_field(form_, FIELD_LOGIN, username_, static_cast<std::int32_t>(text_length(username_)));
    add_text_field(form_, FIELD_PASSWORD, password_,
                   static_cast<std::int32_t>(text_length(password_)));
    add_field(form_, FIELD_VERSION, SITE_BUILD_NUMBER, sizeof(SITE_BUILD_NUMBER) - 1, nullptr);
    return post_and_expect_ok(SITE_AUTHENTICATION_PATH, false, false);
}

bool UploadRun::send_file() {
    report_.step(STEP_SEND);
    DWORD count = 0;
    if (!data_file_->read(buffer_.get(), UPLOAD_BUFFER_BYTES, &count) || count == 0)
        return fail(MSG_FILE_UNREADABLE);
    // A full buffer may be the start of a file that grew since it was checked:
    // its cut beginning must not reach the site as if it were the whole.
    if (count == UPLOAD_BUFFER_BYTES && check_data_file_size(*data_file_, message_) != OUTCOME_OK)
        return fail(message_);
    if (!add_field(form_, FIELD_FILE, buffer_.get(), static_cast<std::int32_t>(count),
                   UPLOAD_FILE_NAME))
        return fail(MSG_NO_MEMORY);
    return post_and_expect_ok(SITE_SEND_PATH, counter_, true);
}

void UploadRun::run() {
    if (!check_settings() || !check_data_file() || !authenticate() || !send_file()) return;

    report_.text(STEP_DISCONNECT);
    report_.clear_counter();
    report_.step_bar();
    http_close(client_);

    report_.step(STEP_MARK);
    bool sent = true;
    if (edit_purge_flag(*data_file_, sent, PURGE_WRITE) != OUTCOME_OK) {
        fail(MSG_NOT_MARKED);
        return;
    }
    report_.step(STEP_DONE);
    report_.end(0);
}

}  // namespace

DWORD WINAPI upload_worker(void* param) {
    std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(param));
    if (!start) return 0;
    // The context is read only here, before the run's WM_APP.
    UploadRun run(*start->context, start->dialog);
    run.run();
    return 0;
}
