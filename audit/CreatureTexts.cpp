#include "audit/CreatureTexts.h"

#include "audit/LocationText.h"
#include "audit/TextConversion.h"
#include "host/Game.h"

CreatureTexts DescribeCreature(APrimalDinoCharacter* dino) {
    return {ToAsciiText(Game::DescriptiveName(dino)), Game::TargetingTeam(dino),
            ToAsciiText(LocationText(dino))};
}
