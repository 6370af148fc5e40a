// Text from files and command lines made safe to show: bytes a terminal would act on are
// written as escapes.
#pragma once

#include <string>

// text with every control byte (below 0x20, and DEL) and every byte that is not part of a valid
// UTF-8 sequence written as \xNN, and a backslash as \\. UTF-8 letters stay as they are.
std::string printableText(const std::string& text);
