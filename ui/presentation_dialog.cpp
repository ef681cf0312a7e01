#include "ui/presentation_dialog.h"

#include "net/site_constants.h"
#include "progress/dialog_context.h"
#include "resources/resource_ids.h"
#include "ui/launching.h"
#include "ui/link_style.h"
#include "ui/show_outcome.h"

#include <new>

namespace {

struct ControlText {
    int id;
    const wchar_t* text;
};

constexpr ControlText PRESENTATION_TEXTS[] = {
    {IDC_PRESENTATION_INTRO,
     L"Le Pellinport vous permet d'envoyer facilement les données que vous collectez dans le jeu "
     L"World of Warcraft avec l'addon Quillfern.  Le Pellinport est le lien entre l'addon "
     L"Quillfern, qui collecte les données dans le jeu, et notre site qui traite ensuite vos "
     L"informations pour les ajouter à nos bases de données.  Pour pouvoir envoyer vos données, "
     L"vous devez tout d'abord posséder un compte MyQuillfern."},
    {IDC_PRESENTATION_EDITIONS,
     L"Le Pellinport vous permet d'installer ou de mettre à jour l'une des deux versions de "
     L"l'addon Quillfern :"},
    {IDC_PRESENTATION_LIGHT,
     L"- Une version Light, qui possède toutes les fonctionnalités de l'addon Quillfern, avec des "
     L"cartes du tracker de basse qualité.  Cette version est recommandée si vous n'utilisez par "
     L"le tracker ou si vous souhaitez réduire la taille des mises à jour à effectuer."},
    {IDC_PRESENTATION_FULL,
     L"- Une version Full, qui possède toutes les fonctionnalités de l'addon Quillfern, avec des "
     L"cartes du tracker de haute qualité.  Cette version vous offre la meilleure qualité possible "
     L"pour les cartes des zones."},
    {IDC_PRESENTATION_MORE,
     L"Si vous souhaitez plus d'informations quant à l'addon Quillfern ou si vous avez des "
     L"questions concernant le Pellinport, nous vous invitons à vous rendre à l'adresse suivante :"},
    {IDC_PRESENTATION_LINK, SITE_PRESENTATION_ADDRESS},
    {IDC_PRESENTATION_THANKS, L"Nous vous remercions d'avance pour votre participation !"},
};

// Every control that shows text, in the order they get the font.
constexpr int FONT_ORDER[] = {IDC_PRESENTATION_OK,   IDC_PRESENTATION_INTRO, IDC_PRESENTATION_EDITIONS,
                              IDC_PRESENTATION_LIGHT, IDC_PRESENTATION_FULL,  IDC_PRESENTATION_MORE,
                              IDC_PRESENTATION_LINK,  IDC_PRESENTATION_THANKS};

// One opening of the dialog; lives in the dialog's user data.
struct PresentationState {
    DialogContext* context;  // kept like every dialog's; nothing here needs it
    HCURSOR hand;            // shown over the link until OK is pressed
};

PresentationState* state_of(HWND dialog) {
    return reinterpret_cast<PresentationState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

HWND link_of(HWND dialog) { return GetDlgItem(dialog, IDC_PRESENTATION_LINK); }

// Without memory for its state the dialog still shows and closes; only the hand is missing.
void on_init(HWND dialog, LPARAM lparam) {
    auto* state = new (std::nothrow) PresentationState{reinterpret_cast<DialogContext*>(lparam),
                                                       LoadCursorW(nullptr, IDC_HAND)};
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    const WPARAM font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (int id : FONT_ORDER) SendDlgItemMessageW(dialog, id, WM_SETFONT, font, TRUE);
    for (const ControlText& control : PRESENTATION_TEXTS)
        SetDlgItemTextW(dialog, control.id, control.text);
}

void on_link_clicked(HWND dialog) {
    wchar_t message[MESSAGE_CAPACITY];
    show_outcome(dialog, open_site(message, SITE_PRESENTATION_ADDRESS), message);
}

void on_ok(HWND dialog) {
    // A shared system cursor: dropping it is all its release takes.
    if (PresentationState* state = state_of(dialog)) state->hand = nullptr;
    EndDialog(dialog, 0);
}

INT_PTR on_command(HWND dialog, WPARAM wparam, LPARAM lparam) {
    if (HIWORD(wparam) == STN_CLICKED && lparam != 0 &&
        reinterpret_cast<HWND>(lparam) == link_of(dialog)) {
        on_link_clicked(dialog);
        return FALSE;
    }
    // Only the OK button closes the dialog; Escape's IDCANCEL is left alone.
    if (LOWORD(wparam) != IDC_PRESENTATION_OK) return FALSE;
    on_ok(dialog);
    return TRUE;
}

INT_PTR on_set_cursor(HWND dialog, WPARAM wparam, LPARAM lparam) {
    const PresentationState* state = state_of(dialog);
    if (!state || !show_link_cursor(link_of(dialog), state->hand, reinterpret_cast<HWND>(wparam),
                                    LOWORD(lparam)))
        return FALSE;
    // A dialog procedure gives a message's own result through DWLP_MSGRESULT.
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
    return TRUE;
}

void on_destroy(HWND dialog) {
    delete state_of(dialog);
    SetWindowLongPtrW(dialog, GWLP_USERDATA, 0);
}

}  // namespace

INT_PTR CALLBACK presentation_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        on_init(dialog, lparam);
        return TRUE;
    case WM_COMMAND:
        return on_command(dialog, wparam, lparam);
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lparam) != link_of(dialog)) return FALSE;
        return reinterpret_cast<INT_PTR>(paint_link(reinterpret_cast<HDC>(wparam)));
    case WM_SETCURSOR:
        return on_set_cursor(dialog, wparam, lparam);
    case WM_DESTROY:
        on_destroy(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}
