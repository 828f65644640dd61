// What one check gathers about its creature once, for every rule that may report it.
#pragma once

#include <cstdint>
#include <string>

#include "host/EngineTypes.h"

struct AuditFacts {
    FString mapName;
    int32_t level = 0;
    FString memberBlock;      // the member lines between fences, for posts
    FString plainMemberList;  // the member lines alone, for the log line
};

// The texts read from the creature whenever a message is built.
struct CreatureTexts {
    std::string name;  // ASCII
    int32_t team = 0;
    std::string location;  // ASCII
};

CreatureTexts DescribeCreature(APrimalDinoCharacter* dino);
