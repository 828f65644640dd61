// The texts a report reads from its creature: name, team and position.
#pragma once

#include <cstdint>
#include <string>

#include "host/EngineTypes.h"

struct CreatureTexts {
    std::string name;  // ASCII
    int32_t team = 0;
    std::string location;  // ASCII
};

CreatureTexts DescribeCreature(APrimalDinoCharacter* dino);
