#include "views/plugin_dialog.h"

#include "framework/message_box.h"
#include "imaging/decoder_registry.h"
#include "settings/settings_store.h"

#include "../plugin/plugin_test_support.h"
#include "views_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>

namespace vemra {
namespace {

namespace fs = std::filesystem;

class PluginDialogTest : public ::testing::Test {
protected:
    PluginDialogTest() : m_store(m_dir.file("vemra.ini")) {
        fs::create_directories(m_plugins);
        for (const char* name : {"archive", "webp"}) {
            const std::string path = test::shippedPluginPath(name);
            if (!fs::exists(path))
                continue;
            fs::copy_file(path, m_plugins + "/" + name + ".spi");
        }
    }
    std::unique_ptr<DecoderRegistry> startRegistry() {
        auto registry = std::make_unique<DecoderRegistry>(m_store);
        registry->scan(m_plugins, registry->currentSet());
        return registry;
    }
    QTreeWidgetItem* rowNamed(QTreeWidget* list, const char* name) {
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->text(1).startsWith(QLatin1String(name)))
                return list->topLevelItem(i);
        return nullptr;
    }

    test::TempDir m_dir;
    SettingsStore m_store;
    std::string m_plugins = m_dir.file("plugins");
};

TEST_F(PluginDialogTest, UseStateSetsAndMemberDecodersAreAppliedAtOnceAndSurviveARestart) {
    auto registry = startRegistry();
    if (registry->count(DecoderKind::Picture) == 0 || registry->count(DecoderKind::Archive) == 0)
        GTEST_SKIP() << "the shipped plug-ins are not built";
    ScopedMessageBoxResponder yes(
        [](MessageKind, MessageButtons, std::string_view) { return MessageAnswer::Yes; });
    {
        PluginDialog d(*registry, m_store);
        ASSERT_EQ(d.pictureList()->topLevelItemCount(), registry->count(DecoderKind::Picture));
        QTreeWidgetItem* webp = rowNamed(d.pictureList(), "webp");
        ASSERT_NE(webp, nullptr);
        EXPECT_EQ(webp->checkState(0), Qt::Checked);
        const DecoderId webpId = webp->data(0, Qt::UserRole).toInt();

        // A named set keeps the state it was saved with.
        d.nameSet(QStringLiteral("旅行"));
        EXPECT_TRUE(m_store.contains("SPISET\\旅行", "webp"));
        webp->setCheckState(0, Qt::Unchecked);
        EXPECT_FALSE(registry->inUse(webpId, DecoderKind::Picture));

        // The archive's member decoders: all, then only webp.
        d.archiveList()->setCurrentItem(d.archiveList()->topLevelItem(0));
        const DecoderId archive = d.archiveList()->topLevelItem(0)->data(0, Qt::UserRole).toInt();
        if (d.allPictures()->isChecked())
            d.allPictures()->click();
        EXPECT_EQ(registry->allUseFlags(archive), 1);
        d.allPictures()->click();
        EXPECT_EQ(registry->allUseFlags(archive), 0);
        EXPECT_FALSE(d.memberList()->isEnabled());
        d.allPictures()->click();
        webp->setSelected(true);
        d.addButton()->click();
        ASSERT_EQ(d.memberList()->topLevelItemCount(), 1);
        EXPECT_EQ(registry->viewList(archive), std::vector<DecoderId>{webpId});
        d.memberList()->topLevelItem(0)->setSelected(true);
        d.removeButton()->click();
        EXPECT_TRUE(registry->viewList(archive).empty());

        // Switching saves the shown set first, then shows the other.
        d.switchToSet(QString());
        EXPECT_TRUE(registry->inUse(webpId, DecoderKind::Picture)); // the default set
        d.switchToSet(QStringLiteral("旅行"));
        EXPECT_FALSE(registry->inUse(webpId, DecoderKind::Picture));
        test::saveScreenshot(d.grab().toImage(), "plugin-dialog.png");

        const auto lines = d.properties(webpId, DecoderKind::Picture);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[1].first, QStringLiteral("ファイル情報"));
        EXPECT_TRUE(lines[1].second.startsWith(QStringLiteral("webp ")));
        d.closeButton()->click();
    }
    EXPECT_EQ(m_store.getText("SPI", "SPISet"), "旅行");
    EXPECT_EQ(m_store.getText("SPI", "SPISetList"), "旅行");
    EXPECT_FALSE(m_store.getText("SPI", "SPIColumn").empty());
    registry.reset();

    // After a restart the unticked plug-in is still unused.
    registry = startRegistry();
    const DecoderId webpId = registry->find("webp", DecoderKind::Picture);
    ASSERT_NE(webpId, kNoDecoder);
    EXPECT_FALSE(registry->inUse(webpId, DecoderKind::Picture));

    // Deleting the shown set empties the combo; closing saves the default.
    {
        PluginDialog d(*registry, m_store);
        d.deleteShownSet();
        EXPECT_FALSE(m_store.contains("SPISET\\旅行", "webp"));
        EXPECT_TRUE(d.setList()->currentText().isEmpty());
        EXPECT_EQ(d.setList()->count(), 0);
        d.closeButton()->click();
    }
    EXPECT_EQ(m_store.getText("SPI", "SPISet"), "");
    EXPECT_TRUE(m_store.contains("SPISET\\_Default", "webp"));
}

} // namespace
} // namespace vemra
