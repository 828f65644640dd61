// "tmwd.reload": reads the configuration file again and answers whether it worked.
#pragma once

#include "host/EngineTypes.h"

void ReloadConsoleCommand(APlayerController* player, FString* command, bool writeToLog);
void ReloadRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld* world);
