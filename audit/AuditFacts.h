// What one check knows about its creature. The level is read at once, since every rule compares
// it; the texts that only reports use are made when a rule first needs them, at most once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audit/AuditEffects.h"
#include "audit/CreatureTexts.h"
#include "audit/MemberLines.h"
#include "host/EngineTypes.h"

class AuditFacts {
public:
    AuditFacts(APrimalDinoCharacter* checked, int32_t checkedLevel, AuditEffects& checkEffects)
        : dino(checked), level(checkedLevel), effects(checkEffects) {}

    int32_t Level() const { return level; }
    // The map name, ASCII.
    const std::string& MapText();
    // The member lines between fences, for posts, UTF-8.
    const std::string& MemberBlockText();
    // The member lines alone, for the log line, UTF-8.
    const std::string& MemberListText();
    // The owners the member lines name, UTF-8.
    const std::vector<Owner>& Owners();
    // The creature's name, team and location.
    const CreatureTexts& Creature();

private:
    void MakeMemberTexts();

    APrimalDinoCharacter* dino;
    int32_t level;
    AuditEffects& effects;
    std::optional<std::string> mapText;
    std::optional<std::string> memberBlockText;
    std::optional<std::string> memberListText;
    std::vector<Owner> owners;
    std::optional<CreatureTexts> creature;
};
