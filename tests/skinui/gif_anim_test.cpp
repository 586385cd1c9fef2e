// The animated picture: how many pictures it takes from a GIF (also one played once, one cut
// short, a still one, no GIF at all and a missing file) and that each timer step shows the next of them.
#include <gtest/gtest.h>

#include <memory>

#include "skin_fixture.h"
#include "support/clips.h"

using namespace skinui;
using skintest::Pixel;

namespace {

class GifAnim : public ::testing::Test {
protected:
    void SetUp() override {
        // One solid colour a picture: red, green, blue.
        int i = 0;
        for (uint32_t c : {0xFF0000u, 0x00FF00u, 0x0000FFu})
            skintest::WriteCellsPng(skin.Path("f" + std::to_string(i++) + ".png"), 16, 16, {c});
        Gif("loop.gif", {"-loop", "0"});
        Gif("once.gif", {"-loop", "-1"});
        Gif("still.gif", {"-frames:v", "1"});
        const std::string whole = testsupport::ReadFile(skin.Path("loop.gif"));
        skin.Add("cut.gif", whole.substr(0, whole.size() * 2 / 3));
        skin.Add("header.gif", whole.substr(0, 20));
        skin.Install();
    }
    void Gif(const std::string& name, std::vector<std::string> extra) {
        std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-framerate", "10",
                                         "-i", skin.Path("f%d.png")};
        argv.insert(argv.end(), extra.begin(), extra.end());
        argv.push_back(skin.Path(name));
        ASSERT_EQ(testsupport::RunProgram(argv), 0) << name;
    }
    // A window-less manager holding the picture alone.
    struct Shown {
        CPaintManagerUI pm;
        CGifAnimUI* picture = nullptr;
        explicit Shown(const char* image) {
            CDialogBuilder b;
            const std::string xml = std::string(R"(<Window size="16,16"><GifAnim name="p" bkimage=")") + image + R"("/></Window>)";
            pm.AttachDialog(b.CreateFromXml(xml, nullptr, &pm));
            pm.UpdateLayout();
            picture = static_cast<CGifAnimUI*>(pm.FindControl(L"p"));
        }
        // The colour at the picture's centre: "red", "green", "blue", or "none" where nothing is
        // drawn (a GIF's palette may shade the colours a little).
        std::string Colour() {
            cairo_surface_t* s = pm.RenderToSurface();
            const uint32_t rgb = Pixel(s, 8, 8);
            cairo_surface_destroy(s);
            const uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
            if (r > 0xC0 && g < 0x40 && b < 0x40) return "red";
            if (g > 0xC0 && r < 0x40 && b < 0x40) return "green";
            if (b > 0xC0 && r < 0x40 && g < 0x40) return "blue";
            return (rgb >> 24) == 0 ? "none" : "other";
        }
    };
    static void Tick(CGifAnimUI& picture) {
        TEventUI timer;
        timer.Type = UIEVENT_TIMER;
        timer.wParam = CGifAnimUI::kFrameTimer;
        picture.DoEvent(timer);
    }
    skintest::SkinArchive skin;
};

TEST_F(GifAnim, TakesEveryPictureOfTheFile) {
    struct Case {
        const char* image;
        int frames;
    };
    const Case cases[] = {{"loop.gif", 3}, {"once.gif", 3}, {"still.gif", 1}, {"f0.png", 1},
                          {"header.gif", 0}, {"none.gif", 0}};
    for (const Case& c : cases) {
        Shown shown(c.image);
        ASSERT_NE(shown.picture, nullptr);
        EXPECT_EQ(shown.picture->GetFrameCount(), c.frames) << c.image;
    }
    // A file cut short is refused by the decoder: nothing is drawn, nothing is read past its end.
    Shown cut("cut.gif");
    EXPECT_EQ(cut.picture->GetFrameCount(), 0);
    EXPECT_EQ(cut.Colour(), "none");
}

TEST_F(GifAnim, EachStepShowsTheNextPictureAndTheLastLeadsToTheFirst) {
    Shown loop("loop.gif");
    std::vector<std::string> shown;
    for (int i = 0; i < 4; ++i) {
        shown.push_back(loop.Colour());
        Tick(*loop.picture);
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"red", "green", "blue", "red"}));
}

}  // namespace
