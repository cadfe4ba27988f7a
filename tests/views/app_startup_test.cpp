#include "app/about_dialog.h"
#include "app/manual_file.h"
#include "app/splash_window.h"
#include "app/termination_signals.h"
#include "app/vemra_application.h"
#include "document/folder_document.h"
#include "framework/command_id.h"
#include "framework/message_box.h"
#include "imaging/decoder_registry.h"
#include "settings/settings_store.h"
#include "views/folder_tree.h"
#include "views/main_window.h"
#include "views/thumbnail_grid.h"
#include "views/window_placement.h"

#include "views_test_support.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

namespace vemra {
namespace {

namespace fs = std::filesystem;

class StartupTest : public ::testing::Test {
protected:
    StartupTest() {
        fs::create_directories(m_dir.path() / "bin");
        fs::create_directories(m_dir.path() / "cwd");
        fs::create_directories(m_dir.path() / "pictures,2024");
        useSettingsFile(ini());
    }
    std::string ini() const { return m_dir.file("vemra.ini"); }
    std::unique_ptr<VemraApp> start(std::vector<std::string> arguments) {
        auto app = std::make_unique<VemraApp>(
            StartupEnvironment{std::move(arguments), m_dir.file("bin"), m_dir.file("cwd")});
        EXPECT_TRUE(app->initInstance());
        return app;
    }

    test::TempDir m_dir;
};

TEST_F(StartupTest, StepsRunInOrderAndAQuotedFolderWithACommaOpens) {
    const std::string folder = m_dir.file("pictures,2024");
    auto app = start({"-nologo", folder + "/"});
    EXPECT_EQ(app->steps(),
              (std::vector<std::string>{"splash", "platform", "settings", "frame", "folder",
                                        "placement", "plugins", "startup finished"}));
    EXPECT_EQ(app->splash(), nullptr);
    EXPECT_EQ(app->firstFolder(), folder);
    EXPECT_EQ(app->document()->currentFolder(), folder);
    EXPECT_EQ(app->mainWindow()->folderTree()->selectedFolder(), folder);
    EXPECT_TRUE(app->mainWindow()->isVisible());
    // The about box is the application's command.
    EXPECT_TRUE(app->mainWindow()->action(kCmdAppAbout)->isEnabled());
}

TEST_F(StartupTest, SplashShowsItsLineWhilePluginsLoadUnlessNologo) {
    auto app = start({"/nologo"});
    EXPECT_EQ(app->splash(), nullptr);
    app.reset();

    app = start({});
    ASSERT_NE(app->splash(), nullptr);
    EXPECT_TRUE(app->splash()->isVisible());
    EXPECT_EQ(app->splash()->textRect(), QRect(QPoint(20, 20), QPoint(359, 149)));
    ASSERT_FALSE(app->splash()->textLines().empty());
    EXPECT_EQ(app->splash()->textLines()[0], "Vemraの初期設定を読み出しています");
    test::saveScreenshot(app->splash()->grab().toImage(), "splash.png");
    // Closing the main window early takes the splash with it.
    app->mainWindow()->close();
    EXPECT_FALSE(app->splash()->isVisible());
}

TEST_F(StartupTest, SplashPictureFromSplashBmpElseBuiltIn) {
    EXPECT_TRUE(SplashWindow::pictureFromFolder(m_dir.file("bin")).isNull());
    const QImage builtin = SplashWindow::builtinPicture();
    EXPECT_GE(builtin.width(), 360);
    EXPECT_GE(builtin.height(), 150);
    test::writeFile(
        m_dir.file("bin/splash.bmp"),
        test::bmpFile(test::infoHeader(2, 1, 24), test::bytes({0, 0, 255, 0, 255, 0, 0, 0})));
    const QImage file = SplashWindow::pictureFromFolder(m_dir.file("bin"));
    ASSERT_EQ(file.size(), QSize(2, 1));
    EXPECT_EQ(QColor(file.pixel(0, 0)), QColor(255, 0, 0));
    // A damaged file falls back to the built-in picture.
    test::writeFile(m_dir.file("bin/splash.bmp"), test::bytes({'B', 'M', 1, 2}));
    EXPECT_TRUE(SplashWindow::pictureFromFolder(m_dir.file("bin")).isNull());
    SplashWindow splash(SplashWindow::pictureFromFolder(m_dir.file("bin")));
    EXPECT_EQ(splash.picture().size(), builtin.size());
}

TEST_F(StartupTest, RestoreFolderAndHomeFolderChooseTheFirstFolder) {
    SettingsStore& store = settings();
    const std::string last = m_dir.file("pictures,2024");
    store.putText("KPDoc", "HomeFolder", "$(ExeDir)");
    store.putText("DrvView", "Path", last);
    auto app = start({"-nologo"});
    EXPECT_EQ(app->document()->currentFolder(), last);
    app.reset();

    settings().putInt("KPDoc", "RestoreFolder", 0);
    app = start({"-nologo"});
    EXPECT_EQ(app->document()->currentFolder(), m_dir.file("bin"));
}

TEST_F(StartupTest, WithoutStoredPlacementTheWindowTakesItsDefaultPlace) {
    auto app = start({"-nologo"});
    EXPECT_EQ(app->mainWindow()->size(), QSize(640, 480));
    EXPECT_EQ(WindowPlacement::load(settings()), std::nullopt);
}

TEST_F(StartupTest, ShutdownSavesAndTheNextRunComesBackWhereItWas) {
    const std::string folder = m_dir.file("pictures,2024");
    auto app = start({"-nologo", folder});
    WindowPlacement placed;
    placed.normalPosition = {40, 30, 840, 630};
    app->mainWindow()->applyPlacement(placed);
    app->exitInstance();
    app.reset();

    EXPECT_EQ(settings().getText("DrvView", "Path"), folder);
    EXPECT_EQ(WindowPlacement::load(settings())->normalPosition, placed.normalPosition);
    EXPECT_EQ(settings().getText("MainFrame", "StatusBar"), "1");
    // The document and the registry wrote their settings too.
    EXPECT_TRUE(settings().contains("KPDoc", "ThumbsSize"));
    EXPECT_TRUE(settings().contains("SPI", "SPISet"));

    app = start({"-nologo"});
    EXPECT_EQ(app->document()->currentFolder(), folder);
    EXPECT_EQ(app->mainWindow()->geometry(), QRect(40, 30, 800, 600));
}

TEST_F(StartupTest, ACellSizeChosenByCommandIsTheNextRunsSize) {
    auto app = start({"-nologo"});
    MainWindow* window = app->mainWindow();
    ASSERT_EQ(app->document()->thumbnailSize(), (IntPair{110, 110}));
    // "+" through the routing chain, as the key and the menu send it.
    ASSERT_TRUE(window->runCommand(kCmdLargerThumbnails));
    EXPECT_EQ(app->document()->thumbnailSize(), (IntPair{135, 135}));
    // The size menu: remember it, grow once more, take the remembered one.
    ASSERT_TRUE(window->runCommand(kCmdRememberSize));
    ASSERT_TRUE(window->runCommand(kCmdLargerThumbnails));
    EXPECT_EQ(app->document()->thumbnailSize(), (IntPair{160, 160}));
    ASSERT_TRUE(window->runCommand(kCmdRememberedSizeFirst));
    app->exitInstance();
    app.reset();
    EXPECT_EQ(settings().getText("KPDoc", "ThumbsSize"), "135,135");

    app = start({"-nologo"});
    EXPECT_EQ(app->document()->thumbnailSize(), (IntPair{135, 135}));
    EXPECT_EQ(app->mainWindow()->grid()->cellSize(), QSize(135, 135));
    // A column division is kept the same way.
    ASSERT_TRUE(app->mainWindow()->runCommand(kCmdDivideFirst + 1));
    const QSize divided = app->mainWindow()->grid()->cellSize();
    EXPECT_NE(divided, QSize(135, 135));
    app.reset();
    app = start({"-nologo"});
    EXPECT_EQ(app->mainWindow()->grid()->cellSize(), divided);
}

TEST_F(StartupTest, PluginsComeFromTheFolderBesideTheProgram) {
    // The build keeps its plug-ins in "plugins" beside the program.
    fs::create_directories(m_dir.path() / "bin" / "plugins");
    auto app = start({"-nologo"});
    EXPECT_EQ(app->pluginFolder(), m_dir.file("bin/plugins"));
    app.reset();
    settings().putText("SPI", "SPIDIR", m_dir.file("cwd"));
    app = start({"-nologo"});
    EXPECT_EQ(app->pluginFolder(), m_dir.file("cwd"));
}

// The program as a user first sees it, for the software centres' screenshot
// (desktop/screenshots/grid.png is taken from this one).
TEST_F(StartupTest, ScreenshotOfTheSamplesWithEveryThumbnailMade) {
    settings().putText("SPI", "SPIDIR", VEMRA_PLUGIN_DIR);
    // The samples in a home folder of their own, so the tree shows a user's
    // folders rather than this machine's.
    const fs::path home = m_dir.path() / "home";
    const fs::path pictures = home / "Pictures" / "samples";
    fs::create_directories(pictures);
    for (const fs::directory_entry& entry : fs::directory_iterator(test::samplesFolder())) {
        if (entry.is_regular_file()) {
            fs::copy_file(entry.path(), pictures / entry.path().filename());
        }
    }
    const QByteArray realHome = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(home.string()));
    auto app = start({"-nologo", pictures.string()});
    MainWindow* window = app->mainWindow();
    window->resize(1024, 640);
    QCoreApplication::processEvents();
    // Idle time makes the thumbnails, visible ones first, then the rest.
    int steps = 0;
    while (window->idle(steps) && steps < 5000) {
        ++steps;
    }
    EXPECT_LT(steps, 5000) << "the thumbnails were not all made";
    window->grid()->setFocus();
    QCoreApplication::processEvents();
    const std::string path = test::saveScreenshot(window->grab().toImage(), "appstream-grid.png");
    EXPECT_TRUE(fs::exists(path));
    app.reset();
    qputenv("HOME", realHome);
}

TEST(TerminationSignals, SigtermClosesTheWindowInTheEventLoop) {
    QWidget window;
    window.show();
    closeOnTerminationSignals(&window);
    ASSERT_EQ(::raise(SIGTERM), 0);
    // The handler only noted the request; the close happens in the loop.
    EXPECT_TRUE(window.isVisible());
    for (int i = 0; i < 20 && window.isVisible(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_FALSE(window.isVisible());
}

TEST(AboutBox, VersionLinesMemoryFiguresAndBars) {
    AboutDialog about;
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("versionLine0"))->text(),
              QStringLiteral("Vemra Version " VEMRA_VERSION));
    EXPECT_TRUE(about.findChild<QLabel*>(QStringLiteral("versionLine1"))
                    ->text()
                    .startsWith(QStringLiteral("Linux ")));
    EXPECT_TRUE(about.physicalLabel()->text().startsWith(QStringLiteral("物理ﾒﾓﾘｻｲｽﾞ ")));

    MemoryStatus status;
    status.totalPhysical = 16000000ULL * 1024;
    status.freePhysical = 4000100ULL * 1024;
    status.totalVirtual = 999;
    status.freeVirtual = 0;
    about.showMemory(status);
    EXPECT_EQ(about.physicalLabel()->text(), QStringLiteral("物理ﾒﾓﾘｻｲｽﾞ 15,625.0MB"));
    EXPECT_EQ(about.physicalFreeLabel()->text(), QStringLiteral("空きﾒﾓﾘｻｲｽﾞ 3,906.3MB"));
    EXPECT_EQ(about.virtualLabel()->text(), QStringLiteral("仮想ﾒﾓﾘｻｲｽﾞ 999.0B"));
    EXPECT_EQ(about.virtualFreeLabel()->text(), QStringLiteral("空きﾒﾓﾘｻｲｽﾞ 0.0B"));
    // Bars: the range is the total, the position the part in use.
    const QProgressBar* bar = about.physicalBar();
    EXPECT_NEAR(static_cast<double>(bar->value()) / bar->maximum(), 0.75, 0.001);
    EXPECT_EQ(about.virtualBar()->value(), about.virtualBar()->maximum());
    test::saveScreenshot(about.grab().toImage(), "about_box.png");

    // A manual that is not there is reported with the shell's code 2, in a
    // warning box with the shell's text.
    EXPECT_EQ(openHyperlink("file:///nonexistent/vemra/README.md"), 2);
    std::vector<std::string> shown;
    ScopedMessageBoxResponder responder(
        [&shown](MessageKind kind, MessageButtons, std::string_view text) {
            EXPECT_EQ(kind, MessageKind::Warning);
            shown.emplace_back(text);
            return MessageAnswer::Ok;
        });
    QLabel* link = about.findChild<QLabel*>(QStringLiteral("homePage"));
    ASSERT_NE(link, nullptr);
    emit link->linkActivated(QStringLiteral("file:///nonexistent/vemra/README.md"));
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "Unable to open hyperlink:\n\nThe specified file was not found."}));
}

// The manual is looked up beside the program first (the build tree), then in
// the installed place; a folder of the same name is not a manual.
TEST(AboutBox, TheManualIsFoundBesideTheProgramOrWhereItIsInstalled) {
    enum class Place { None, File, Folder };
    struct Case {
        Place beside;
        Place installed;
        const char* expected; // relative to the temporary folder, "" for none
    };
    const Case cases[] = {
        {Place::File, Place::File, "bin/README.md"},
        {Place::File, Place::None, "bin/README.md"},
        {Place::None, Place::File, "share/doc/vemra/README.md"},
        {Place::Folder, Place::File, "share/doc/vemra/README.md"},
        {Place::None, Place::None, ""},
        {Place::Folder, Place::Folder, ""},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const fs::path bin = dir.path() / "bin";
        const fs::path share = dir.path() / "share" / "doc" / "vemra";
        fs::create_directories(bin);
        fs::create_directories(share);
        for (const auto& [place, folder] : {std::pair{c.beside, bin}, {c.installed, share}}) {
            if (place == Place::File) {
                test::writeFile((folder / kManualFileName).string(), test::bytes({'#'}));
            } else if (place == Place::Folder) {
                fs::create_directory(folder / kManualFileName);
            }
        }
        const fs::path expected =
            *c.expected == '\0' ? fs::path() : (dir.path() / c.expected).lexically_normal();
        EXPECT_EQ(findManual(bin), expected) << c.expected;
    }
    // The build puts the manual beside `vemra`, at the top of the build tree.
    const fs::path buildTop = fs::path(VEMRA_CLI_PATH).parent_path().parent_path().parent_path();
    EXPECT_FALSE(findManual(buildTop).empty()) << buildTop;
}

} // namespace
} // namespace vemra
