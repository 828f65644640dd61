#include "standin/Host.h"

#include "standin/Text.h"

namespace standin {
namespace {

void NameClass(UStruct& type, const char16_t* name, UStruct* super, UClass* metaClass) {
    type.Name = FromUtf16(name);
    type.SuperStruct = super;
    type.ClassPrivate = metaClass;
}

}  // namespace

Host& Host::Get() {
    static Host host;
    return host;
}

Host::Host() {
    NameClass(classes.object, u"Object", nullptr, nullptr);
    NameClass(classes.actor, u"Actor", &classes.object, nullptr);
    NameClass(classes.character, u"PrimalCharacter", &classes.actor, nullptr);
    NameClass(classes.dino, u"PrimalDinoCharacter", &classes.character, nullptr);
    NameClass(classes.playerController, u"ShooterPlayerController", &classes.actor, nullptr);
    NameClass(classes.scriptStruct, u"ScriptStruct", nullptr, nullptr);
    NameClass(classes.tribeData, u"TribeData", nullptr, &classes.scriptStruct);
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
    acceptUnsentPosts = false;
    classes.tribeData.Name = FromUtf16(u"TribeData");
    classes.tribeData.PropertiesSize = sizeof(FTribeData);
}

void Host::ThrowIfFaulty(std::string_view operation) const {
    if (operation == throwUnknownFrom) throw UnknownHostFault{};
}

}  // namespace standin
