// The skin resource linked into the player: every layout builds and every image it names loads.
#include <gtest/gtest.h>

#include <regex>

#include "platform/kernel/resources.h"
#include "skinui/skinui.h"

using namespace skinui;

namespace {

class SkinResource : public ::testing::Test {
protected:
    void SetUp() override {
        res = platform::FindResourceData(L"ZIPRES", 107);
        ASSERT_NE(res.data, nullptr);
        ASSERT_TRUE(CSkinArchive::SetZipMemory(res.data, res.size));
    }
    void TearDown() override { CSkinArchive::Reset(); }
    platform::ResourceData res;
};

TEST_F(SkinResource, IsAPlainZip) {
    ASSERT_GT(res.size, 22u);
    EXPECT_EQ(std::string(static_cast<const char*>(res.data), 2), "PK");
    EXPECT_EQ(platform::FindResourceData(L"ZIPRES", 108).data, nullptr);
    EXPECT_EQ(platform::FindResourceData(L"PNG", 107).data, nullptr);
}

TEST_F(SkinResource, LayoutsBuildAndTheirImagesLoad) {
    for (const wchar_t* layout : {L"WzMessageBox.xml", L"SkinDemo.xml", L"SettingWnd.xml", L"FileInfoWnd.xml",
                                  L"SnapShotWnd.xml", L"WZAbout.xml", L"WZOpenURL.xml", L"PlayList.xml",
                                  L"PlayListHandler.xml"}) {
        std::string xml;
        ASSERT_TRUE(CSkinArchive::Read(layout, xml)) << CDuiString(layout).ToUtf8();
        CPaintManagerUI pm;
        CDialogBuilder b;
        CControlUI* root = b.Create(layout, nullptr, &pm);
        ASSERT_NE(root, nullptr) << CDuiString(GetLastErrorMessage()).ToUtf8();
        pm.AttachDialog(root);
        EXPECT_GT(pm.GetInitSize().cx, 0);
        std::regex image(R"((?:file='|image=")([A-Za-z0-9_]+\.(?:png|bmp|gif)))");
        int images = 0;
        for (std::sregex_iterator it(xml.begin(), xml.end(), image), end; it != end; ++it, ++images)
            EXPECT_NE(CPaintManagerUI::GetImageEx(CDuiString::FromUtf8((*it)[1].str())), nullptr) << (*it)[1].str();
        EXPECT_GT(images, 0);
    }
}

TEST_F(SkinResource, MessageBoxHasItsControls) {
    CPaintManagerUI pm;
    CDialogBuilder b;
    pm.AttachDialog(b.Create(L"WzMessageBox.xml", nullptr, &pm));
    for (const wchar_t* name : {L"msg_title", L"msg_text", L"msg_icon", L"msg_ok", L"msg_cancel", L"msg_close"})
        EXPECT_NE(pm.FindControl(name), nullptr) << CDuiString(name).ToUtf8();
}

}  // namespace
