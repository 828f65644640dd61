// The plugin's name: its logger's name, its configuration folder and the prefix of its replies.
#pragma once

#include <string>

// Empty until the first step of PluginLoad sets it to "TameWarden".
extern std::string PluginName;
