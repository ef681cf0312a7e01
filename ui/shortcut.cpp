#include "ui/shortcut.h"

#include "base/text_util.h"
#include "ui/com_ptr.h"

#include <objidl.h>
#include <shobjidl.h>

namespace {

constexpr wchar_t MSG_CANNOT_CREATE[] = L"Impossible de créer le raccourci.\n";
constexpr wchar_t MSG_NO_DESTINATION[] = L"Le dossier de destination n'a pas pu être trouvé.";
constexpr wchar_t MSG_PATH_TOO_LONG[] = L"Le chemin de destination est trop long.";
constexpr wchar_t MSG_NO_PROGRAM_PATH[] = L"Le chemin du programme n'a pas pu être lu.";
constexpr wchar_t MSG_CREATION_FAILED[] = L"Création du raccourci échouée.\n";
constexpr wchar_t MSG_NO_INSTANCE[] = L"Impossible de créer une instance d'objet.";
constexpr wchar_t MSG_NO_INTERFACE[] = L"Impossible d'obtenir une interface.";
constexpr wchar_t MSG_NOT_SAVED[] = L"Impossible de sauvegarder le fichier.";
constexpr wchar_t MSG_CREATED[] = L"Raccourci créé avec succès.";

using UniqueItemList = UniqueCoTaskMem<ITEMIDLIST>;

}  // namespace

Outcome read_program_path(wchar_t* path, std::size_t capacity, wchar_t* message) {
    message[0] = 0;
    const DWORD length = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(capacity));
    // A length equal to the capacity is a path cut to fit, whatever the system says.
    if (length == 0 || length >= capacity) {
        if (capacity > 0) path[0] = 0;
        return report(message, OUTCOME_ERROR, MSG_CANNOT_CREATE, MSG_NO_PROGRAM_PATH);
    }
    return OUTCOME_OK;
}

Outcome create_shortcut_in_folder(const wchar_t* folder, const wchar_t* target, wchar_t* message) {
    message[0] = 0;
    wchar_t path[PATH_CAPACITY];
    // The whole name and its terminator must fit: length + 15 of 260 or more does not.
    if (text_length(folder) + text_length(SHORTCUT_FILE_NAME) >= PATH_CAPACITY ||
        !copy_text(path, PATH_CAPACITY, folder) ||
        !append_whole(path, PATH_CAPACITY, SHORTCUT_FILE_NAME))
        return report(message, OUTCOME_ERROR, MSG_CANNOT_CREATE, MSG_PATH_TOO_LONG);

    UniqueCom<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                put_void(link))) ||
        !link)
        return report(message, OUTCOME_ERROR, MSG_CREATION_FAILED, MSG_NO_INSTANCE);
    // A target that cannot be resolved still gives a usable link (S_FALSE).
    link.get()->SetPath(target);
    link.get()->SetDescription(SHORTCUT_DESCRIPTION);

    UniqueCom<IPersistFile> file;
    if (FAILED(link.get()->QueryInterface(IID_IPersistFile, put_void(file))) || !file)
        return report(message, OUTCOME_ERROR, MSG_CREATION_FAILED, MSG_NO_INTERFACE);
    if (FAILED(file.get()->Save(path, FALSE)))
        return report(message, OUTCOME_ERROR, MSG_CREATION_FAILED, MSG_NOT_SAVED);
    return report(message, OUTCOME_INFO, MSG_CREATED);
}

Outcome create_shortcut(PIDLIST_ABSOLUTE item_list, const wchar_t* target, wchar_t* message) {
    message[0] = 0;
    UniqueItemList list(item_list);
    wchar_t folder[PATH_CAPACITY];
    if (!list || !SHGetPathFromIDListW(list.get(), folder))
        return report(message, OUTCOME_ERROR, MSG_CANNOT_CREATE, MSG_NO_DESTINATION);
    list.reset();
    return create_shortcut_in_folder(folder, target, message);
}

Outcome create_program_shortcut(HWND owner, int special_folder, wchar_t* message) {
    wchar_t target[PATH_CAPACITY];
    if (read_program_path(target, PATH_CAPACITY, message) != OUTCOME_OK) return OUTCOME_ERROR;
    UniqueItemList list;
    if (FAILED(SHGetSpecialFolderLocation(owner, special_folder, list.put())) || !list)
        return report(message, OUTCOME_ERROR, MSG_CANNOT_CREATE, MSG_NO_DESTINATION);
    return create_shortcut(list.release(), target, message);
}
