// The configuration snapshot by name, and where a read of it failed: all that the files which
// only pass a snapshot on, or say why a check stopped, need. Its fields, one per key, are in
// base/ConfigSnapshot.h, which every new key changes; a file that reads no field includes this.
#pragma once

#include <string>

struct ConfigSnapshot;

// The key whose read failed last on this thread, so whoever catches the library's error can
// name the key (its text does not); empty after ForgetFailedConfigKey until a read fails.
const char* LastFailedConfigKey();
void ForgetFailedConfigKey();

// Where a check stopped, in an operator's words: `key "K" in FILE: error`, `key "K": error`
// when no file is named, and the error alone when no key read failed.
std::string WhereCheckStopped(const std::string& key, const std::string& file,
                              const std::string& error);
