#include "framework/history_combo.h"
#include "framework/text_history.h"

#include "settings/settings_store.h"

#include "../imaging/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vemra {
namespace {

using Texts = std::vector<std::string>;

class TextHistoryTest : public ::testing::Test {
protected:
    test::TempDir m_dir;
    SettingsStore m_store{m_dir.file("history.ini")};

    Texts stored(const std::string& section, const std::string& format, int count) {
        TextHistory reader(section, format, count);
        Texts values;
        for (int i = 0; i < count; ++i)
            values.push_back(m_store.getText(section, reader.key(i), "<missing>"));
        return values;
    }
};

TEST_F(TextHistoryTest, KeysAreNumberedInTheirFormat) {
    EXPECT_EQ(TextHistory("Filer", "Folder%d", 10).key(7), "Folder7");
    EXPECT_EQ(TextHistory("Filer", "RenameFormat%d", 100).key(42), "RenameFormat42");
    EXPECT_EQ(TextHistory("X", "File", 3).key(2), "File2");
}

TEST_F(TextHistoryTest, AcceptMovesToTheTopRemovesTheEqualEntryAndKeepsN) {
    TextHistory history("Filer", "Folder%d", 3);
    history.accept("/a");
    history.accept("/b");
    history.accept("/c");
    EXPECT_EQ(history.entries(), (Texts{"/c", "/b", "/a"}));
    history.accept("/a"); // moved up, not doubled
    EXPECT_EQ(history.entries(), (Texts{"/a", "/c", "/b"}));
    history.accept("/d"); // the oldest falls out
    EXPECT_EQ(history.entries(), (Texts{"/d", "/a", "/c"}));
    history.accept("/D"); // only an equal text counts as the same
    EXPECT_EQ(history.entries(), (Texts{"/D", "/d", "/a"}));
    history.accept("");
    EXPECT_EQ(history.entries(), (Texts{"/D", "/d", "/a"}));
}

TEST_F(TextHistoryTest, SavingRewritesEveryKeyAndLoadingSkipsEmptyOnes) {
    m_store.putText("Filer", "Folder0", "/old0");
    m_store.putText("Filer", "Folder2", "/old2");
    m_store.putText("Filer", "Folder9", "/old9");
    m_store.putText("Filer", "Folder10", "/beyond");
    TextHistory history("Filer", "Folder%d", 10);
    history.load(m_store);
    EXPECT_EQ(history.entries(), (Texts{"/old0", "/old2", "/old9"}));

    history.accept("/new");
    history.save(m_store);
    EXPECT_EQ(stored("Filer", "Folder%d", 10),
              (Texts{"/new", "/old0", "/old2", "/old9", "", "", "", "", "", ""}));
    // Keys past N belong to a longer history of the same name and stay.
    EXPECT_EQ(m_store.getText("Filer", "Folder10"), "/beyond");

    TextHistory again("Filer", "Folder%d", 10);
    again.load(m_store);
    EXPECT_EQ(again.entries(), history.entries());
}

TEST_F(TextHistoryTest, SetEntriesDropsEmptyTextsAndKeepsN) {
    TextHistory history("S", "K%d", 2);
    history.setEntries({"", "x", "", "y", "z"});
    EXPECT_EQ(history.entries(), (Texts{"x", "y"}));
}

TEST_F(TextHistoryTest, TheComboShowsTheHistoryAndStoresWhatWasAccepted) {
    m_store.putText("HtmlCatalog", "FileName0", "index.html");
    m_store.putText("HtmlCatalog", "FileName1", "pics.html");
    HistoryCombo combo;
    combo.bind(m_store, "HtmlCatalog", "FileName%d", 4);
    ASSERT_EQ(combo.count(), 2);
    EXPECT_EQ(combo.currentText(), QString("index.html"));
    EXPECT_TRUE(combo.isEditable());

    combo.setEditText(QString("pics.html"));
    EXPECT_EQ(combo.acceptText(), "pics.html");
    EXPECT_EQ(combo.itemText(0), QString("pics.html"));
    EXPECT_EQ(combo.itemText(1), QString("index.html"));
    EXPECT_EQ(combo.count(), 2);
    EXPECT_EQ(combo.currentText(), QString("pics.html"));
    EXPECT_EQ(stored("HtmlCatalog", "FileName%d", 4), (Texts{"pics.html", "index.html", "", ""}));

    combo.setEditText(QString("新しい.html"));
    combo.acceptText();
    EXPECT_EQ(stored("HtmlCatalog", "FileName%d", 4),
              (Texts{"新しい.html", "pics.html", "index.html", ""}));
}

} // namespace
} // namespace vemra
