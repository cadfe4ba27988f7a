#include "views/details_list.h"

#include "document/picture_loader.h"
#include "document/transfer_data.h"
#include "framework/command_id.h"
#include "views/details_list_model.h"
#include "views/display_filter_dialog.h"
#include "views/main_window.h"
#include "views/thumbnail_grid.h"

#include "views_test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace vemra {
namespace {

namespace fs = std::filesystem;

// Pictures whose names, sizes and pixel counts order them differently:
// name a..e, width 40,10,30,50,20, height 10,40,20,30,50.
void makeVariedPictures(const std::string& folder) {
    fs::create_directories(folder);
    const struct {
        const char* name;
        int width;
        int height;
    } pictures[] = {{"a.png", 40, 10},
                    {"b.png", 10, 40},
                    {"c.png", 30, 20},
                    {"d.png", 50, 30},
                    {"e.png", 20, 50}};
    for (const auto& p : pictures) {
        QImage image(p.width, p.height, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        ASSERT_TRUE(image.save(QString::fromStdString(folder + "/" + p.name)));
    }
}

class DetailsListTest : public ::testing::Test {
protected:
    DetailsListTest() {
        f.document->options().scanSpi = true; // rows know their pixel sizes
        makeList();
    }
    ~DetailsListTest() override {
        grid.reset();
        list.reset();
    }
    // As the frame makes them: the list first, so it orders a scan's
    // entries before the grid lays them out.
    void makeList() {
        grid.reset();
        list.reset();
        list = std::make_unique<DetailsList>(*f.document, f.store);
        grid = std::make_unique<ThumbnailGrid>(*f.document);
        grid->setOpener([this](const std::string& path) { opened.push_back(path); });
        list->setGrid(grid.get());
    }
    void open(const std::string& folder) { f.document->openFolder(folder, nullptr, false); }
    // The first letters of the entries in display order, and of the rows.
    std::string shown() {
        std::string names;
        for (int i = 0; i < f.document->displayedCount(); ++i)
            names += f.document->entryAt(i)->fileName.substr(0, 1);
        return names;
    }
    std::string rows() {
        std::string names;
        for (const SortRow& row : list->model().rows())
            names += row.text(kSortByName).substr(0, 1);
        return names;
    }
    QString heading(int column) {
        return list->model().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    std::vector<int> listSelection() {
        std::vector<int> rows;
        for (const QModelIndex& index : list->table()->selectionModel()->selectedRows())
            rows.push_back(index.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    test::DocumentFixture f;
    std::unique_ptr<DetailsList> list;
    std::unique_ptr<ThumbnailGrid> grid;
    std::vector<std::string> opened;
};

TEST(DetailsListOptions, ShortDamagedAndMissingValuesHaveTheirDefaults) {
    using O = DetailsListOptions;
    using Row = std::array<int, kSortColumnCount>;
    EXPECT_EQ(O::parseWidths("150,60,70,120,90,80,100,90,60,70,100"),
              (Row{150, 60, 70, 120, 90, 80, 100, 90, 60, 70}));
    EXPECT_EQ(O::parseWidths("150,60,70"), (Row{150, 60, 70, 50, 50, 50, 50, 50, 50, 50}));
    EXPECT_EQ(O::parseWidths("10,,-5,99999"), (Row{10, 50, 0, 10000, 50, 50, 50, 50, 50, 50}));
    EXPECT_EQ(O::parseOrder("9,8,7"), O{}.order); // 7, 8 and 9 would show twice
    EXPECT_EQ(O::parseOrder("3,2,1,0"), (Row{3, 2, 1, 0, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(O::parseOrder("1,0,2,3,4,5,6,7,8,12"), O{}.order);
    EXPECT_EQ(O::parseOrder(""), O{}.order);
}

TEST_F(DetailsListTest, SettingsAreReadOnCreationAndWrittenWhenTheListGoes) {
    // The list writes its keys when it goes, so they are set before the next.
    grid.reset();
    list.reset();
    f.store.putText("LstView", "Column", "111,22");
    f.store.putText("LstView", "Index", "2,0,1");
    f.store.putInt("LstView", "ColorBackground", 0x0000FF); // red
    makeList();
    const QHeaderView* header = list->table()->horizontalHeader();
    EXPECT_EQ(header->sectionSize(0), 111);
    EXPECT_EQ(header->sectionSize(1), 22);
    EXPECT_EQ(header->sectionSize(5), 50);
    EXPECT_EQ(header->logicalIndex(0), 2);
    EXPECT_EQ(header->logicalIndex(1), 0);
    EXPECT_EQ(header->logicalIndex(2), 1);
    EXPECT_EQ(list->table()->palette().color(QPalette::Base), QColor(255, 0, 0));

    list->table()->horizontalHeader()->resizeSection(3, 77);
    list->table()->horizontalHeader()->moveSection(9, 0); // column 9 first
    list->headingClicked(kSortBySize);
    grid.reset();
    list.reset();
    EXPECT_EQ(f.store.getText("LstView", "Column"), "111,22,50,77,50,50,50,50,50,50");
    EXPECT_EQ(f.store.getText("LstView", "Index"), "9,2,0,1,3,4,5,6,7,8");
    EXPECT_EQ(f.store.getText("LstView", "ColorBackground"), "255");
    EXPECT_EQ(f.store.getText("LstView", "ColorText"), "0");
    EXPECT_EQ(f.store.getText("LstView", "SortHistory"), "65538");
}

TEST(DetailsCellText, EveryColumnShowsItsText) {
    SortRow row;
    row.setText(kSortByName, "写真");
    row.setText(kSortByExtension, "JPG");
    row.length = 1234567;
    row.width = 640;
    row.height = 480;
    row.bitCount = 24;
    row.setText(kSortByArchive, "album.zip");
    row.setText(kSortByInfo, "JPEG\r\nExif");
    row.setText(kSortByDecoder, "JPEG/ZIP");
    row.setText(kSortByNote, "a\nb");
    row.setText(kSortByFolder, "/pics");
    const QDateTime when(QDate(2024, 3, 5), QTime(7, 8, 9));
    row.lastWriteTime = when.toSecsSinceEpoch();
    const char* expected[] = {"写真",          "JPG",       "1,234,567", "2024/03/05 07:08:09",
                              "640x480 24bpp", "album.zip", "JPEG Exif", "JPEG/ZIP",
                              "a b",           "/pics"};
    for (int column = 0; column < kSortColumnCount; ++column)
        EXPECT_EQ(detailsCellText(row, column), QString::fromUtf8(expected[column])) << column;
}

TEST_F(DetailsListTest, HeaderClicksCycleTheirStatesAndOrderListAndGridAlike) {
    makeVariedPictures(f.dir.file("pics"));
    open(f.dir.file("pics"));
    // Pixel sizes are learnt as thumbnails are made, and each row then
    // takes its entry's data afresh.
    for (int i = 0; i < f.document->displayedCount(); ++i) {
        PictureSource* entry = f.document->entryAt(i);
        const QImage image(QString::fromStdString(entry->fullPath()));
        entry->pictureWidth = image.width();
        entry->pictureHeight = image.height();
        entry->bitCount = 24;
        f.document->updateAllViews(nullptr, hint::RedrawEntry{i});
    }
    const std::string scanOrder = shown();
    ASSERT_EQ(scanOrder.size(), 5u);
    EXPECT_EQ(rows(), scanOrder);

    // Nine clicks on the pixel heading go through its eight orders and back
    // to the plain title and the document's own order.
    const struct {
        const char* heading;
        const char* order;
    } pixelStates[] = {
        {" 画素+w", "becad"},   {" 画素-w", "daceb"},   {" 画素+h", "acdbe"},
        {" 画素-h", "ebdca"},   {" 画素+c", nullptr},   {" 画素-c", nullptr},
        {" 画素+wxh", "baced"}, {" 画素-wxh", "decba"}, {" 画素", nullptr},
    };
    for (const auto& state : pixelStates) {
        list->headingClicked(kSortByPixels);
        EXPECT_EQ(heading(kSortByPixels), QString::fromUtf8(state.heading));
        if (state.order != nullptr) {
            EXPECT_EQ(shown(), state.order) << state.heading;
        }
        EXPECT_EQ(rows(), shown()) << state.heading;
        EXPECT_EQ(heading(kSortByName), QStringLiteral(" ﾌｧｲﾙ名"));
    }
    EXPECT_EQ(shown(), scanOrder);
    EXPECT_EQ(grid->layout().count, 5);

    // A new column starts from its first state and keeps the older key second.
    list->headingClicked(kSortBySize);
    list->headingClicked(kSortByName);
    list->headingClicked(kSortByName);
    EXPECT_EQ(heading(kSortByName), QStringLiteral(" ﾌｧｲﾙ名-"));
    EXPECT_EQ(heading(kSortBySize), QStringLiteral("ｻｲｽﾞ "));
    EXPECT_EQ(shown(), "edcba");
    EXPECT_EQ(f.store.getText("LstView", "SortHistory"), "131072,65538,4");

    // Every column once more: ten keys, each column once, newest first.
    for (int column = kSortColumnCount - 1; column >= 0; --column)
        list->headingClicked(column);
    const SortHistory& history = list->sortState().history();
    ASSERT_EQ(history.keys().size(), SortHistory::kMaxKeys);
    EXPECT_EQ(history.keys().front().column, kSortByName);
    EXPECT_EQ(history.keys().back().column, kSortByFolder);

    // The next scan shows the stored order again.
    makeList();
    open(f.dir.file("pics"));
    EXPECT_EQ(heading(kSortByName), QStringLiteral(" ﾌｧｲﾙ名+"));
    EXPECT_EQ(shown(), "abcde");
    EXPECT_EQ(rows(), "abcde");
}

TEST_F(DetailsListTest, SelectionAndTheCurrentEntryMirrorTheGridBothWays) {
    test::makePictures(f.dir.file("pics"), 8);
    list->resize(400, 200);
    list->show();
    grid->resize(400, 300);
    grid->show();
    open(f.dir.file("pics"));

    // The grid's clicks reach the list once the event loop runs.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->cellRectInView(2).topLeft() + QPoint(20, 20));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      grid->cellRectInView(5).topLeft() + QPoint(20, 20));
    EXPECT_EQ(list->table()->currentIndex().row(), 5);
    QApplication::processEvents();
    EXPECT_EQ(listSelection(), (std::vector<int>{2, 5}));

    // "全選択" with several selected clears them, then selects all: one
    // sync each, not one merge per entry.
    f.document->selectAll();
    QApplication::processEvents();
    EXPECT_TRUE(listSelection().empty());
    f.document->selectAll();
    QApplication::processEvents();
    EXPECT_EQ(listSelection().size(), 8u);

    // The list's clicks select in the document and make the row current.
    QTableView* table = list->table();
    const auto rowPoint = [&](int row) {
        return table->visualRect(list->model().index(row, 1)).center();
    };
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rowPoint(1));
    test::HintRecorder others;
    f.document->addView(&others);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ShiftModifier, rowPoint(3));
    f.document->removeView(&others);
    EXPECT_EQ(selectedPositions(*f.document), (std::vector<int>{1, 2, 3}));
    // A range is told to the other views once, not per row.
    EXPECT_EQ(std::count(others.hints.begin(), others.hints.end(), hint::kAllSelection), 1);
    EXPECT_EQ(std::count(others.hints.begin(), others.hints.end(), hint::kSelectionChanged), 0);
    EXPECT_EQ(f.document->focusedPosition(), 3);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier, rowPoint(2));
    EXPECT_EQ(selectedPositions(*f.document), (std::vector<int>{1, 3}));
    EXPECT_EQ(f.document->selectedCount(false), 2);

    // Sorting keeps each entry's selection and the current entry on their rows.
    const std::string currentName = f.document->entryAt(f.document->focusedPosition())->fileName;
    list->headingClicked(kSortByName);
    list->headingClicked(kSortByName); // descending
    EXPECT_EQ(f.document->entryAt(f.document->focusedPosition())->fileName, currentName);
    EXPECT_EQ(list->table()->currentIndex().row(), f.document->focusedPosition());
    EXPECT_EQ(listSelection(), selectedPositions(*f.document));
    EXPECT_EQ(selectedPositions(*f.document), (std::vector<int>{4, 6}));

    // A double-click opens the row through the grid.
    emit table->doubleClicked(list->model().index(0, 1));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], f.document->entryAt(0)->fullPath());

    // The right button shows the grid's menu: for the selection, or for the
    // row under the pointer alone.
    QString title;
    grid->setMenuExec([&](QMenu& menu, QPoint) { title = menu.actions().value(0)->text(); });
    emit table->customContextMenuRequested(rowPoint(4));
    EXPECT_TRUE(title.startsWith(QStringLiteral("選択 2ﾌｧｲﾙ"))) << title.toStdString();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rowPoint(3));
    emit table->customContextMenuRequested(rowPoint(3));
    EXPECT_EQ(title.toStdString(), f.document->entryAt(3)->fileName);
}

TEST_F(DetailsListTest, RowsFollowRemovalsRenamesFoundEntriesAndTheViewerCommand) {
    test::makePictures(f.dir.file("pics"), 4);
    open(f.dir.file("pics"));
    ASSERT_EQ(list->model().rowCount(), 4);

    // Removed: the row goes with it.
    f.document->removeEntry(1);
    f.document->updateAllViews(nullptr, hint::EntryRemoved{1});
    EXPECT_EQ(rows(), shown());
    EXPECT_EQ(list->model().rowCount(), 3);

    // Redrawn: the row takes the entry's data afresh.
    f.document->entryAt(0)->note = "メモ";
    f.document->updateAllViews(nullptr, hint::RedrawEntry{0});
    EXPECT_EQ(detailsCellText(list->model().rows()[0], kSortByNote), QStringLiteral("メモ"));

    // With SyncFind rows come in as the scan finds them.
    f.document->options().syncFind = true;
    std::vector<int> during;
    struct Watcher : DocumentView {
        std::function<void()> seen;
        void onUpdate(DocumentView*, const UpdateHint& h) override {
            if (std::holds_alternative<hint::EntryAccepted>(h))
                seen();
        }
    } watcher;
    watcher.seen = [&] { during.push_back(list->model().rowCount()); };
    f.document->addView(&watcher);
    f.document->refresh(false);
    f.document->removeView(&watcher);
    EXPECT_EQ(during, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(list->model().rowCount(), 4);

    // "V" opens the current entry in the viewer.
    f.document->setFocus(2);
    EXPECT_EQ(list->table()->currentIndex().row(), 2);
    EXPECT_TRUE(list->onCommand(kCmdOpenViewer));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], f.document->entryAt(2)->fullPath());
}

TEST_F(DetailsListTest, StylesSwitchTheViewAndCarryTheirCheckMarks) {
    test::makePictures(f.dir.file("pics"), 3);
    open(f.dir.file("pics"));
    const struct {
        int command;
        DetailsList::Style style;
        QListView::ViewMode mode;
    } styles[] = {
        {kCmdListLargeIcons, DetailsList::Style::LargeIcons, QListView::IconMode},
        {kCmdListSmallIcons, DetailsList::Style::SmallIcons, QListView::ListMode},
        {kCmdListList, DetailsList::Style::List, QListView::ListMode},
    };
    for (const auto& s : styles) {
        EXPECT_TRUE(list->onListCommand(s.command));
        EXPECT_EQ(list->style(), s.style);
        EXPECT_EQ(list->currentWidget(), list->iconView());
        EXPECT_EQ(list->iconView()->viewMode(), s.mode);
        for (int id = kCmdListLargeIcons; id <= kCmdListDetails; ++id)
            EXPECT_EQ(list->listCommandState(id)->checked, id == s.command) << id;
    }
    // The icon views share the selection.
    f.document->setSelected(1, PictureSource::kSelected);
    list->syncSelection();
    EXPECT_TRUE(list->iconView()->selectionModel()->isRowSelected(1, {}));
    EXPECT_TRUE(list->onListCommand(kCmdListDetails));
    EXPECT_EQ(list->currentWidget(), list->table());
}

// OK refuses inverted ranges, keeps the dialog open and writes nothing; an
// accepted filter is stored with its histories; 解除 switches all off.
TEST_F(DetailsListTest, TheFilterDialogRefusesInvertedRangesAndWritesItsKeys) {
    const auto dialog = [&] {
        return std::make_unique<DisplayFilterDialog>(
            DisplayFilterForm::load(f.store, f.document->options()), f.store);
    };
    auto d = dialog();
    d->sizeCheck()->setChecked(true);
    d->sizeBegin()->setEditText(QStringLiteral("2"));
    d->unitBegin()->setCurrentIndex(2); // 2 MB
    d->sizeEnd()->setEditText(QStringLiteral("100"));
    d->unitEnd()->setCurrentIndex(1); // 100 KB
    d->okButton()->click();
    EXPECT_FALSE(d->chosen().has_value());
    EXPECT_EQ(d->result(), 0);
    EXPECT_EQ(f.store.getText("Filter", "FileSize"), "");

    d->sizeCheck()->setChecked(false);
    d->dateCheck()->setChecked(true);
    d->dateFrom()->setDate(QDate(2024, 5, 2));
    d->dateTo()->setDate(QDate(2024, 5, 1));
    d->okButton()->click();
    EXPECT_FALSE(d->chosen().has_value());

    d->dateTo()->setDate(QDate(2024, 5, 2)); // one whole day
    d->sizeCheck()->setChecked(true);
    d->sizeBegin()->setEditText(QStringLiteral("10"));
    d->unitBegin()->setCurrentIndex(1);
    d->sizeEnd()->setEditText(QStringLiteral("1"));
    d->unitEnd()->setCurrentIndex(2);
    d->maskCheck()->setChecked(true);
    d->maskList()->setEditText(QStringLiteral("*.png;*.jpg"));
    d->okButton()->click();
    ASSERT_TRUE(d->chosen().has_value());
    const DisplayFilter chosen = *d->chosen();
    EXPECT_EQ(chosen.sizeMinimum, 10240);
    EXPECT_EQ(chosen.sizeMaximum, 1048576);
    EXPECT_EQ(chosen.dateTo - chosen.dateFrom, 86399);
    EXPECT_EQ(chosen.mask, "*.png;*.jpg");
    EXPECT_EQ(f.store.getText("Filter", "Filter0"), "*.png;*.jpg");
    EXPECT_EQ(f.store.getText("Filter", "SizeBegin0"), "10");
    EXPECT_EQ(f.store.getText("Filter", "SizeEnd0"), "1");
    EXPECT_EQ(f.store.getText("Filter", "UnitBegin"), "1");
    EXPECT_EQ(f.store.getText("Filter", "UnitEnd"), "2");
    for (const char* key : {"FileName", "FileDate", "FileSize"})
        EXPECT_EQ(f.store.getText("Filter", key), "1") << key;

    // The document takes it and lists only what passes; 解除 lists all again.
    fs::create_directories(f.dir.file("mixed"));
    test::makePictures(f.dir.file("mixed"), 2);
    test::writeFile(f.dir.file("mixed/one.bmp"),
                    test::bmpFile(test::infoHeader(1, 1, 24), test::bytes({1, 2, 3, 0})));
    open(f.dir.file("mixed"));
    const int all = f.document->displayedCount();
    DisplayFilter masks = chosen;
    masks.dateOn = masks.sizeOn = false;
    f.document->applyDisplayFilter(masks);
    EXPECT_EQ(f.document->displayedCount(), 2);
    EXPECT_EQ(list->model().rowCount(), 2);
    EXPECT_LT(2, all);

    d = dialog();
    EXPECT_TRUE(d->maskCheck()->isChecked());
    EXPECT_EQ(d->maskList()->currentText(), QStringLiteral("*.png;*.jpg"));
    d->releaseButton()->click();
    ASSERT_TRUE(d->chosen().has_value());
    EXPECT_FALSE(d->chosen()->active());
    EXPECT_EQ(d->chosen()->mask, "*.*");
    EXPECT_EQ(f.store.getText("Filter", "FileName"), "0");
    EXPECT_EQ(f.store.getText("Filter", "Filter0"), "*.png;*.jpg"); // the history stays
    f.document->applyDisplayFilter(*d->chosen());
    EXPECT_EQ(f.document->displayedCount(), all);
}

TEST(DetailsListInTheWindow, TheSortMenuFilterCheckAndAScreenshotOfTheListAboveTheGrid) {
    test::DocumentFixture f;
    f.document->options().scanSpi = true;
    RegistryPictureLoader loader(*f.registry);
    f.document->setPictureLoader(&loader);
    auto frame = std::make_unique<MainWindow>(*f.document, f.registry.get(), f.store);
    frame->resize(1000, 700);
    frame->rows()->setSizes({260, 440});
    frame->show();
    f.document->openFolder(test::samplesFolder(), nullptr, false);
    ASSERT_GT(frame->detailsList()->model().rowCount(), 5);

    EXPECT_TRUE(frame->runCommand(kCmdSortSize));
    EXPECT_TRUE(frame->action(kCmdSortSize)->isChecked());
    EXPECT_TRUE(frame->action(kCmdSortAscending)->isChecked());
    EXPECT_EQ(frame->detailsList()->model().heading(kSortBySize), QStringLiteral("ｻｲｽﾞ+ "));
    EXPECT_TRUE(frame->runCommand(kCmdSortDescending));
    const auto& rows = frame->detailsList()->model().rows();
    for (std::size_t i = 1; i < rows.size(); ++i)
        EXPECT_GE(rows[i - 1].length, rows[i].length);
    EXPECT_TRUE(frame->action(kCmdListDetails)->isChecked());

    // The filter's check mark follows the document's switches.
    frame->updateCommandStates();
    EXPECT_FALSE(frame->action(kCmdDisplayFilter)->isChecked());
    f.document->options().filterFileSize = true;
    frame->updateCommandStates();
    EXPECT_TRUE(frame->action(kCmdDisplayFilter)->isChecked());
    f.document->options().filterFileSize = false;

    // With the list focused its keys are its own; other commands reach the grid.
    QApplication::setActiveWindow(frame.get());
    frame->detailsList()->setFocus();
    frame->detailsList()->table()->selectRow(2);
    EXPECT_TRUE(frame->router().state(kCmdEditCopy).enabled);
    // The thumbnails' making tells each row its picture's size and decoder.
    test::runIdleWithWorkers([&](int step) { return frame->idle(step); }, *f.document, 2000);
    EXPECT_GT(frame->detailsList()->model().rows()[0].width, 0);
    EXPECT_FALSE(frame->detailsList()->model().rows()[0].text(kSortByDecoder).empty());
    QTest::qWait(50);
    const std::string path =
        test::saveScreenshot(frame->grab().toImage(), "details_list_above_grid.png");
    EXPECT_TRUE(fs::exists(path));
}

} // namespace
} // namespace vemra
