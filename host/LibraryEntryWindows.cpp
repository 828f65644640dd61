// On Windows the loader calls the library entry itself: the C runtime's DLL entry runs the static
// initializers, then calls DllMain; at detach it calls DllMain before the static destructors.
// Nothing is exported: the loader finds the entry through the image's header.
#include <windows.h>

#include "host/LibraryEntry.h"

static_assert(DLL_PROCESS_ATTACH == 1 && DLL_PROCESS_DETACH == 0 && DLL_THREAD_ATTACH == 2 &&
                  DLL_THREAD_DETACH == 3,
              "the entry's reasons are the loader's");
static_assert(sizeof(DWORD) == sizeof(uint32_t) && sizeof(BOOL) == sizeof(int),
              "DllMain has the loader's signature");
