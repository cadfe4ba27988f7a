// The wallpaper: the colour adjustment's numbers, the file written for each
// placement, and each desktop's command lines, run against recording
// stand-ins so that this machine's desktop is never touched.

#include "document/wallpaper.h"

#include "../imaging/test_support.h"
#include "imaging/bmp_file.h"
#include "imaging/colour_adjustment.h"
#include "platform/program_runner.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vemra {
namespace {

namespace fs = std::filesystem;

TEST(Wallpaper, AdjustsColours) {
    struct Case {
        int value, brightness, offset, want;
    } const cases[] = {
        {100, 50, 0, 190},   {100, -50, 0, 10}, {0, 100, 0, 0},    {255, 100, 0, 255},
        {200, 50, 0, 255},   {37, 0, 255, 255}, {37, 0, -255, 0},  {100, 0, 0, 100},
        {100, 50, -100, 90}, {1, -100, 0, 1},   {4, -100, 10, 10},
    };
    for (const Case& c : cases)
        EXPECT_EQ(adjustComponent(c.value, c.brightness, c.offset), c.want)
            << c.value << " " << c.brightness << " " << c.offset;

    // A 24-bit picture: every pixel; a red offset of 255 makes red full.
    PictureBuffer picture = PictureBuffer::create(3, 2, 24);
    picture.setPixel(0, 0, colourWord(100, 100, 100));
    picture.setPixel(2, 1, colourWord(10, 20, 30));
    PictureBuffer out = adjustColours(picture, {0, 255, 0, 0});
    ASSERT_TRUE(out);
    EXPECT_EQ(out.pixel(0, 0), colourWord(255, 100, 100));
    EXPECT_EQ(out.pixel(2, 1), colourWord(255, 20, 30));
    out = adjustColours(picture, {50, 0, 0, 0});
    EXPECT_EQ(out.pixel(0, 0), colourWord(190, 190, 190));
    EXPECT_EQ(picture.pixel(0, 0), colourWord(100, 100, 100)) << "the original stays";

    // A palette picture: its colour table, its indexes as they were.
    PictureBuffer palette = test::patternPicture(4, 4, 8);
    palette.setPaletteColour(3, colourWord(100, 0, 50));
    out = adjustColours(palette, {-50, 0, 20, 0});
    ASSERT_EQ(out.bitCount(), 8);
    EXPECT_EQ(out.paletteColour(3), colourWord(10, 20, 7));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(out.pixel(x, y), palette.pixel(x, y));
    // Deeper pictures come back as 24 bits.
    EXPECT_EQ(adjustColours(test::patternPicture(4, 4, 32), {10, 0, 0, 0}).bitCount(), 24);
    EXPECT_FALSE(adjustColours(PictureBuffer(), {}));
}

TEST(Wallpaper, WritesThePictureForEachPlacement) {
    test::TempDir dir;
    struct Case {
        int width, height, mode, wantWidth, wantHeight;
    } const cases[] = {
        {640, 480, 3, 1024, 768}, {800, 400, 3, 1024, 512}, {640, 480, 0, 640, 480},
        {640, 480, 1, 640, 480},  {300, 500, 2, 1024, 768}, {2000, 100, 3, 1024, 51},
    };
    for (const Case& c : cases) {
        WallpaperOptions options;
        options.mode = c.mode;
        options.bright = 10;
        const WallpaperResult r =
            applyWallpaper(test::patternPicture(c.width, c.height, 8), options, 1024, 768,
                           dir.file("Vemra"), false, DesktopKind::Other);
        ASSERT_EQ(r.code, 0);
        EXPECT_EQ(r.path, dir.file("Vemra") + "/KPZ_WALL.BMP");
        const ReadResult written = readBmpFile(r.path);
        ASSERT_TRUE(written);
        EXPECT_EQ(written.picture.width(), c.wantWidth)
            << c.width << "x" << c.height << " " << c.mode;
        EXPECT_EQ(written.picture.height(), c.wantHeight) << c.width << "x" << c.height;
    }
    // A name ending in ".png" or ".jpg" asks for that format.
    for (const char* name : {"wall.PNG", "wall.jpg"}) {
        WallpaperOptions options;
        options.fileName = name;
        const WallpaperResult r = applyWallpaper(test::patternPicture(16, 16, 24), options, 1024,
                                                 768, dir.file("Vemra"), false, DesktopKind::Other);
        ASSERT_EQ(r.code, 0) << name;
        const std::vector<std::byte> bytes = test::readFile(r.path);
        ASSERT_GE(bytes.size(), 4u);
        EXPECT_EQ(bytes[1], static_cast<std::byte>(name[5] == 'P' ? 'P' : 0xD8)) << name;
    }
    // A folder that cannot be made is -3; a picture that cannot be adjusted -2.
    test::writeFile(dir.file("file"), {});
    EXPECT_EQ(applyWallpaper(test::patternPicture(4, 4, 24), {}, 1024, 768,
                             dir.file("file") + "/sub", false, DesktopKind::Other)
                  .code,
              -3);
    EXPECT_EQ(
        applyWallpaper(PictureBuffer(), {}, 1024, 768, dir.file("Vemra"), false, DesktopKind::Other)
            .code,
        -2);
    EXPECT_EQ(wallpaperFailureText(-3), "壁紙の変更に失敗しました.[ErrCode=-3]");

    // Stored values out of range are brought in; a file name cannot leave
    // the folder.
    SettingsStore store(dir.file("vemra.ini"));
    store.putText("WallPaper", "Mode", "7");
    store.putText("WallPaper", "Bright", "-300");
    store.putText("WallPaper", "Red", "999");
    store.putText("WallPaper", "FileName", "../../evil.bmp");
    const WallpaperOptions loaded = WallpaperOptions::load(store);
    EXPECT_EQ(loaded.mode, 3);
    EXPECT_EQ(loaded.bright, -100);
    EXPECT_EQ(loaded.red, 255);
    EXPECT_EQ(loaded.fileName, "evil.bmp");
    {
        const test::ScopedEnvironment data("XDG_DATA_HOME", dir.file("data"));
        EXPECT_EQ(wallpaperFolder(), dir.file("data") + "/Vemra");
    }
}

TEST(Wallpaper, KnowsTheDesktops) {
    struct Case {
        const char* value;
        DesktopKind kind;
    } const cases[] = {
        {"GNOME", DesktopKind::Gnome},
        {"ubuntu:GNOME", DesktopKind::Gnome},
        {"Budgie:GNOME", DesktopKind::Budgie},
        {"X-Cinnamon", DesktopKind::Cinnamon},
        {"MATE", DesktopKind::Mate},
        {"KDE", DesktopKind::Plasma},
        {"xfce", DesktopKind::Xfce},
        {"i3", DesktopKind::Other},
        {"", DesktopKind::Other},
        {"sway:wlroots", DesktopKind::Other},
    };
    for (const Case& c : cases)
        EXPECT_EQ(desktopKindOf(c.value), c.kind) << c.value;
}

// Programs standing in for the desktops' own: each appends its name and
// arguments, tab-separated, to one log. xfconf-query lists two backdrops.
class DesktopStandIns : public ::testing::Test {
protected:
    void install(const std::vector<std::string>& programs, const std::string& failing = "") {
        for (const std::string& name : programs) {
            const std::string path = m_dir.file("bin/" + name);
            fs::create_directories(m_dir.file("bin"));
            std::ofstream script(path);
            script << "#!/bin/sh\n"
                   << "{ printf '%s' '" << name << "'; for a in \"$@\"; do printf '\\t%s' \"$a\"; "
                   << "done; printf '\\n'; } >> '" << log() << "'\n";
            if (name == "xfconf-query")
                script << "[ \"$3\" = -l ] && printf '%s\\n' /backdrop/screen0/monitorHDMI-1/"
                          "workspace0/last-image /backdrop/screen0/monitorHDMI-1/workspace0/"
                          "image-style /backdrop/screen0/monitor1/workspace1/last-image\n";
            script << (name == failing ? "exit 1\n" : "exit 0\n");
            script.close();
            fs::permissions(path, fs::perms::owner_all);
        }
    }
    std::string log() const { return m_dir.file("log"); }
    std::string logged() const {
        std::ifstream in(log());
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    test::TempDir m_dir;
};

TEST_F(DesktopStandIns, TellEachDesktopThroughItsOwnInterface) {
    const std::string picture = "/home/u/.local/share/Vemra/KPZ WALL's.BMP";
    const std::string uri = "file:///home/u/.local/share/Vemra/KPZ%20WALL%27s.BMP";
    struct Case {
        DesktopKind desktop;
        int mode;
        std::vector<std::string> programs;
        std::string want;
    } const cases[] = {
        {DesktopKind::Gnome,
         3,
         {"gsettings"},
         "gsettings\tset\torg.gnome.desktop.background\tpicture-uri\t" + uri +
             "\n"
             "gsettings\tset\torg.gnome.desktop.background\tpicture-uri-dark\t" +
             uri +
             "\n"
             "gsettings\tset\torg.gnome.desktop.background\tpicture-options\tscaled\n"},
        {DesktopKind::Budgie,
         1,
         {"gsettings"},
         "gsettings\tset\torg.gnome.desktop.background\tpicture-uri\t" + uri +
             "\n"
             "gsettings\tset\torg.gnome.desktop.background\tpicture-uri-dark\t" +
             uri +
             "\n"
             "gsettings\tset\torg.gnome.desktop.background\tpicture-options\twallpaper\n"},
        {DesktopKind::Cinnamon,
         2,
         {"gsettings"},
         "gsettings\tset\torg.cinnamon.desktop.background\tpicture-uri\t" + uri +
             "\n"
             "gsettings\tset\torg.cinnamon.desktop.background\tpicture-options\tstretched\n"},
        {DesktopKind::Mate,
         0,
         {"gsettings"},
         "gsettings\tset\torg.mate.background\tpicture-filename\t" + picture +
             "\n"
             "gsettings\tset\torg.mate.background\tpicture-options\tcentered\n"},
        {DesktopKind::Plasma,
         0,
         {"gdbus", "qdbus"},
         "gdbus\tcall\t--session\t--dest\torg.kde.plasmashell\t--object-path\t/PlasmaShell\t"
         "--method\torg.kde.PlasmaShell.evaluateScript\t\"var all = desktops(); for (var i = 0; "
         "i < all.length; i++) { var d = all[i]; d.wallpaperPlugin = 'org.kde.image'; "
         "d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General']; "
         "d.writeConfig('Image', '" +
             uri + "'); d.writeConfig('FillMode', 6); }\"\n"},
        {DesktopKind::Plasma,
         3,
         {"qdbus"},
         "qdbus\torg.kde.plasmashell\t/PlasmaShell\torg.kde.PlasmaShell.evaluateScript\t"
         "var all = desktops(); for (var i = 0; i < all.length; i++) { var d = all[i]; "
         "d.wallpaperPlugin = 'org.kde.image'; "
         "d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General']; "
         "d.writeConfig('Image', '" +
             uri + "'); d.writeConfig('FillMode', 1); }\n"},
        {DesktopKind::Xfce,
         1,
         {"xfconf-query"},
         "xfconf-query\t-c\txfce4-desktop\t-l\n"
         "xfconf-query\t-c\txfce4-desktop\t-p\t/backdrop/screen0/monitorHDMI-1/workspace0/"
         "last-image\t-s\t" +
             picture +
             "\n"
             "xfconf-query\t-c\txfce4-desktop\t-p\t/backdrop/screen0/monitorHDMI-1/workspace0/"
             "image-style\t-n\t-t\tint\t-s\t2\n"
             "xfconf-query\t-c\txfce4-desktop\t-p\t/backdrop/screen0/monitor1/workspace1/"
             "last-image\t-s\t" +
             picture +
             "\n"
             "xfconf-query\t-c\txfce4-desktop\t-p\t/backdrop/screen0/monitor1/workspace1/"
             "image-style\t-n\t-t\tint\t-s\t2\n"},
        {DesktopKind::Other, 3, {"feh", "xwallpaper"}, "feh\t--bg-max\t" + picture + "\n"},
        {DesktopKind::Other, 1, {"xwallpaper"}, "xwallpaper\t--tile\t" + picture + "\n"},
        // A desktop whose own program is missing falls back to an X setter.
        {DesktopKind::Gnome, 2, {"xwallpaper"}, "xwallpaper\t--stretch\t" + picture + "\n"},
    };
    for (const Case& c : cases) {
        fs::remove_all(m_dir.file("bin"));
        fs::remove(log());
        install(c.programs);
        const test::ScopedEnvironment path("PATH", m_dir.file("bin"));
        EXPECT_TRUE(setDesktopWallpaper(picture, c.mode, c.desktop));
        EXPECT_EQ(logged(), c.want) << static_cast<int>(c.desktop) << " " << c.mode;
    }
}

TEST_F(DesktopStandIns, RefusalsAndMissingPrograms) {
    // Nothing to tell any desktop with: the system's refusal.
    fs::create_directories(m_dir.file("bin"));
    {
        const test::ScopedEnvironment path("PATH", m_dir.file("bin"));
        for (DesktopKind d :
             {DesktopKind::Gnome, DesktopKind::Plasma, DesktopKind::Xfce, DesktopKind::Other})
            EXPECT_FALSE(setDesktopWallpaper("/p.bmp", 0, d));
    }
    // A program that fails is a refusal; the dark picture may fail alone.
    install({"gsettings"}, "gsettings");
    {
        const test::ScopedEnvironment path("PATH", m_dir.file("bin"));
        EXPECT_FALSE(setDesktopWallpaper("/p.bmp", 0, DesktopKind::Gnome));
    }
    // The whole road: the file written, then the desktop told.
    fs::remove_all(m_dir.file("bin"));
    fs::remove(log());
    install({"xwallpaper"});
    const test::ScopedEnvironment path("PATH", m_dir.file("bin"));
    const WallpaperResult r = applyWallpaper(test::patternPicture(8, 8, 24), {}, 1024, 768,
                                             m_dir.file("Vemra"), true, DesktopKind::Other);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(logged(), "xwallpaper\t--center\t" + r.path + "\n");
    fs::remove_all(m_dir.file("bin"));
    EXPECT_EQ(applyWallpaper(test::patternPicture(8, 8, 24), {}, 1024, 768, m_dir.file("Vemra"),
                             true, DesktopKind::Other)
                  .code,
              -1);
}

TEST(ProgramRunner, CollectsOutputAndStopsAHangingProgram) {
    ProgramRun run = runProgram({"sh", "-c", "printf 'a\\nb'; exit 3"});
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.output, "a\nb");
    EXPECT_FALSE(runProgram({"no-such-program-anywhere"}).started);
    // Output closed, still running: killed when the time is up.
    run = runProgram({"sh", "-c", "exec >&-; sleep 30"}, std::chrono::milliseconds(200));
    EXPECT_TRUE(run.timedOut);
    EXPECT_FALSE(run.succeeded());
    run = runProgram({"sleep", "30"}, std::chrono::milliseconds(200));
    EXPECT_TRUE(run.timedOut);
}

} // namespace
} // namespace vemra
