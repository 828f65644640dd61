// The destroy brake: at most "DestroyBrakeLimit" creatures are destroyed in any span of
// "DestroyBrakeMinutes"; past that it holds every destruction until an operator releases it, so
// one wrong limit or a game update cannot empty a server before anyone reads the chat.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "audit/Preview.h"
#include "base/ConfigSnapshotFwd.h"
#include "host/EngineTypes.h"

// Whether the brake limits anything with this configuration: a limit above 0, or a number out
// of range, which holds every destruction. False for a key of the wrong type, which stops each
// destruction's check at its read instead.
bool BrakeOn(const ConfigSnapshot& config);

// Asked once before each live destruction: true lets it happen and counts it in the span; false
// holds the creature. The first hold of a span logs one critical line and posts one report.
bool BrakeAllowsDestroy(const FWeakObjectPtr& creature, AuditRule rule,
                        const ConfigSnapshot& config);

// For as long as a pass over the whole world lasts (the start-up sweep, tmwd.recheck): when what
// the pass would destroy, with the span's destructions so far, is past the limit, the brake holds
// from the pass's first destruction the live effects ask about on; `pass` names it in the brake's
// notice. A recorder never asks, so a dry run engages nothing.
class WorldPassUnderBrake {
public:
    WorldPassUnderBrake(const RuleTallies& wouldDo, const ConfigSnapshot& config, const char* pass);
    ~WorldPassUnderBrake();
    WorldPassUnderBrake(const WorldPassUnderBrake&) = delete;
    WorldPassUnderBrake& operator=(const WorldPassUnderBrake&) = delete;
};

// The operator's go-ahead: the brake lets go, a new span starts, and the creatures it held are
// given back to be checked again; each of them the brake does not hold again, until
// ForgetReleasedCreatures.
std::vector<FWeakObjectPtr> ReleaseBrake();
void ForgetReleasedCreatures();

struct BrakeState {
    bool holding = false;
    std::chrono::system_clock::time_point since;  // when it began to hold
    size_t held = 0;                              // creatures it holds
    size_t inSpan = 0;                            // destructions in the span now
};
BrakeState TheBrakeState();

// tmwd.status's line: whether it holds, how many and since when, then what the configuration
// makes of it: "destroy brake: holds 3 creature(s) since 2026-01-02 03:04:05 +0000
// (tmwd.release); at most 25 in 10 minute(s), 25 in this span", "destroy brake: off".
std::string BrakeStatus(const ConfigSnapshot& config);
