#include "views/main_window.h"

#include "app/manual_file.h"
#include "app/vemra_application.h"
#include "document/document_options.h"
#include "document/store_location.h"
#include "document/thumb_cache_file.h"
#include "document/thumb_record.h"
#include "framework/command_id.h"
#include "framework/message_box.h"
#include "platform/profile_ini.h"
#include "views/cache_maintenance_dialog.h"
#include "views/frame_settings.h"
#include "views/grid_options.h"
#include "views/list_edit_dialog.h"
#include "views/options_dialog.h"
#include "views/thumbnail_grid.h"
#include "views/thumbnail_settings_dialog.h"
#include "views/viewer_options.h"

#include "views_test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>

namespace vemra {
namespace {

using KeyValues = std::map<std::string, std::string>;

KeyValues everything(SettingsStore& store) {
    KeyValues all;
    for (const std::string& section : store.sectionNames())
        for (const std::string& key : store.keyNames(section))
            all[section + "/" + key] = store.getText(section, key);
    return all;
}

// The keys whose values differ, or that only one side holds.
std::set<std::string> changedKeys(const KeyValues& before, const KeyValues& after) {
    std::set<std::string> changed;
    for (const auto& [key, value] : after)
        if (auto it = before.find(key); it == before.end() || it->second != value)
            changed.insert(key);
    for (const auto& [key, value] : before)
        if (!after.contains(key))
            changed.insert(key);
    return changed;
}

// Runs `command` in the window, and `act` on the modal dialog it opens.
template <class Dialog>
void withModalDialog(MainWindow& frame, int command, std::function<void(Dialog&)> act) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        seen = true;
        act(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    EXPECT_TRUE(frame.runCommand(command));
    EXPECT_TRUE(seen);
}

class SettingsDialogsTest : public ::testing::Test {
protected:
    SettingsDialogsTest() {
        // A settings file as a previous run leaves it: every owner's keys.
        f.store.putText("KPDoc", "DownScan", "1");
        f.store.putText("KPDoc", "IDViewer", "10207");
        f.store.putText("OnePic", "Stay", "1");
        f.store.putText("AppCall", "App0\\Title", "GIMP");
        f.document->options() = DocumentOptions::load(f.store);
        f.document->setSettingsStore(&f.store);
        f.document->saveOptions();
        GridOptions::load(f.store).save(f.store);
        FrameSettings::load(f.store).saveSwitches(f.store);
        // and the viewer's and the tree's switches, as their windows write them
        ViewerFrameOptions::load(f.store).save(f.store);
        f.store.putInt("DriveView", "Monitoring", 0);
        m_frame = std::make_unique<MainWindow>(*f.document, f.registry.get(), f.store);
    }
    ~SettingsDialogsTest() override { m_frame.reset(); }

    test::DocumentFixture f;
    std::unique_ptr<MainWindow> m_frame;
};

TEST_F(SettingsDialogsTest, OptionsDialogShowsTheStoredValuesAndWritesOnlyWhatChanged) {
    const KeyValues before = everything(f.store);
    withModalDialog<OptionsDialog>(*m_frame, kCmdBehaviourOptions, [](OptionsDialog& d) {
        EXPECT_TRUE(d.check("DownScan")->isChecked());
        EXPECT_TRUE(d.check("Stay")->isChecked());
        EXPECT_TRUE(d.check("TopMost")->isChecked()); // its default
        EXPECT_EQ(d.doubleClick()->currentData().toInt(), kCmdFullScreen);
        EXPECT_EQ(d.doubleClick()->count(), 4); // three built-in and GIMP
        EXPECT_EQ(d.doubleClick()->itemText(3), QStringLiteral(" GIMP"));
        EXPECT_EQ(d.syncFileCount()->value(), 200);
        for (int i = 0; i < d.pages()->count(); ++i) {
            d.pages()->setCurrentIndex(i);
            test::saveScreenshot(d.grab().toImage(),
                                 "options-dialog-page" + std::to_string(i) + ".png");
        }
        d.check("DownScan")->setChecked(false);
        d.check("TopMost")->setChecked(false);
        d.check("Monitoring")->setChecked(true);
        d.syncFileCount()->setValue(50);
        d.driveTree()->setChecked(true);
        d.doubleClick()->setCurrentIndex(3);
        d.okButton()->click();
    });
    EXPECT_EQ(changedKeys(before, everything(f.store)),
              (std::set<std::string>{"KPDoc/DownScan", "KPDoc/IDViewer", "OnePic/TopMost",
                                     "DriveView/Monitoring", "KPView/SyncFileCount",
                                     "DrvView/ShellTree"}));
    EXPECT_EQ(f.store.getInt("KPDoc", "IDViewer", 0), 20000);
    EXPECT_EQ(f.store.getInt("KPView", "SyncFileCount", 0), 50);
    // Taken at once by the owners in memory.
    EXPECT_FALSE(f.document->options().downScan);
    EXPECT_EQ(m_frame->grid()->options().syncFileCount, 50);

    // Cancel writes nothing, whatever was changed.
    const KeyValues afterOk = everything(f.store);
    withModalDialog<OptionsDialog>(*m_frame, kCmdBehaviourOptions, [](OptionsDialog& d) {
        d.check("TrashCan")->setChecked(false);
        d.cacheDataFolder()->setText(QStringLiteral("/tmp/elsewhere"));
        d.reject();
    });
    EXPECT_EQ(everything(f.store), afterOk);
    EXPECT_TRUE(f.document->options().trashCan);
}

TEST_F(SettingsDialogsTest, OptionsDialogRefusesFoldersThatCannotServe) {
    test::writeFile(f.dir.file("a-file"), {});
    struct Case {
        std::string home;
        std::string cache;
        bool refused;
    };
    const Case cases[] = {
        {"", "", false},
        {"$(ExeDir)", "$(ExeDir)/cache", false},
        {f.dir.path().string(), f.dir.file("not-yet/made"), false}, // made when first used
        {"relative/folder", "", true},
        {f.dir.file("absent"), "", true},
        {"", "cache", true},
        {"", f.dir.file("a-file"), true},
    };
    for (const Case& c : cases) {
        BehaviourOptions v;
        v.homeFolder = c.home;
        v.cacheDataFolder = c.cache;
        EXPECT_EQ(OptionsDialog::refusal(v).has_value(), c.refused) << c.home << " " << c.cache;
    }

    // A refused OK keeps the dialog open and writes nothing.
    const KeyValues before = everything(f.store);
    withModalDialog<OptionsDialog>(*m_frame, kCmdBehaviourOptions, [&](OptionsDialog& d) {
        ScopedMessageBoxResponder quiet(
            [](MessageKind, MessageButtons, std::string_view) { return MessageAnswer::Ok; });
        d.homeFolder()->setText(QString::fromStdString(f.dir.file("absent")));
        d.okButton()->click();
        EXPECT_TRUE(d.isVisible());
        d.reject();
    });
    EXPECT_EQ(everything(f.store), before);
}

TEST_F(SettingsDialogsTest, ThumbnailSettingsPreviewFollowsTheControlsAndOkAppliesAtOnce) {
    // The grid keeps cells within its view: give it room.
    m_frame->resize(900, 700);
    m_frame->show();
    const KeyValues before = everything(f.store);
    withModalDialog<ThumbnailSettingsDialog>(
        *m_frame, kCmdThumbnailOptions, [](ThumbnailSettingsDialog& d) {
            EXPECT_EQ(d.cellWidth()->value(), 110);
            EXPECT_EQ(d.captionLines()->toPlainText(), QStringLiteral("$(PicName)"));
            EXPECT_EQ(d.scaleMode()->currentData().toInt(), 10);
            EXPECT_EQ(d.scaleMode()->count(), 5);
            EXPECT_TRUE(d.check("Unsharp")->isChecked());
            const QImage first = d.preview()->pixmap().toImage();
            ASSERT_FALSE(first.isNull());
            // Inside the cell, left of the picture: the cell background.
            const QPoint inCell(12 + 3, 12 + 20);
            EXPECT_EQ(first.pixelColor(inCell), QColor(192, 192, 192));
            d.setColour("colBackGround", QColor(255, 0, 0));
            EXPECT_EQ(d.preview()->pixmap().toImage().pixelColor(inCell), QColor(255, 0, 0));
            d.captionLines()->setPlainText(QStringLiteral("$(PicName)\n\n$(W)x$(H) \"$(C)b\""));
            d.cellWidth()->setValue(150);
            const QImage second = d.preview()->pixmap().toImage();
            EXPECT_EQ(second.width(), 150 + 24);
            test::saveScreenshot(d.grab().toImage(), "thumbnail-settings-dialog.png");
            d.okButton()->click();
        });
    EXPECT_EQ(changedKeys(before, everything(f.store)),
              (std::set<std::string>{"KPDoc/ThumbsSize", "ZRVxFile/NameFormat",
                                     "ZRVxFile/colBackGround"}));
    EXPECT_EQ(f.store.getText("KPDoc", "ThumbsSize"), "150,110");
    EXPECT_EQ(f.store.getText("ZRVxFile", "NameFormat"), "\"$(PicName)\",\"$(W)x$(H) $(C)b\"");
    EXPECT_EQ(f.store.getInt("ZRVxFile", "colBackGround", 0), 0x0000FF);
    // The document and the grid took them.
    EXPECT_EQ(f.document->thumbnailSize(), (IntPair{150, 110}));
    EXPECT_EQ(f.document->options().captionLines.size(), 2u);

    const KeyValues afterOk = everything(f.store);
    withModalDialog<ThumbnailSettingsDialog>(*m_frame, kCmdThumbnailOptions,
                                             [](ThumbnailSettingsDialog& d) {
                                                 d.cellWidth()->setValue(60);
                                                 d.check("Frame")->setChecked(true);
                                                 d.reject();
                                             });
    EXPECT_EQ(everything(f.store), afterOk);
    EXPECT_EQ(f.document->thumbnailSize(), (IntPair{150, 110}));

    // Captions shown with no line to show are refused.
    DocumentOptions o;
    o.captionLines.clear();
    EXPECT_TRUE(ThumbnailSettingsDialog::refusal(o).has_value());
    o.name = false;
    EXPECT_FALSE(ThumbnailSettingsDialog::refusal(o).has_value());
}

// A central cache file for `folder` holding records of `names`.
void storeRecords(const std::string& central, const std::string& folder,
                  const std::vector<std::string>& names) {
    ThumbCacheFile file(folder, locateStoreFile(folder, central, kThumbStore));
    for (const std::string& name : names) {
        ThumbRecord record;
        record.setText(ThumbRecord::FileName, name);
        record.setU32(ThumbRecord::PictureWidth, 640);
        record.setJpegData(test::bytes({0xFF, 0xD8, 0xFF, 0xD9}));
        file.put(std::move(record));
    }
    ASSERT_TRUE(file.write());
}

TEST(CacheMaintenance, OptimisingDropsMissingPicturesAndNeverTouchesAbsentMedia) {
    test::TempDir dir;
    const std::string central = dir.file("cache");
    const std::string pictures = dir.file("pictures");
    std::filesystem::create_directories(pictures);
    for (const char* name : {"a.jpg", "b.jpg"})
        test::writeFile(pictures + "/" + name, test::bytes({1}));
    storeRecords(central, pictures, {"a.jpg", "b.jpg"});
    // A folder of a medium not mounted now: its key keeps the serial it had.
    const std::string absent = dir.file("unmounted/disc");
    storeRecords(central, absent, {"c.jpg"});
    ProfileIni list(central + "/_cache_.lst");
    const std::string absentKey = storeFolderKey(absent);
    const std::string absentFile = list.readText("Thumbsnail", absentKey);
    list.deleteKey("Thumbsnail", absentKey);
    list.writeText("Thumbsnail", "1234ABCD" + absent, absentFile);

    std::filesystem::remove(pictures + "/b.jpg");
    CacheMaintenanceDialog d(central);
    ASSERT_EQ(d.presentRoot()->childCount(), 1);
    ASSERT_EQ(d.absentRoot()->childCount(), 1);
    // The present folder's records, the missing one greyed.
    QTreeWidgetItem* leaf = d.presentRoot();
    while (leaf->childCount() > 0)
        leaf = leaf->child(0);
    d.folderTree()->setCurrentItem(leaf);
    ASSERT_EQ(d.recordList()->topLevelItemCount(), 2);
    EXPECT_EQ(d.recordList()->topLevelItem(0)->text(4), QStringLiteral("640x0 0bpp"));
    test::saveScreenshot(d.grab().toImage(), "cache-maintenance-dialog.png");

    // Ticking a root ticks everything below it.
    d.presentRoot()->setCheckState(0, Qt::Checked);
    d.absentRoot()->setCheckState(0, Qt::Checked);
    EXPECT_EQ(leaf->checkState(0), Qt::Checked);
    EXPECT_EQ(d.optimise(), 1);
    EXPECT_EQ(d.recordList()->topLevelItemCount(), 1);
    EXPECT_TRUE(std::filesystem::exists(central + "/" + absentFile));

    // The last picture gone: the file, its key and its items go too.
    std::filesystem::remove(pictures + "/a.jpg");
    EXPECT_EQ(d.optimise(), 1);
    EXPECT_EQ(d.presentRoot()->childCount(), 0);
    const auto left = listCachedFolders(central);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_FALSE(left[0].present);
    EXPECT_EQ(left[0].folder, absent);
}

TEST_F(SettingsDialogsTest, ListEditingDeletesEntriesAndMovesTheRestUp) {
    for (int i = 0; i < 3; ++i)
        f.store.putText("Filer", "Folder" + std::to_string(i), "/dest/" + std::to_string(i));
    f.store.putText("DrvView", "QUICKACC_0", "/quick");
    const KeyValues before = everything(f.store);
    {
        ListEditDialog d(f.store);
        EXPECT_EQ(d.listChoice()->currentIndex(), 0);
        ASSERT_EQ(d.entries()->count(), 3);
        d.entries()->item(1)->setSelected(true);
        d.deleteButton()->click();
        ASSERT_EQ(d.entries()->count(), 2);
        EXPECT_EQ(d.entries()->item(1)->text(), QStringLiteral("/dest/2"));
        test::saveScreenshot(d.grab().toImage(), "list-edit-dialog.png");
        d.reject();
    }
    EXPECT_EQ(everything(f.store), before); // cancelled

    ListEditDialog d(f.store);
    d.entries()->item(1)->setSelected(true);
    d.deleteButton()->click();
    d.listChoice()->setCurrentIndex(1); // quick access
    ASSERT_EQ(d.entries()->count(), 1);
    d.deleteAllButton()->click();
    d.okButton()->click();
    EXPECT_EQ(f.store.getText("Filer", "Folder0"), "/dest/0");
    EXPECT_EQ(f.store.getText("Filer", "Folder1"), "/dest/2");
    EXPECT_EQ(f.store.getText("Filer", "Folder2"), "");
    EXPECT_EQ(f.store.getText("DrvView", "QUICKACC_0"), "");
    EXPECT_EQ(f.store.getText("Filter", "Filter0"), ""); // untouched lists stay unwritten
    EXPECT_FALSE(f.store.contains("Html", "Folder0"));
}

TEST(UserGuide, FoundBesideTheProgramOrInstalledAndMissingIsSaid) {
    test::TempDir dir;
    const std::filesystem::path bin = dir.path() / "bin";
    std::filesystem::create_directories(bin);
    EXPECT_TRUE(findUserGuide(bin).empty());
    std::filesystem::create_directories(dir.path() / "share/doc/vemra/guide");
    test::writeFile((dir.path() / "share/doc/vemra/guide/index.html").string(), {});
    EXPECT_EQ(findUserGuide(bin), dir.path() / "share/doc/vemra/guide/index.html");
    std::filesystem::create_directories(bin / "guide");
    test::writeFile((bin / "guide/index.html").string(), {});
    EXPECT_EQ(findUserGuide(bin), bin / "guide/index.html");

    // The test program's folder holds no guide: the user is told.
    std::string said;
    ScopedMessageBoxResponder record([&](MessageKind, MessageButtons, std::string_view text) {
        said = text;
        return MessageAnswer::Ok;
    });
    EXPECT_FALSE(openUserGuide(nullptr));
    EXPECT_NE(said.find("guide/index.html"), std::string::npos);
}

} // namespace
} // namespace vemra
