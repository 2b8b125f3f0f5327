#include "setup/startup/wizard_caption.h"

namespace zev {

std::string WizardCaption(const std::string& title, const std::string& vornLogo) {
  if (vornLogo == "TRUE") return title;
  const std::string wizard = std::string("Kestrix") + " Wizard";
  return title.empty() ? wizard : title + " - " + wizard;
}

}  // namespace zev
