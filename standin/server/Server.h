// One run of the stand-in dedicated server, from loading the world to the summary.
#pragma once

#include "standin/server/Options.h"

namespace standin {

// Returns the process exit code. Throws (WorldFileError, std::runtime_error) when the server
// cannot start; nothing has been loaded then.
int RunServer(const ServerOptions& options);

}  // namespace standin
