#include "standin/Host.h"

#include "standin/Text.h"

namespace standin {
namespace {

// Not through FString's constructor: the Host is not made yet, and that constructor is a host
// operation that asks it.
void NameClass(UStruct& type, const TCHAR* name, UStruct* super, UClass* metaClass) {
    type.Name = FromUtf16(std::u16string(name, name + EngineTextView(name).size()));
    type.SuperStruct = super;
    type.ClassPrivate = metaClass;
}

}  // namespace

Host& Host::Get() {
    static Host host;
    return host;
}

Host::Host() {
    NameClass(classes.object, TW_TEXT("Object"), nullptr, nullptr);
    NameClass(classes.actor, TW_TEXT("Actor"), &classes.object, nullptr);
    NameClass(classes.character, TW_TEXT("PrimalCharacter"), &classes.actor, nullptr);
    NameClass(classes.dino, TW_TEXT("PrimalDinoCharacter"), &classes.character, nullptr);
    NameClass(classes.playerController, TW_TEXT("ShooterPlayerController"), &classes.actor,
              nullptr);
    NameClass(classes.scriptStruct, TW_TEXT("ScriptStruct"), nullptr, nullptr);
    NameClass(classes.tribeData, TW_TEXT("TribeData"), nullptr, &classes.scriptStruct);
    classes.tribeData.PropertiesSize = sizeof(FTribeData);
}

void Host::Reset() {
    world.reset();
    hooks.Clear();
    commands.Clear();
    events.Clear();
    currentDir = ".";
    printReplies = false;
    colourOutput = false;
    recordResolutions = false;
    currentWorldMissing = false;
    throwUnknownFrom.clear();
    clockAdvance = {};
    simulatedFileError = nullptr;
    journalRotationBytes = 0;
    sendRequests = true;
    unsentPosts = UnsentPosts::Refused;
    classes.tribeData.Name = FromUtf16(u"TribeData");
    classes.tribeData.PropertiesSize = sizeof(FTribeData);
}

void Host::ThrowIfFaulty(std::string_view operation) const {
    if (operation == throwUnknownFrom) throw UnknownHostFault{};
}

}  // namespace standin
