#include "audit/LocationText.h"

#include <cstdio>
#include <vector>

#include "host/Game.h"

FString LocationText(APrimalDinoCharacter* dino) {
    USceneComponent* root = Game::RootComponent(reinterpret_cast<AActor*>(dino));
    if (root == nullptr) return FString("unknown location");
    const FVector& location = Game::RelativeLocation(root);
    std::vector<char> buffer(512);
    for (;;) {
        const int written = std::snprintf(buffer.data(), buffer.size(), "X=%3.3f Y=%3.3f Z=%3.3f",
                                          location.X, location.Y, location.Z);
        if (written >= 0 && static_cast<size_t>(written) < buffer.size()) break;
        buffer.resize(buffer.size() * 2);
    }
    return FString(buffer.data());
}
