#include "ui/show_outcome.h"


int show_outcome(HWND owner, int outcome, const wchar_t* text) {
    if (outcome == OUTCOME_ERROR)
        MessageBoxW(owner, text, nullptr, MB_ICONERROR);
    else if (outcome == OUTCOME_INFO)
        MessageBoxW(owner, text, INFORMATION_TITLE, MB_ICONINFORMATION);
    return outcome;
}
