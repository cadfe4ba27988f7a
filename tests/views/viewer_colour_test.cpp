#include "views/picture_view.h"
#include "views/slide_show_window.h"
#include "views/viewer_list.h"
#include "views/viewer_loading.h"
#include "views/viewer_window.h"

#include "document/document_options.h"
#include "document/picture_loader.h"
#include "views/behaviour_options.h"
#include "views/frame_settings.h"
#include "views/grid_options.h"
#include "views/options_dialog.h"

#include "../imaging/colour_test_support.h"
#include "../imaging/gif_test_support.h"
#include "views_test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <cmath>

namespace vemra {
namespace {

// A wide-gamut photograph stand-in: hues across, brightness down, the
// numbers meant as Adobe RGB (1998).
PictureBuffer hueChart() {
    PictureBuffer p = PictureBuffer::create(360, 240, 24);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 360; ++x) {
            const double h = x / 60.0;
            const double v = 1.0 - y / 300.0;
            const double f = h - std::floor(h);
            const int sector = static_cast<int>(h) % 6;
            const double ramp[6][3] = {{1, f, 0},     {1 - f, 1, 0}, {0, 1, f},
                                       {0, 1 - f, 1}, {f, 0, 1},     {1, 0, 1 - f}};
            const auto c = [&](int i) { return static_cast<int>(ramp[sector][i] * v * 255); };
            p.setPixel(x, y, colourWord(c(0), c(1), c(2)));
        }
    return p;
}

// The viewer, the full-screen window and the look-ahead show a tagged
// picture in display colours, and as stored once colour management is off.
TEST(ViewerColours, TaggedPicturesShowInDisplayColours) {
    test::DocumentFixture f;
    RegistryPictureLoader loader(*f.registry);
    f.document->setPictureLoader(&loader);
    const std::string folder = f.dir.file("wide");
    std::filesystem::create_directories(folder);
    const PictureBuffer chart = hueChart();
    const std::vector<std::byte> adobe = test::adobeRgbProfile();
    test::writeFile(folder + "/a-chart.png", test::pngWithProfile(chart, adobe));
    test::writeFile(folder + "/b-chart.png", test::pngWithProfile(chart, adobe));
    PictureBuffer managed = chart.duplicate();
    ASSERT_EQ(convertToDisplay(managed, adobe, *DisplayColour::srgb()), ColourOutcome::Converted);

    ViewerList list(*f.document, nullptr);
    list.setSettingsStore(&f.store);
    const auto shows = [](PictureView* view, const PictureBuffer& expected) {
        const PictureBuffer& frame = view->stage().frame();
        return frame.width() == expected.width() &&
               frame.pixel(150, 20) == expected.pixel(150, 20) &&
               frame.pixel(30, 200) == expected.pixel(30, 200);
    };
    const struct {
        bool managed;
        const char* screenshot;
        const PictureBuffer& expected;
    } cases[] = {{true, "viewer-colour-managed.png", managed},
                 {false, "viewer-colour-unmanaged.png", chart}};
    for (const auto& c : cases) {
        f.document->options().colorManagement = c.managed;
        f.document->applyThumbnailOptions();
        f.document->openFolder(folder, nullptr, false);
        ViewerWindow* window = list.open(0, false);
        QApplication::processEvents();
        EXPECT_TRUE(shows(window->view(), c.expected)) << c.screenshot;
        test::saveScreenshot(window->grab().toImage(), c.screenshot);
        list.closeAll();

        // The look-ahead decodes on a worker and converts there.
        PictureLookAhead ahead(*f.document);
        ahead.want(1);
        ahead.idleStep([] { return false; });
        ASSERT_TRUE(ahead.waitReady(std::chrono::seconds(20)));
        std::optional<LoadedPicture> next = ahead.take(1);
        ASSERT_TRUE(next.has_value());
        EXPECT_EQ(next->picture.pixel(150, 20), c.expected.pixel(150, 20)) << c.screenshot;

        SlideShowWindow show(*f.document, &f.store);
        show.resize(400, 300);
        show.options().fit.fitSize = 0;
        show.start(1, false);
        QApplication::processEvents();
        const QImage screen = show.grab().toImage();
        const QColor centre = screen.pixelColor(std::max(0, (screen.width() - 360) / 2) + 150,
                                                std::max(0, (screen.height() - 240) / 2) + 120);
        const ColourWord want = c.expected.pixel(150, 120);
        EXPECT_NEAR(centre.red(), redOf(want), 2) << c.screenshot;
        EXPECT_NEAR(centre.green(), greenOf(want), 2) << c.screenshot;
        show.close();
    }
}

// An animated GIF on a wide-gamut display: every frame shown while it plays
// is in display colours, not only the first, and the frames composed later
// are converted once each.
TEST(ViewerColours, EveryAnimationFrameShowsInDisplayColours) {
    test::DocumentFixture f;
    RegistryPictureLoader loader(*f.registry);
    f.document->setPictureLoader(&loader);
    const std::string folder = f.dir.file("anim");
    std::filesystem::create_directories(folder);
    // Frames of palette entries 0, 40, 80 (green into brown, see writeGif),
    // the third covering only the left half: composed over the second.
    std::vector<test::GifFrameSpec> frames;
    for (int i = 0; i < 3; ++i)
        frames.push_back({0, 0, i == 2 ? 4 : 8, 8,
                          std::vector<std::uint8_t>(i == 2 ? 32 : 64, std::uint8_t(i * 40)), 10,
                          1});
    const std::vector<std::byte> gif = test::writeGif(8, 8, 7, frames);
    test::writeFile(folder + "/anim.gif", gif);
    const std::string p3 = f.dir.file("p3.icc");
    test::writeFile(p3, test::displayP3Profile());
    f.document->options().colorManagement = true;
    f.document->options().displayProfile = p3;
    f.document->applyThumbnailOptions();
    f.document->openFolder(folder, nullptr, false);
    const auto display = DisplayColour::fromProfile(test::displayP3Profile());

    // What the file's frames are, composed and then converted.
    FrameAnimation plain;
    ASSERT_TRUE(plain.open(gif));
    LoadedPicture loaded = loadViewerPicture(*f.document, 0, true);
    ASSERT_NE(loaded.animation, nullptr);
    FrameAnimation& shown = *loaded.animation;
    for (std::int64_t now = 0; plain.decodedCount() < 3; now += 1000) {
        plain.tickFullScreen(now, 0);
        shown.tickFullScreen(now, 0);
    }
    ASSERT_EQ(shown.decodedCount(), 3);
    for (int i = 0; i < 3; ++i) {
        PictureBuffer expected = plain.frame(i).duplicate();
        ASSERT_EQ(convertToDisplay(expected, {}, *display), ColourOutcome::Converted);
        for (const auto& [x, y] : {std::pair{1, 1}, std::pair{6, 6}}) {
            EXPECT_EQ(shown.frame(i).pixel(x, y), expected.pixel(x, y)) << i << " " << x;
            EXPECT_NE(shown.frame(i).pixel(x, y), plain.frame(i).pixel(x, y)) << i << " " << x;
        }
    }
    // Colour management off: the frames as composed.
    f.document->options().colorManagement = false;
    f.document->applyThumbnailOptions();
    LoadedPicture unmanaged = loadViewerPicture(*f.document, 0, true);
    ASSERT_NE(unmanaged.animation, nullptr);
    EXPECT_EQ(unmanaged.animation->frame(0).pixel(1, 1), plain.frame(0).pixel(1, 1));
}

} // namespace
} // namespace vemra

namespace vemra {
namespace {

// The "カラー" page: the switch and the profile file go to their keys, and a
// file that cannot describe a display is refused.
TEST(ViewerColours, TheColourPageOfTheOptionsDialog) {
    test::TempDir dir;
    const std::string p3 = dir.file("p3.icc");
    test::writeFile(p3, test::displayP3Profile());
    const std::string grey = dir.file("grey.icc");
    test::writeFile(grey, test::greyProfile());
    const struct {
        std::string file;
        bool refused;
    } cases[] = {{"", false}, {p3, false}, {grey, true}, {"p3.icc", true}, {dir.file("no"), true}};
    for (const auto& c : cases) {
        BehaviourOptions v;
        v.displayProfile = c.file;
        EXPECT_EQ(OptionsDialog::refusal(v).has_value(), c.refused) << c.file;
    }

    BehaviourOptions initial;
    initial.displayProfile = p3;
    OptionsDialog dialog(initial, OptionsDialog::doubleClickChoices({}));
    dialog.pages()->setCurrentIndex(dialog.pages()->count() - 1);
    EXPECT_EQ(dialog.pages()->tabText(dialog.pages()->currentIndex()), QStringLiteral("カラー"));
    dialog.check("ColorManagement")->setChecked(false);
    EXPECT_FALSE(dialog.displayProfile()->isEnabled() &&
                 dialog.displayProfile()->parentWidget()->isEnabled());
    dialog.check("ColorManagement")->setChecked(true);
    dialog.resize(dialog.sizeHint());
    test::saveScreenshot(dialog.grab().toImage(), "options-colour-page.png");
    const BehaviourOptions values = dialog.values();
    EXPECT_TRUE(values.colorManagement);
    EXPECT_EQ(values.displayProfile, p3);

    // Through the owner to the stored keys.
    DocumentOptions document;
    GridOptions grid;
    FrameSettings frame;
    BehaviourOptions off = values;
    off.colorManagement = false;
    off.applyTo(document, grid, frame);
    EXPECT_FALSE(document.colorManagement);
    EXPECT_EQ(document.displayProfile, p3);
    const auto entries = document.entries();
    const auto stored = [&](std::string_view key) {
        for (const auto& e : entries)
            if (e.section == "KPDoc" && e.key == key)
                return e.value;
        return std::string("(missing)");
    };
    EXPECT_EQ(stored("ColorManagement"), "0");
    EXPECT_EQ(stored("DisplayProfile"), p3);
}

} // namespace
} // namespace vemra
