// What the stand-in prints for a person to read: with colour codes only when its output is a
// terminal, so that a file or a pipe gets plain text.
#pragma once

#include <string>

namespace standin {

// The text with its colour codes ("\x1b[...m") when the host's output is a terminal, without
// them otherwise.
std::string ForOutput(const std::string& text);

}  // namespace standin
