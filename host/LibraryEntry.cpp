// On Linux the loader has no library entry notification: an ELF constructor and destructor
// deliver attach and detach. The destructor runs before the library's static destructors.
#include "host/LibraryEntry.h"

namespace {

__attribute__((constructor)) void NotifyProcessAttach() { DllMain(nullptr, 1, nullptr); }

__attribute__((destructor)) void NotifyProcessDetach() { DllMain(nullptr, 0, nullptr); }

}  // namespace
