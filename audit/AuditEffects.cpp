#include "audit/AuditEffects.h"

#include "audit/DestroyBrake.h"
#include "audit/DestructionJournal.h"
#include "audit/DestructionRecord.h"
#include "audit/HeldCreatures.h"
#include "audit/Messages.h"
#include "audit/Outbox.h"
#include "audit/RuleIdentity.h"
#include "base/Config.h"
#include "base/Format.h"
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
    std::optional<uint64_t> WriteAhead(const PendingRecord& pending,
                                       const TWeakObjectPtr<APrimalDinoCharacter>& dino,
                                       const std::string& creature) override {
        uint64_t seq = 0;
        if (const DestructionRecord* record = pending.Record())
            seq = TheJournal().WriteAhead(*record);
        else if (const std::string* failure = pending.Failure())
            TheJournal().NotMade(*failure, creature);
        else
            return 0;  // no journal is kept
        if (seq != 0) return seq;
        HoldCreature(dino);
        return std::nullopt;
    }
    bool Destroy(APrimalDinoCharacter* dino, AuditRule, Game::DestroyFunction* destroy) override {
        if (!Game::Destroy(destroy, dino)) return false;
        ++counts.destroyed;
        return true;
    }
    void NotDestroyed(const std::string& creature, AuditRule rule, uint64_t seq,
                      const std::string& reason) override {
        const char* name = IdentityOf(rule).journalName;
        if (seq == 0) {
            PluginLogger()->warn(fmt::format(Messages::NotDestroyedLog, creature, name, reason));
            return;
        }
        PluginLogger()->warn(
            fmt::format(Messages::NotDestroyedMarked, creature, name, seq, reason));
        TheJournal().MarkNotDone(seq, reason);
    }
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
