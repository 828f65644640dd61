// The outbox's cost on the game thread: a tick with nothing to send, which every game tick pays
// once a report has gone out, and handing over a report while another post is in flight.
#include <benchmark/benchmark.h>

#include "audit/AuditRules.h"
#include "audit/Outbox.h"
#include "base/Logger.h"
#include "base/PluginName.h"
#include "standin/Host.h"

namespace {

void OutboxTickWithNothingToSend(benchmark::State& state) {
    Outbox outbox;
    for (auto _ : state) outbox.Pump();
}
BENCHMARK(OutboxTickWithNothingToSend);

// The first post fails at once (the stand-in sends nothing) and waits a second for its next try,
// so every later one queues behind it: the hand-over alone.
void SendWhileAPostIsInFlight(benchmark::State& state) {
    PluginName = "TameWarden";
    InitLogger(PluginLogger());
    standin::Host::Get().sendRequests = false;
    const Report report{
        AuditRule::OverLevel,
        "http://127.0.0.1:9/hook",
        "# Destroyed dino(Rex) level 1200 from tribe 1000050001 at X=1520.000 "
        "Y=-33.250 Z=0.125\nMembers: ```Ann - EOS id: 0002a1b2c3d4e5f60718293a4b5c6d7e```",
        {R"({"content":"# Destroyed dino(Rex) level 1200 ..."})"},
        "Rex",
        1200};
    auto outbox = std::make_unique<Outbox>();
    size_t handed = 0;
    for (auto _ : state) {
        outbox->Send(report);
        if (++handed % 5000 == 0) {  // stays below the outbox's bound
            state.PauseTiming();
            outbox = std::make_unique<Outbox>();
            standin::Host::Get().events.Clear();
            state.ResumeTiming();
        }
    }
}
BENCHMARK(SendWhileAPostIsInFlight);

}  // namespace

BENCHMARK_MAIN();
