#pragma once
#include <string>

namespace zev {

// The caption of every message box and wizard window. With the logo switched off ("TRUE",
// exactly) the title stands alone; otherwise the title is followed by the wizard's name.
std::string WizardCaption(const std::string& title, const std::string& vornLogo);

}  // namespace zev
