#pragma once

#include <string>
#include <string_view>

namespace tarsion {

// What goes between the single quotes of a script line so that the script gets `text` back as it
// is: backslash, quote, line breaks (LF, CR, U+2028, U+2029) and other control characters are
// escaped. Any other text, UTF-8 included, is written as it is.
std::string ScriptStringText(std::string_view text);

} // namespace tarsion
