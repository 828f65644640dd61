#include "audit/AuditEffects.h"

#include "audit/Outbox.h"
#include "host/Game.h"
#include "plugin/Logger.h"

namespace {

class LiveEffects : public AuditEffects {
public:
    void LogDestroyed(const std::string& line) override { PluginLogger()->warn(line); }
    void Post(const Report& report) override { TheOutbox().Send(report); }
    void Destroy(APrimalDinoCharacter* dino, AuditRule) override { Game::Destroy(dino); }
};

AuditEffects*& Replacement() {
    static AuditEffects* replacement = nullptr;
    return replacement;
}

}  // namespace

AuditEffects& ServerEffects() {
    static LiveEffects live;
    return Replacement() != nullptr ? *Replacement() : live;
}

void ReplaceServerEffects(AuditEffects* effects) { Replacement() = effects; }
