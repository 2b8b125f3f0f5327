#include "setup/startup/wizard_caption.h"

#include <gtest/gtest.h>

namespace zev {
namespace {

TEST(WizardCaption, TitleAndLogoSwitch) {
  struct Case {
    const char* title;
    const char* logo;
    const char* caption;
  } cases[] = {
      {"", "", "Kestrix Wizard"},
      {"TX880 Driver", "", "TX880 Driver - Kestrix Wizard"},
      {"TX880 Driver", "FALSE", "TX880 Driver - Kestrix Wizard"},
      {"TX880 Driver", "TRUE", "TX880 Driver"},
      // Only the exact upper-case text switches the logo off.
      {"TX880 Driver", "true", "TX880 Driver - Kestrix Wizard"},
      {"TX880 Driver", "-1", "TX880 Driver - Kestrix Wizard"},
      {"", "TRUE", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WizardCaption(c.title, c.logo), c.caption) << c.title << " / " << c.logo;
}

}  // namespace
}  // namespace zev
