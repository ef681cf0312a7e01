/* Wine's 32-bit loader, linked at a fixed high address.
 *
 * Debian's own loader is position-independent and comes without Wine's
 * preloader, so qemu-i386 puts it at 0x400000: exactly where executables
 * without relocations (the NSIS installer among them) must be mapped, and
 * Wine refuses them with "status c0000018". This one does what Debian's
 * does, load ntdll.so and hand over to it, from 0x7d000000, and is bound
 * over /usr/lib/wine/wine inside the root only, for every Wine process.
 */
#include <dlfcn.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>

/* ntdll looks this up; null tells it no preloader reserved memory. */
void *wine_main_preload_info = NULL;

int main(int argc, char *argv[])
{
    void *ntdll = dlopen("/usr/lib/i386-linux-gnu/wine/i386-unix/ntdll.so", RTLD_NOW);
    if (!ntdll) {
        fprintf(stderr, "wine: could not load ntdll.so: %s\n", dlerror());
        /* Keeps libpthread imported by the main program, as Wine expects. */
        pthread_detach(pthread_self());
        return 1;
    }
    void (*wine_main)(int, char **) = (void (*)(int, char **))dlsym(ntdll, "__wine_main");
    if (wine_main) wine_main(argc, argv);
    fprintf(stderr, "wine: __wine_main function not found in ntdll.so\n");
    return 1;
}
