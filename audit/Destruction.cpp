#include "audit/Destruction.h"

#include <exception>

#include "audit/Messages.h"
#include "audit/RuleIdentity.h"
#include "base/Format.h"

Destruction::Destruction(AuditCheck& ofCheck, AuditRule byRule, const Comparison& compared,
                         const std::string& report)
    : check(ofCheck),
      rule(byRule),
      record(check, rule, compared, report),
      destroy(Game::FindDestroy()) {}

// Made only for a line that needs it: most destructions need none.
std::string Destruction::Creature() const {
    return fmt::format(Messages::DestroyedCreature, check.facts.Creature().name,
                       check.facts.Level(), check.facts.Creature().team);
}

bool Destruction::Recorded() {
    if (!check.effects.MayDestroy(check.weak, rule)) return false;
    const std::optional<uint64_t> written = check.effects.WriteAhead(
        record, check.weak, record.Record() != nullptr ? std::string() : Creature());
    if (!written) return false;
    seq = *written;
    return true;
}

bool Destruction::Carry() {
    try {
        if (check.effects.Destroy(check.dino, rule, destroy)) return true;
    } catch (const std::exception& error) {
        check.effects.NotDestroyed(Creature(), rule, seq, error.what());
        throw;
    } catch (...) {
        check.effects.NotDestroyed(Creature(), rule, seq, "unknown error");
        throw;
    }
    check.effects.NotDestroyed(Creature(), rule, seq, Messages::DestroyAnsweredFalse);
    return false;
}

void Destruction::LogDestroyed() {
    if (seq == 0) return;
    check.effects.LogDestroyed(
        fmt::format(Messages::DestroyedLog, Creature(), IdentityOf(rule).journalName, seq));
}
