#include "StreamUserPrompt.h"

#include <ostream>

namespace tarsion {

void CStreamUserPrompt::ShowMessage(std::string_view text) {
    out_ << "tarsion: " << text << std::endl;
}

bool CStreamUserPrompt::AskYesNo(std::string_view title, std::string_view text) {
    out_ << "tarsion: " << title;
    if (text != title)
        out_ << ": " << text;
    out_ << " NO" << std::endl;
    return false;
}

} // namespace tarsion
