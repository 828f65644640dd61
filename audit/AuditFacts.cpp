#include "audit/AuditFacts.h"

#include "audit/MemberLines.h"
#include "audit/Messages.h"
#include "audit/TextConversion.h"
#include "host/AsaApi.h"
#include "host/Game.h"

const std::string& AuditFacts::MapText() {
    if (!mapText) {
        AShooterGameMode* gameMode = AsaApi::GetApiUtils().CurrentGameMode();
        mapText = gameMode != nullptr ? ToAsciiText(Game::MapName(gameMode)) : std::string();
    }
    return *mapText;
}

const std::string& AuditFacts::MemberBlockText() {
    if (!memberBlockText) MakeMemberTexts();
    return *memberBlockText;
}

const std::string& AuditFacts::MemberListText() {
    if (!memberListText) MakeMemberTexts();
    return *memberListText;
}

const std::vector<Owner>& AuditFacts::Owners() {
    if (!memberListText) MakeMemberTexts();
    return owners;
}

const CreatureTexts& AuditFacts::Creature() {
    if (!creature) creature = DescribeCreature(dino);
    return *creature;
}

// One walk of the owners serves both texts.
void AuditFacts::MakeMemberTexts() {
    memberListText = JoinLines(TribeMemberLines(Game::TargetingTeam(dino), effects, owners));
    memberBlockText = Messages::MemberFence + *memberListText + Messages::MemberFence;
}
