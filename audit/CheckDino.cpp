#include "audit/CheckDino.h"

#include "host/Game.h"

void CheckDino(TWeakObjectPtr<APrimalDinoCharacter> weakDino) {
    if (weakDino.Get() == nullptr) return;
}
