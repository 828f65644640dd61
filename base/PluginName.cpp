#include "base/PluginName.h"

// The first of the plugin's process-wide objects (its object is linked first): constructed before
// Config, destroyed after it.
std::string PluginName;
