#include <gtest/gtest.h>

#include "about/frmAbout.h"
#include "headless/HeadlessForms.h"

namespace vr {
namespace {

constexpr WindowHandle kOwner = 4242;

void ExpectTexts(const headless::AboutRecord& form) {
    EXPECT_EQ(form.caption, "About Verada Rede");
    EXPECT_EQ(form.titleLabel, "Verada Rede");
    EXPECT_EQ(form.versionLabel, "Version 1.0.2");
    EXPECT_EQ(form.owner, kOwner);
}

TEST(AboutBox, ShowsTitleAndVersionEachTimeItIsOpenedAfresh) {
    headless::HeadlessForms forms;
    frmAbout about(forms);
    for (int showing = 1; showing <= 2; ++showing) {
        about.Show(kOwner);
        ASSERT_EQ(forms.aboutForms.size(), static_cast<std::size_t>(showing));
        ExpectTexts(*forms.aboutForms.back());
        EXPECT_TRUE(about.IsLoaded());
        forms.aboutForms.back()->handlers->cmdOK_Click();
        EXPECT_FALSE(about.IsLoaded());
        EXPECT_FALSE(forms.aboutForms.back()->loaded);
    }
}

TEST(AboutBox, ChoosingAboutAgainBringsTheOpenBoxToTheFront) {
    headless::HeadlessForms forms;
    frmAbout about(forms);
    about.Show(kOwner);
    about.Show(kOwner);
    ASSERT_EQ(forms.aboutForms.size(), 1U);
    EXPECT_EQ(forms.aboutForms[0]->broughtToFront, 1);

    forms.aboutForms[0]->loaded = false;  // closed through its title bar
    about.Show(kOwner);
    ASSERT_EQ(forms.aboutForms.size(), 2U);
    ExpectTexts(*forms.aboutForms[1]);
    EXPECT_EQ(forms.aboutForms[1]->broughtToFront, 0);
}

}  // namespace
}  // namespace vr
