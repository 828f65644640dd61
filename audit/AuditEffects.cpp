#include "audit/AuditEffects.h"

#include "audit/DestroyBrake.h"
#include "audit/DestructionJournal.h"
#include "audit/Outbox.h"
#include "base/Config.h"
#include "base/Logger.h"
#include "host/Game.h"

namespace {

class LiveEffects : public AuditEffects {
public:
    void LogDestroyed(const std::string& line) override { PluginLogger()->warn(line); }
    void Post(const Report& report) override {
        TheOutbox().Send(report);
        ++counts.reported;
    }
    bool MayDestroy(const FWeakObjectPtr& creature, AuditRule rule) override {
        return BrakeAllowsDestroy(creature, rule, CurrentConfig());
    }
    void Destroy(APrimalDinoCharacter* dino, AuditRule, Game::DestroyFunction* destroy) override {
        Game::Destroy(destroy, dino);
        ++counts.destroyed;
    }
    void RecordDestruction(const DestructionRecord& record) override { TheJournal().Add(record); }
    void RecordNotMade(const std::string& reason) override { TheJournal().NotMade(reason); }
    bool KeepsJournal() const override { return true; }
    void AddPlayerId(AShooterGameMode* gameMode, int32_t playerId, const FString& eosId) override {
        Game::AddPlayerId(gameMode, playerId, eosId);
    }

    EffectCounts counts;
};

LiveEffects& Live() {
    static LiveEffects live;
    return live;
}

AuditEffects*& Replacement() {
    static AuditEffects* replacement = nullptr;
    return replacement;
}

}  // namespace

AuditEffects& ServerEffects() {
    return Replacement() != nullptr ? *Replacement() : static_cast<AuditEffects&>(Live());
}

void ReplaceServerEffects(AuditEffects* effects) { Replacement() = effects; }

EffectCounts LiveEffectCounts() { return Live().counts; }
