#include "views/thumbnail_grid.h"

#include "document/picture_loader.h"
#include "document/transfer_data.h"
#include "framework/command_id.h"
#include "framework/message_box.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/picture_qimage.h"
#include "imaging/plugin_module.h"
#include "views/main_window.h"

#include "../../tools/samples/sample_zip.h"
#include "views_test_support.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>

namespace vemra {
namespace {

namespace fs = std::filesystem;

QImage testImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, (x ^ y) & 0xff));
    }
    return image;
}

class GridTransferTest : public ::testing::Test {
protected:
    GridTransferTest() : loader(*f.registry) {
        folder = f.dir.file("pics");
        fs::create_directories(folder);
        f.document->setPictureLoader(&loader);
        view = std::make_unique<ThumbnailGrid>(*f.document);
        view->resize(400, 300);
        view->show();
        view->setDragExec([this](QMimeData& data) {
            ++drags;
            return onDrag ? onDrag(data) : Qt::IgnoreAction;
        });
        view->setSaveDialog([this](const std::string& start) {
            dialogFolders.push_back(start);
            return saveChoice;
        });
        f.document->addView(&hints);
    }
    ~GridTransferTest() override {
        f.document->removeView(&hints);
        view.reset();
        QGuiApplication::clipboard()->clear();
    }

    void picture(const std::string& name, int width = 40, int height = 30) {
        ASSERT_TRUE(testImage(width, height).save(QString::fromStdString(folder + "/" + name)));
    }
    void open() {
        f.document->openFolder(folder, nullptr, false);
        QApplication::processEvents();
    }
    void selectAll() {
        for (int i = 0; i < f.document->displayedCount(); ++i)
            f.document->setSelected(i, PictureSource::kSelected);
    }
    bool enabled(int id) const { return view->commandState(id).value_or(CommandState{}).enabled; }
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (int i = 0; i < f.document->displayedCount(); ++i)
            result.push_back(f.document->entryAt(i)->fileName);
        std::sort(result.begin(), result.end());
        return result;
    }
    PictureBuffer decode(DecoderId decoder, const std::string& path) {
        PictureBuffer out;
        EXPECT_EQ(f.registry->picture(decoder, PluginSource::file(path), out), 0) << path;
        return out;
    }
    void sendMouse(QEvent::Type type, QPoint at, Qt::MouseButtons buttons,
                   Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QMouseEvent event(type, at, view->viewport()->mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          modifiers);
        QApplication::sendEvent(view->viewport(), &event);
    }

    test::DocumentFixture f;
    RegistryPictureLoader loader;
    std::string folder;
    std::unique_ptr<ThumbnailGrid> view;
    test::HintRecorder hints;
    int drags = 0;
    std::function<Qt::DropAction(QMimeData&)> onDrag;
    std::optional<ThumbnailGrid::SaveChoice> saveChoice;
    std::vector<std::string> dialogFolders;
};

TEST_F(GridTransferTest, CopyAndCutPutTheSelectionOnTheClipboardWithTheLastPicture) {
    picture("a.png", 40, 30);
    picture("b.png", 24, 16);
    open();
    ASSERT_EQ(f.document->displayedCount(), 2);
    EXPECT_FALSE(enabled(kCmdEditCopy));
    EXPECT_FALSE(enabled(kCmdEditCut));
    selectAll();
    EXPECT_TRUE(enabled(kCmdEditCopy));
    EXPECT_TRUE(enabled(kCmdEditCut));

    ASSERT_TRUE(view->onCommand(kCmdEditCopy));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    const ClipboardFiles files = readClipboardFiles(*data);
    ASSERT_EQ(files.paths.size(), 2u);
    EXPECT_FALSE(files.cut);
    EXPECT_EQ(files.notes, (std::vector<std::string>{"", ""}));
    // The picture of the last selected file, decoded by our own decoder.
    const QImage image = qvariant_cast<QImage>(data->imageData());
    const QImage expected(QString::fromStdString(files.paths.back()));
    EXPECT_EQ(image.size(), expected.size());
    EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32),
              expected.convertToFormat(QImage::Format_RGB32));
    // The copied files can be pasted (into another folder, or numbered).
    EXPECT_TRUE(enabled(kCmdEditPaste));

    ASSERT_TRUE(view->onCommand(kCmdEditCut));
    data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->data(mime::kGnomeCopiedFiles).startsWith("cut\n"));
    EXPECT_TRUE(readClipboardFiles(*data).cut);
}

TEST_F(GridTransferTest, TheMainWindowRoutesTheEditCommandsToTheGrid) {
    picture("a.png");
    MainWindow frame(*f.document, f.registry.get(), f.store);
    open();
    QGuiApplication::clipboard()->clear();
    frame.updateCommandStates();
    EXPECT_FALSE(frame.action(kCmdEditCopy)->isEnabled());
    EXPECT_FALSE(frame.action(kCmdEditPaste)->isEnabled());
    selectAll();
    frame.updateCommandStates();
    EXPECT_TRUE(frame.action(kCmdEditCut)->isEnabled());
    ASSERT_TRUE(frame.runCommand(kCmdEditCopy));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(readClipboardFiles(*data).paths, std::vector<std::string>{folder + "/a.png"});
}

TEST_F(GridTransferTest, APastedPictureIsSavedAsBmpOrJpegIntoTheFolderWhichIsRefreshed) {
    picture("existing.png");
    open();
    EXPECT_FALSE(enabled(kCmdEditPaste));
    const QImage pasted = testImage(37, 21);
    auto clip = std::make_unique<QMimeData>();
    clip->setImageData(pasted);
    QGuiApplication::clipboard()->setMimeData(clip.release());
    ASSERT_TRUE(enabled(kCmdEditPaste));

    // Cancelled: nothing written.
    ASSERT_TRUE(view->onCommand(kCmdEditPaste));
    ASSERT_EQ(dialogFolders, std::vector<std::string>{folder});
    EXPECT_EQ(names(), std::vector<std::string>{"existing.png"});

    saveChoice = ThumbnailGrid::SaveChoice{folder + "/pasted.bmp", false};
    view->onCommand(kCmdEditPaste);
    const PictureBuffer bmp = decode(kBmpDecoderId, folder + "/pasted.bmp");
    EXPECT_EQ(pictureToImage(bmp).convertToFormat(QImage::Format_RGB32), pasted);
    EXPECT_EQ(names(), (std::vector<std::string>{"existing.png", "pasted.bmp"}));

    saveChoice = ThumbnailGrid::SaveChoice{folder + "/pasted.jpg", true};
    view->onCommand(kCmdEditPaste);
    const QImage jpeg = pictureToImage(decode(kJpegDecoderId, folder + "/pasted.jpg"))
                            .convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(jpeg.size(), pasted.size());
    // Quality 95 keeps every pixel close.
    int worst = 0;
    for (int y = 0; y < jpeg.height(); ++y) {
        for (int x = 0; x < jpeg.width(); ++x) {
            const QRgb a = jpeg.pixel(x, y);
            const QRgb b = pasted.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
        }
    }
    EXPECT_LT(worst, 40);
    EXPECT_EQ(names(), (std::vector<std::string>{"existing.png", "pasted.bmp", "pasted.jpg"}));
}

TEST_F(GridTransferTest, AFileListWinsOverAPictureBesideItAndASaveFailureIsReported) {
    open();
    auto clip = std::make_unique<QMimeData>();
    clip->setImageData(testImage(8, 8));
    clip->setData(mime::kUriList, "file:///nonexistent-vemra/x.png\r\n");
    QGuiApplication::clipboard()->setMimeData(clip.release());
    EXPECT_TRUE(enabled(kCmdEditPaste));
    view->onCommand(kCmdEditPaste);
    EXPECT_TRUE(dialogFolders.empty());
    EXPECT_TRUE(names().empty());

    clip = std::make_unique<QMimeData>();
    clip->setImageData(testImage(8, 8));
    QGuiApplication::clipboard()->setMimeData(clip.release());
    std::vector<std::string> messages;
    ScopedMessageBoxResponder responder([&](MessageKind, MessageButtons, std::string_view text) {
        messages.emplace_back(text);
        return MessageAnswer::Ok;
    });
    saveChoice = ThumbnailGrid::SaveChoice{folder + "/missing/pasted.bmp", false};
    view->onCommand(kCmdEditPaste);
    EXPECT_EQ(messages, std::vector<std::string>{"ファイルの保存に失敗しました"});
    EXPECT_FALSE(fs::exists(folder + "/missing"));
}

TEST_F(GridTransferTest, DraggingArchiveMembersHandsOverUnpackedFilesThatAreGoneAfterTheDrop) {
    std::vector<std::byte> first;
    std::vector<std::byte> second;
    ASSERT_TRUE(encodeJpeg(test::patternPicture(20, 10, 24), {}, first));
    ASSERT_TRUE(encodeJpeg(test::patternPicture(30, 12, 24), {}, second));
    ASSERT_TRUE(samples::writeZip(folder + "/album.zip",
                                  {{"夏/same.jpg", first}, {"冬/same.jpg", second}}, 1700000000));
    f.registry->scan(VEMRA_PLUGIN_DIR, "");
    f.document->options().archive = true;
    f.document->options().scanSpi = true;
    open();
    ASSERT_EQ(f.document->displayedCount(), 2);
    selectAll();

    std::vector<std::string> handed;
    onDrag = [&](QMimeData& data) {
        EXPECT_TRUE(data.hasUrls());
        for (const QUrl& url : data.urls())
            handed.push_back(url.toLocalFile().toStdString());
        // A second request is served from the same files.
        EXPECT_EQ(data.urls().size(), static_cast<qsizetype>(handed.size()));
        std::vector<std::vector<std::byte>> contents;
        for (const std::string& p : handed)
            contents.push_back(test::readFile(p));
        // In any order. Not sorted: GCC 12 in Release warns falsely
        // (-Wstringop-overread) about ordering byte vectors.
        const std::vector<std::vector<std::byte>> expected{first, second};
        EXPECT_TRUE(std::is_permutation(contents.begin(), contents.end(), expected.begin(),
                                        expected.end()));
        return Qt::CopyAction;
    };
    view->startDrag();
    EXPECT_EQ(drags, 1);
    ASSERT_EQ(handed.size(), 2u);
    for (const std::string& p : handed) {
        EXPECT_EQ(fs::path(p).filename(), "same.jpg");
        EXPECT_EQ(p.find(folder), std::string::npos);
        EXPECT_FALSE(fs::exists(p));
    }
    EXPECT_EQ(f.document->displayedCount(), 2);
    EXPECT_EQ(std::count(hints.hints.begin(), hints.hints.end(), hint::kEntryRemoved), 0);
}

TEST_F(GridTransferTest, AMoveThatTookTwoFilesRemovesExactlyThoseEntries) {
    for (const char* name : {"a.png", "b.png", "c.png"})
        picture(name);
    open();
    selectAll();
    onDrag = [&](QMimeData& data) {
        // Plain files need no unpacking: the list is the selection itself.
        EXPECT_EQ(data.urls().size(), 3);
        fs::remove(folder + "/a.png");
        fs::remove(folder + "/c.png");
        return Qt::MoveAction;
    };
    hints.hints.clear();
    view->startDrag();
    EXPECT_EQ(names(), std::vector<std::string>{"b.png"});
    EXPECT_EQ(hints.hints, (std::vector<int>{17, 17, 0}));
    EXPECT_EQ(view->layout().count, 1);
}

TEST_F(GridTransferTest, ADragStartsWhenThePointerLeavesThePressedEntryOrASecondTurns) {
    EXPECT_FALSE(ThumbnailGrid::dragShouldStart(100, 100, 3, 3));
    EXPECT_TRUE(ThumbnailGrid::dragShouldStart(100, 101, 3, 3));
    EXPECT_TRUE(ThumbnailGrid::dragShouldStart(100, 100, 3, 4));
    EXPECT_TRUE(ThumbnailGrid::dragShouldStart(100, 100, 3, -1));

    for (const char* name : {"a.png", "b.png", "c.png"})
        picture(name);
    open();
    view->resize(400, 300);
    QApplication::processEvents();
    std::vector<int> draggedSelection;
    onDrag = [&](QMimeData&) {
        for (int i = 0; i < f.document->displayedCount(); ++i) {
            if (f.document->entryAt(i)->isSelected())
                draggedSelection.push_back(i);
        }
        return Qt::IgnoreAction;
    };
    const QPoint inFirst = view->cellRectInView(0).center();
    const QPoint inSecond = view->cellRectInView(1).center();
    // A move without a button held is no drag.
    sendMouse(QEvent::MouseMove, inSecond, Qt::NoButton);
    EXPECT_EQ(drags, 0);
    sendMouse(QEvent::MouseButtonPress, inFirst, Qt::LeftButton);
    sendMouse(QEvent::MouseMove, inSecond, Qt::LeftButton);
    EXPECT_EQ(drags, 1);
    EXPECT_EQ(draggedSelection, std::vector<int>{0});
    // The drag took the button: further moves start nothing until the next
    // press.
    sendMouse(QEvent::MouseMove, QPoint(399, 299), Qt::LeftButton);
    EXPECT_EQ(drags, 1);
    sendMouse(QEvent::MouseButtonRelease, inSecond, Qt::NoButton);
    // A press on nothing arms no drag.
    sendMouse(QEvent::MouseButtonPress, QPoint(399, 299), Qt::LeftButton);
    sendMouse(QEvent::MouseMove, inFirst, Qt::LeftButton);
    EXPECT_EQ(drags, 1);
}

TEST_F(GridTransferTest, ThePointerShowsWhereAClickToggles) {
    for (const char* name : {"a.png", "b.png"})
        picture(name);
    open();
    const QRect cell = view->cellRectInView(0);
    const QPoint picture(cell.center().x(), cell.top() + 10);
    const QPoint caption(cell.center().x(), cell.bottom() - 3);
    const auto shape = [&] { return view->viewport()->cursor().shape(); };
    sendMouse(QEvent::MouseMove, picture, Qt::NoButton);
    EXPECT_EQ(shape(), Qt::ArrowCursor);
    sendMouse(QEvent::MouseMove, caption, Qt::NoButton);
    EXPECT_EQ(shape(), Qt::PointingHandCursor);
    sendMouse(QEvent::MouseMove, picture, Qt::NoButton, Qt::ControlModifier);
    EXPECT_EQ(shape(), Qt::PointingHandCursor);
    // Outside every cell nothing toggles, Ctrl or not.
    sendMouse(QEvent::MouseMove, QPoint(399, 299), Qt::NoButton, Qt::ControlModifier);
    EXPECT_EQ(shape(), Qt::ArrowCursor);
    EXPECT_EQ(drags, 0);
}

} // namespace
} // namespace vemra
