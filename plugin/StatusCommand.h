// "tmwd.status": what the plugin is doing, in a few lines: version and configuration file, when
// the configuration was read and how the last reload went, the rules in force as the checks read
// them now, and the counters of checks, the queue and the outbox.
#pragma once

#include <string>

#include "host/EngineTypes.h"

std::string StatusText();

void StatusConsoleCommand(APlayerController* player, FString* command, bool writeToLog);
void StatusRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld* world);
