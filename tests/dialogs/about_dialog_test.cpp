#include "dialogs/about_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/headless/headless_platform.h"

namespace {

TEST(AboutDialog, ShowsItsTextsAndClosesWithOkOrCancel) {
  DialogTemplate t = AboutDialogTemplate();
  EXPECT_EQ(t.id, 2398);
  EXPECT_EQ(t.title, "About Zorvan");
  std::vector<std::string> labels;
  for (const auto& c : t.controls) labels.push_back(c.label);
  for (const char* text : {"Magnetotelluric Plotting & Analysis", "Version 2.37", " 11/6/2013", "Platform:"})
    EXPECT_NE(std::find(labels.begin(), labels.end(), text), labels.end()) << text;

  for (int button : {kIdOk, kIdCancel}) {
    HeadlessPlatform host;
    AppState s;
    s.host = &host;
    std::string platform;
    host.dialogScripts.push_back([&](HeadlessDialog& d) {
      platform = d.GetText(kAboutPlatform);
      d.Click(button);
    });
    EXPECT_EQ(ShowAboutDialog(s), button);
    // The system the program runs on, not the one it was first written for.
    EXPECT_EQ(platform, host.PlatformDescription());
    EXPECT_EQ(platform, "Linux");
    EXPECT_EQ(host.dialogTitles, std::vector<std::string>{"About Zorvan"});
  }
}

}  // namespace
