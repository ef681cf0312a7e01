// Stands in for the running game: tests copy it under the game's process name
// and start it. It ends by itself after a minute in case a test forgets it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Sleep(60000);
    return 0;
}
