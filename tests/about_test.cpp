#include <gtest/gtest.h>

#include "about/frmAbout.h"
#include "platform/headless/HeadlessForms.h"

namespace vr {
namespace {

constexpr WindowHandle kOwner = 4242;

TEST(AboutBox, OneBoxAtATimeAndEachOpenedAfreshShowsTitleAndVersion) {
    headless::HeadlessForms forms;
    frmAbout about(forms);
    for (const bool okButton : {true, false, true}) {
        const std::size_t opened = forms.aboutForms.size();
        about.Show(kOwner);
        about.Show(kOwner);  // brings the open box to the front
        ASSERT_EQ(forms.aboutForms.size(), opened + 1);
        headless::AboutRecord& form = *forms.aboutForms.back();
        EXPECT_EQ(form.caption, "About Verada Rede");
        EXPECT_EQ(form.titleLabel, "Verada Rede");
        EXPECT_EQ(form.versionLabel, "Version " VR_VERSION_TEXT);
        EXPECT_EQ(form.owner, kOwner);
        EXPECT_EQ(form.broughtToFront, 1);
        EXPECT_TRUE(about.IsLoaded());
        if (okButton) {
            form.handlers->cmdOK_Click();
            EXPECT_FALSE(form.loaded);
        } else {
            form.loaded = false;  // closed through its title bar
        }
        EXPECT_FALSE(about.IsLoaded());
    }
}

}  // namespace
}  // namespace vr
