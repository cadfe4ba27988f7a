#include "views/folder_tree.h"

#include "document/transfer_data.h"
#include "framework/command_id.h"
#include "framework/command_table.h"
#include "framework/folder_monitor.h"
#include "framework/message_box.h"
#include "views/folder_name_dialog.h"
#include "views/main_window.h"
#include "views/quick_access_list.h"

#include "views_test_support.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <filesystem>

namespace vemra {
namespace {

namespace fs = std::filesystem;

TEST(QuickAccessList, DuplicatesFrontAndTheTenKept) {
    test::TempDir dir;
    SettingsStore store(dir.file("vemra.ini"));
    QuickAccessList list;
    EXPECT_TRUE(list.add("/a"));
    EXPECT_FALSE(list.add("/a")); // a duplicate leaves one entry
    EXPECT_TRUE(list.add("/A"));  // another folder: names are exact
    for (int i = 0; i < 9; ++i) {
        list.add("/f" + std::to_string(i));
    }
    // The eleventh pushed the oldest out.
    ASSERT_EQ(list.paths().size(), 10u);
    EXPECT_EQ(list.paths().front(), "/f8");
    EXPECT_EQ(list.paths().back(), "/A");
    // Choosing the fifth moves it to the front, the others keep their order.
    EXPECT_EQ(list.choose(4), "/f4");
    EXPECT_EQ(list.paths()[0], "/f4");
    EXPECT_EQ(list.paths()[1], "/f8");
    EXPECT_EQ(list.paths()[4], "/f5");
    EXPECT_EQ(list.choose(10), "");

    list.save(store);
    EXPECT_EQ(store.getText("DrvView", "QUICKACC_0"), "/f4");
    EXPECT_EQ(QuickAccessList::load(store).paths(), list.paths());
    QuickAccessList shorter;
    shorter.add("/only");
    shorter.save(store);
    EXPECT_EQ(store.getText("DrvView", "QUICKACC_1", "unset"), "");
    store.putText("DrvView", "QUICKACC_3", "/only"); // edited by hand
    EXPECT_EQ(QuickAccessList::load(store).paths().size(), 1u);
}

TEST(FolderNameDialog, TheNameMustBeAFoldersName) {
    FolderNameDialog rename(FolderNameDialog::Purpose::Rename, "/pictures/2024 夏");
    EXPECT_EQ(rename.name(), "2024 夏");
    EXPECT_EQ(rename.windowTitle(), QStringLiteral("フォルダの名前変更"));
    for (const char* bad : {"", ".", "..", "a/b"}) {
        rename.nameEdit()->setText(QString::fromUtf8(bad));
        EXPECT_FALSE(rename.okButton()->isEnabled()) << bad;
    }
    rename.nameEdit()->setText(QStringLiteral("新しい名前"));
    EXPECT_TRUE(rename.okButton()->isEnabled());
    FolderNameDialog create(FolderNameDialog::Purpose::Create, "/pictures");
    EXPECT_EQ(create.name(), "");
    EXPECT_FALSE(create.okButton()->isEnabled());
}

// A drive tree over a fake set of volumes inside the test's folder.
class FolderTreeTest : public ::testing::Test {
protected:
    FolderTreeTest() { fs::create_directories(f.dir.file("vol")); }
    std::string makeFolder(const std::string& name) {
        const std::string path = f.dir.file(name);
        fs::create_directories(path);
        return path;
    }
    std::unique_ptr<FolderTree> makeTree(FolderTree::Kind kind = FolderTree::Kind::Drives) {
        auto tree = std::make_unique<FolderTree>(*f.document, f.store, kind);
        tree->setVolumeSource([this] { return m_volumes; });
        tree->setNameAsker([this](FolderTree::NamePurpose purpose, const std::string& folder) {
            asked.emplace_back(purpose, folder);
            return answer;
        });
        return tree;
    }
    // Records message boxes and answers Yes.
    ScopedMessageBoxResponder messages{[this](MessageKind, MessageButtons, std::string_view text) {
        boxes.emplace_back(text);
        return boxAnswer;
    }};

    test::DocumentFixture f;
    std::vector<MountedVolume> m_volumes{{f.dir.file("vol"), "/dev/fake1", "ext4"}};
    std::vector<std::pair<FolderTree::NamePurpose, std::string>> asked;
    std::optional<std::string> answer;
    std::vector<std::string> boxes;
    MessageAnswer boxAnswer = MessageAnswer::Yes;
};

TEST_F(FolderTreeTest, RootsAndSelectingAPathOpensIt) {
    const std::string deep = makeFolder("a/b/c");
    auto tree = makeTree();
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(FolderTree::pathOf(tree->topLevelItem(0)), "/");
    EXPECT_EQ(FolderTree::pathOf(tree->topLevelItem(1)), f.dir.file("vol"));
    EXPECT_TRUE(tree->selectPath(deep + "/"));
    EXPECT_EQ(tree->selectedFolder(), deep);
    EXPECT_EQ(f.document->currentFolder(), deep);
    // Each level on the way was read and opened.
    EXPECT_TRUE(tree->findItem(f.dir.file("a"))->isExpanded());
    // A path that does not exist selects its nearest existing folder.
    EXPECT_TRUE(tree->selectPath(deep + "/gone/deeper"));
    EXPECT_EQ(tree->selectedFolder(), deep);
    EXPECT_FALSE(tree->selectPath("relative/path"));

    // Hidden folders show; names sort as a file manager sorts them.
    makeFolder("s/.hidden");
    makeFolder("s/img10");
    makeFolder("s/img2");
    makeFolder("s/Beta");
    makeFolder("s/alpha");
    tree->refreshPath(f.dir.path().string());
    QTreeWidgetItem* s = tree->findItem(f.dir.file("s"));
    ASSERT_NE(s, nullptr);
    tree->populate(s);
    QStringList names;
    for (int i = 0; i < s->childCount(); ++i) {
        names << s->child(i)->text(0);
    }
    EXPECT_EQ(names, (QStringList{".hidden", "alpha", "Beta", "img2", "img10"}));
}

TEST_F(FolderTreeTest, CreateRenameAndDeleteFolders) {
    const std::string parent = makeFolder("p");
    makeFolder("p/a");
    makeFolder("p/b");
    makeFolder("p/c");
    fs::create_directories(parent + "/b/inner");
    test::writeFile(parent + "/b/inner/x.bmp", test::bytes({1}));
    f.document->options().trashCan = false;
    auto tree = makeTree();
    ASSERT_TRUE(tree->selectPath(parent));

    answer = "新規";
    EXPECT_TRUE(tree->createFolder());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].second, parent);
    EXPECT_TRUE(fs::is_directory(parent + "/新規"));
    EXPECT_EQ(tree->selectedFolder(), parent + "/新規");
    EXPECT_EQ(f.document->currentFolder(), parent + "/新規");

    // A name that is there already fails with the design's message.
    ASSERT_TRUE(tree->selectPath(parent));
    answer = "a";
    EXPECT_FALSE(tree->createFolder());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "a フォルダの作成に失敗しました");

    answer = "c"; // renaming onto an existing folder never replaces it
    EXPECT_FALSE(tree->renameFolder(tree->findItem(parent + "/a")));
    EXPECT_EQ(boxes.back(), "c フォルダの名前変更に失敗しました");
    answer = "a2";
    EXPECT_TRUE(tree->renameFolder(tree->findItem(parent + "/a")));
    EXPECT_TRUE(fs::is_directory(parent + "/a2"));
    EXPECT_EQ(tree->selectedFolder(), parent + "/a2");
    EXPECT_EQ(tree->findItem(parent + "/a"), nullptr);

    // Deleting asks, removes everything below, then selects the next
    // sibling, else the previous one, else the parent.
    boxes.clear();
    EXPECT_TRUE(tree->deleteFolder(tree->findItem(parent + "/b")));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("フォルダを削除します."), std::string::npos);
    EXPECT_FALSE(fs::exists(parent + "/b"));
    EXPECT_EQ(tree->selectedFolder(), parent + "/c");
    EXPECT_TRUE(tree->deleteFolder(tree->findItem(parent + "/新規")));
    EXPECT_EQ(tree->selectedFolder(), parent + "/c");
    EXPECT_TRUE(tree->deleteFolder(tree->findItem(parent + "/c")));
    EXPECT_EQ(tree->selectedFolder(), parent + "/a2");
    EXPECT_TRUE(tree->deleteFolder(tree->findItem(parent + "/a2")));
    EXPECT_EQ(tree->selectedFolder(), parent);
    // No answers Yes: nothing happens.
    makeFolder("p/kept");
    tree->refreshPath(parent);
    boxAnswer = MessageAnswer::No;
    EXPECT_FALSE(tree->deleteFolder(tree->findItem(parent + "/kept")));
    EXPECT_TRUE(fs::exists(parent + "/kept"));

    // Roots are refused silently: no question, no message.
    asked.clear();
    boxes.clear();
    for (QTreeWidgetItem* root : {tree->topLevelItem(0), tree->topLevelItem(1)}) {
        EXPECT_FALSE(tree->renameFolder(root));
        EXPECT_FALSE(tree->deleteFolder(root));
        EXPECT_FALSE(tree->renameFolderTo(root, "x"));
    }
    EXPECT_TRUE(asked.empty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(FolderTreeTest, DeletingToTheTrashKeepsTheFolderRestorable) {
    const std::string data = makeFolder("xdg-data");
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data));
    // Named after this test's own temporary folder: should the trash be a
    // shared one (/tmp/.Trash-0 when /tmp is not on the home volume), other
    // runs at the same time trash folders there too.
    const std::string name = "old-" + f.dir.path().filename().string();
    const std::string folder = makeFolder("t/" + name);
    test::writeFile(folder + "/keep.bmp", test::bytes({1, 2}));
    auto tree = makeTree();
    f.document->options().trashCan = true;
    // Yes to the trash, no to deleting for good should the trash fail.
    const ScopedMessageBoxResponder trashOnly(
        [this](MessageKind, MessageButtons, std::string_view text) {
            boxes.emplace_back(text);
            return text.find("ごみ箱に移動します") != std::string_view::npos ? MessageAnswer::Yes
                                                                             : MessageAnswer::No;
        });
    ASSERT_TRUE(tree->selectPath(folder));
    const bool deleted = tree->deleteFolder();
    if (oldData.isEmpty()) {
        qunsetenv("XDG_DATA_HOME");
    } else {
        qputenv("XDG_DATA_HOME", oldData);
    }
    if (!deleted) {
        GTEST_SKIP() << "no trash on this volume";
    }
    ASSERT_FALSE(boxes.empty());
    EXPECT_NE(boxes[0].find("ごみ箱に移動します"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder));
    // The trash keeps it with its information file, wherever Qt put it.
    bool found = false;
    for (const fs::path& trash : {fs::path(data) / "Trash", fs::path("/tmp/.Trash-0")}) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(trash / "files", error)) {
            if (entry.path().filename().string() == name && fs::exists(entry.path() / "keep.bmp")) {
                found = fs::exists(trash / "info" / (name + ".trashinfo"));
                fs::remove_all(entry.path());
                fs::remove(trash / "info" / (name + ".trashinfo"), error);
            }
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(FolderTreeTest, AltArrowsStepThroughTheFoldersAsShown) {
    makeFolder("s/a/a1");
    makeFolder("s/a/a2/deep");
    makeFolder("s/b");
    auto tree = makeTree();
    ASSERT_TRUE(tree->selectPath(f.dir.file("s/a/a2")));
    tree->findItem(f.dir.file("s/a/a2"))->setExpanded(true);
    ASSERT_TRUE(tree->selectPath(f.dir.file("s/a")));
    // a2 is open (its folder "deep" shows), a1 and b are closed.
    const std::vector<std::string> down = {"s/a/a1", "s/a/a2", "s/a/a2/deep", "s/b"};
    for (const std::string& next : down) {
        tree->onUpdate(nullptr, hint::FolderStep{hint::Direction::Down});
        EXPECT_EQ(f.document->currentFolder(), f.dir.file(next));
    }
    const std::vector<std::string> up = {"s/a/a2/deep", "s/a/a2", "s/a/a1", "s/a", "s"};
    for (const std::string& next : up) {
        tree->onUpdate(nullptr, hint::FolderStep{hint::Direction::Up});
        EXPECT_EQ(f.document->currentFolder(), f.dir.file(next));
    }
    tree->onUpdate(nullptr, hint::FolderStep{hint::Direction::Left});
    tree->onUpdate(nullptr, hint::FolderStep{hint::Direction::Right});
    EXPECT_EQ(tree->selectedFolder(), f.dir.file("s"));
}

TEST_F(FolderTreeTest, AVolumeThatGoesCollapsesAndLeavesTheTree) {
    const std::string volume = f.dir.file("vol");
    fs::create_directories(volume + "/photos/2024");
    auto tree = makeTree();
    ASSERT_TRUE(tree->selectPath(volume + "/photos/2024"));
    QTreeWidgetItem* item = tree->topLevelItem(1);
    EXPECT_TRUE(item->isExpanded());
    EXPECT_GT(item->childCount(), 0);

    // Taken out: the next selection finds it not ready and closes it, its
    // expand button kept so it can be tried again.
    m_volumes.clear();
    tree->setCurrentItem(item);
    EXPECT_FALSE(item->isExpanded());
    EXPECT_EQ(item->childCount(), 0);
    EXPECT_EQ(item->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    // Refreshing the drives takes its item away and brings new ones.
    EXPECT_EQ(tree->refreshDrives(), 0);
    EXPECT_EQ(tree->topLevelItemCount(), 1);
    m_volumes = {{makeFolder("usb"), "/dev/fake2", "vfat"}};
    tree->onUpdate(nullptr, hint::RefreshDrives{});
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(FolderTree::pathOf(tree->topLevelItem(1)), f.dir.file("usb"));
}

// A real volume mounted and unmounted under the test's folder.
TEST_F(FolderTreeTest, ARealMountPointThatDisappears) {
    const std::string point = makeFolder("mnt");
    if (::mount("vemra-test", point.c_str(), "tmpfs", 0, nullptr) != 0) {
        GTEST_SKIP() << "mounting is not allowed here";
    }
    fs::create_directories(point + "/inside");
    m_volumes = {{point, "vemra-test", "tmpfs"}};
    auto tree = makeTree();
    // The mount point is a volume's root: never renamed or deleted.
    ASSERT_TRUE(tree->selectPath(point + "/inside"));
    QTreeWidgetItem* root = tree->topLevelItem(1);
    EXPECT_EQ(root->childCount(), 1);
    ::umount2(point.c_str(), MNT_DETACH);
    m_volumes.clear();
    tree->setCurrentItem(root);
    EXPECT_EQ(root->childCount(), 0);
    EXPECT_EQ(tree->refreshDrives(), 0);
    EXPECT_EQ(tree->topLevelItemCount(), 1);
}

TEST_F(FolderTreeTest, ContextMenuAndQuickAccess) {
    const std::string a = makeFolder("qa/a");
    const std::string b = makeFolder("qa/b");
    auto tree = makeTree();
    ASSERT_TRUE(tree->selectPath(a));
    EXPECT_TRUE(tree->addToQuickAccess());
    EXPECT_FALSE(tree->addToQuickAccess()); // once only
    ASSERT_TRUE(tree->selectPath(b));
    EXPECT_TRUE(tree->addToQuickAccess());
    EXPECT_EQ(f.store.getText("DrvView", "QUICKACC_0"), b);

    const std::unique_ptr<QMenu> menu = tree->contextMenuFor(tree->findItem(a));
    QStringList texts;
    for (const QAction* action : menu->actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(texts, (QStringList{QString::fromStdString(a), "-", "フォルダの新規作成...",
                                  "フォルダの削除...", "フォルダの名前変更...",
                                  "クイックアクセスリストに追加", "-", QString::fromStdString(b),
                                  QString::fromStdString(a)}));
    EXPECT_EQ(menu->actions().at(8)->data().toInt(), kCmdQuickAccessFirst + 1);
    // Choosing an entry selects its folder and moves it to the front.
    menu->actions().at(8)->trigger();
    EXPECT_EQ(f.document->currentFolder(), a);
    EXPECT_EQ(f.store.getText("DrvView", "QUICKACC_0"), a);
    // A root's menu offers no rename or delete.
    const std::unique_ptr<QMenu> rootMenu = tree->contextMenuFor(tree->topLevelItem(0));
    EXPECT_TRUE(rootMenu->actions().at(2)->isEnabled());
    EXPECT_FALSE(rootMenu->actions().at(3)->isEnabled());
    EXPECT_FALSE(rootMenu->actions().at(4)->isEnabled());

    // It survives a restart.
    tree->saveState(f.store);
    auto again = makeTree();
    EXPECT_EQ(again->quickAccess().paths(), (std::vector<std::string>{a, b}));
    EXPECT_EQ(f.store.getText("DrvView", "Path"), a);
}

TEST_F(FolderTreeTest, DrivesTreeShowsArchivesAndFollowsFolderChanges) {
    f.store.putText("DriveView", "Monitoring", "1");
    const std::string root = makeFolder("m");
    test::writeFile(root + "/album.zip", test::bytes({'P', 'K', 3, 4}));
    f.registry->scan(VEMRA_PLUGIN_DIR, "");
    ASSERT_FALSE(f.services->archiveExtensions().empty()) << VEMRA_PLUGIN_DIR;
    auto tree = makeTree();
    ASSERT_TRUE(tree->selectPath(root));
    QTreeWidgetItem* item = tree->findItem(root);
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(item->childCount(), 1);
    EXPECT_EQ(FolderTree::kindOf(item->child(0)), FolderTree::ItemKind::Archive);
    EXPECT_GT(tree->watchedFolderCount(), 0);

    fs::create_directories(root + "/made-elsewhere");
    EXPECT_TRUE(QTest::qWaitFor([&] { return tree->findItem(root + "/made-elsewhere"); }, 10000));
    fs::rename(root + "/made-elsewhere", root + "/renamed-elsewhere");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return tree->findItem(root + "/renamed-elsewhere") &&
                   !tree->findItem(root + "/made-elsewhere");
        },
        10000));
    // The archive opens as a folder.
    tree->setCurrentItem(tree->findItem(root + "/album.zip"));
    EXPECT_EQ(f.document->currentFolder(), root);
    EXPECT_EQ(f.document->currentMask(), "album.zip");
}

TEST_F(FolderTreeTest, DragOverAndDropHandTheFilesOn) {
    const std::string target = makeFolder("drop/target");
    makeFolder("drop/closed/inner");
    test::writeFile(f.dir.file("drop/a.bmp"), test::bytes({1}));
    auto tree = makeTree();
    QMimeData files;
    files.setData(QString::fromLatin1(mime::kUriList), uriListBytes({f.dir.file("drop/a.bmp")}));
    // Without the file operations nothing can be dropped.
    EXPECT_EQ(tree->dropActionFor(files, Qt::NoModifier), Qt::IgnoreAction);
    std::vector<std::tuple<std::vector<std::string>, std::string, bool>> drops;
    tree->setDropHandler(
        [&](const std::vector<std::string>& paths, const std::string& folder, bool move) {
            drops.emplace_back(paths, folder, move);
            return true;
        });
    EXPECT_EQ(tree->dropActionFor(files, Qt::NoModifier), Qt::CopyAction);
    EXPECT_EQ(tree->dropActionFor(files, Qt::ShiftModifier), Qt::MoveAction);
    EXPECT_EQ(tree->dropActionFor(files, Qt::ControlModifier), Qt::CopyAction);
    f.document->options().dadMove = true;
    EXPECT_EQ(tree->dropActionFor(files, Qt::NoModifier), Qt::MoveAction);
    EXPECT_EQ(tree->dropActionFor(files, Qt::ControlModifier), Qt::CopyAction);
    EXPECT_EQ(tree->dropActionFor(QMimeData(), Qt::NoModifier), Qt::IgnoreAction);

    ASSERT_TRUE(tree->selectPath(f.dir.file("drop")));
    EXPECT_TRUE(tree->dropOn(tree->findItem(target), files, Qt::MoveAction));
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(std::get<1>(drops[0]), target);
    EXPECT_TRUE(std::get<2>(drops[0]));

    // Over the tree: the label highlights, the expand button opens.
    tree->resize(400, 600);
    tree->show();
    ASSERT_TRUE(tree->selectPath(f.dir.file("drop")));
    tree->currentItem()->setExpanded(true);
    QTreeWidgetItem* closed = tree->findItem(f.dir.file("drop/closed"));
    ASSERT_NE(closed, nullptr);
    tree->scrollToItem(closed);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tree->visualItemRect(closed).isValid(); }, 10000));
    const QRect label = tree->visualItemRect(closed);
    // Qt hands moves only to the widget that took the drag's entry.
    QDragEnterEvent enter(label.center(), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent onButton(QPoint(label.left() - tree->indentation() / 2, label.center().y()),
                            Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton,
                            Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &onButton);
    EXPECT_TRUE(closed->isExpanded());
    QDragMoveEvent onLabel(label.center(), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton,
                           Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &onLabel);
    EXPECT_TRUE(onLabel.isAccepted());
    EXPECT_EQ(onLabel.dropAction(), Qt::MoveAction);
    EXPECT_NE(closed->background(0), QBrush());

    // A drag out offers the folder as a file list.
    const std::unique_ptr<QMimeData> out = FolderTree::dragData(target);
    EXPECT_EQ(readClipboardFiles(*out).paths, (std::vector<std::string>{target}));
}

TEST_F(FolderTreeTest, DesktopTreeHoldsHomeRootAndVolumes) {
    const std::string home = makeFolder("home");
    makeFolder("home/Pictures/trip");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(home));
    auto tree = makeTree(FolderTree::Kind::Desktop);
    qputenv("HOME", oldHome);
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* desktop = tree->topLevelItem(0);
    EXPECT_EQ(desktop->text(0), QStringLiteral("デスクトップ"));
    EXPECT_TRUE(desktop->isExpanded());
    QStringList paths;
    for (int i = 0; i < desktop->childCount(); ++i) {
        paths << QString::fromStdString(FolderTree::pathOf(desktop->child(i)));
    }
    EXPECT_EQ(paths.front().toStdString(), home);
    EXPECT_TRUE(paths.contains(QString::fromStdString(home + "/Pictures")));
    EXPECT_TRUE(paths.contains(QStringLiteral("/")));
    EXPECT_EQ(paths.back().toStdString(), f.dir.file("vol"));
    // A path under Pictures is reached through its own item.
    ASSERT_TRUE(tree->selectPath(home + "/Pictures/trip"));
    EXPECT_EQ(FolderTree::pathOf(tree->currentItem()->parent()), home + "/Pictures");
    // The desktop item itself opens nothing and is never renamed.
    tree->setCurrentItem(desktop);
    EXPECT_EQ(f.document->currentFolder(), home + "/Pictures/trip");
    EXPECT_FALSE(tree->renameFolder(desktop));
}

TEST_F(FolderTreeTest, TheMainWindowsFolderMenuMonitorAndKeys) {
    // The network-drive commands are not offered on this platform.
    EXPECT_EQ(findCommand(10115), nullptr);
    EXPECT_EQ(findCommand(10116), nullptr);
    MainWindow frame(*f.document, f.registry.get(), f.store);
    FolderTree* tree = frame.folderTree();
    tree->setNameAsker(
        [](FolderTree::NamePurpose, const std::string&) { return std::string("k"); });
    const std::string shown = makeFolder("shown");
    ASSERT_TRUE(tree->selectFolder(shown));
    EXPECT_TRUE(frame.router().state(kCmdNewFolder).enabled);
    EXPECT_TRUE(frame.runCommand(kCmdNewFolder));
    EXPECT_TRUE(fs::is_directory(shown + "/k"));
    EXPECT_EQ(tree->selectedFolder(), shown + "/k");
    EXPECT_TRUE(frame.runCommand(kCmdFolderStepUp));
    EXPECT_EQ(f.document->currentFolder(), shown);

    // With FolderMonitor on, pictures another program copies in appear by
    // themselves, with one reading of the folder.
    frame.setFolderMonitor(true);
    EXPECT_EQ(frame.folderMonitor()->folder(), shown);
    test::HintRecorder recorder;
    f.document->addView(&recorder);
    test::makePictures(shown, 12);
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.document->displayedCount() == 12; }, 10000));
    QTest::qWait(700);
    EXPECT_EQ(std::count(recorder.hints.begin(), recorder.hints.end(), hint::kListEmptied), 1);
    f.document->removeView(&recorder);
    frame.setFolderMonitor(false);
    EXPECT_FALSE(frame.folderMonitor()->isWatching());
}

TEST_F(FolderTreeTest, ScreenshotOfTheTreeWithItsMenu) {
    makeFolder("shot/写真/2024 夏");
    makeFolder("shot/写真/2025 春");
    makeFolder("shot/スキャン");
    auto tree = makeTree();
    tree->resize(320, 420);
    tree->show();
    ASSERT_TRUE(tree->selectPath(f.dir.file("shot/写真/2024 夏")));
    tree->addToQuickAccess();
    QImage image = tree->grab().toImage();
    const std::unique_ptr<QMenu> menu = tree->contextMenuFor(tree->currentItem());
    menu->adjustSize();
    const QImage menuImage = menu->grab().toImage();
    QImage sheet(image.width() + menuImage.width() + 10,
                 std::max(image.height(), menuImage.height()), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    painter.drawImage(0, 0, image);
    painter.drawImage(image.width() + 10, 0, menuImage);
    painter.end();
    EXPECT_TRUE(fs::exists(test::saveScreenshot(sheet, "folder_tree.png")));
}

} // namespace
} // namespace vemra
