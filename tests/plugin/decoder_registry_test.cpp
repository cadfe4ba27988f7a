#include "imaging/bmp_file.h"
#include "imaging/decoder_registry.h"
#include "imaging/jpeg_encoder.h"
#include "plugin_test_support.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vemra {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// A plug-in folder with the shipped and the test plug-ins, a settings file
// and a folder for pictures.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureGuiApplication();
        fs::create_directories(m_dir.path() / "spi");
        fs::create_directories(m_dir.path() / "pictures");
        for (const char* name : {"archive", "webp", "heif"}) {
            copy(test::shippedPluginPath(name));
        }
        for (const char* name : {"tiny", "fault", "fault_archive", "wrong_type"}) {
            copy(test::testPluginPath(name));
        }
        m_store = std::make_unique<SettingsStore>(m_dir.file("vemra.ini"));
        // A saved default set that knows none of these plug-ins: they are
        // new, and new plug-ins stay out of use until a set says otherwise.
        m_store->putInt("SPISET\\_Default", "retired", 1);
    }

    void copy(const std::string& path) {
        fs::copy_file(path, m_dir.path() / "spi" / fs::path(path).filename());
    }
    std::string spiFolder() const { return (m_dir.path() / "spi").string(); }
    std::string picture(const std::string& name) const {
        return (m_dir.path() / "pictures" / name).string();
    }

    // A registry that has scanned the folder; every plug-in in use unless
    // `useAll` is false.
    std::unique_ptr<DecoderRegistry> registry(bool useAll = true) {
        auto r = std::make_unique<DecoderRegistry>(*m_store);
        r->setStatusSink(
            [this](const std::string& text, int flag) { m_status.emplace_back(text, flag); });
        r->setFaultSink([this](const std::string& text) { m_faults.push_back(text); });
        r->scan(spiFolder(), "");
        if (useAll) {
            for (const DecoderKind kind : {DecoderKind::Picture, DecoderKind::Archive}) {
                for (int id = 0; id < r->count(kind); ++id) {
                    r->setInUse(id, kind, true);
                }
            }
        }
        return r;
    }

    std::string writeJpeg(const std::string& name) {
        const std::string path = picture(name);
        EXPECT_TRUE(saveJpeg(path, test::patternPicture(40, 30, 24), 90, false));
        return path;
    }

    TempDir m_dir;
    std::unique_ptr<SettingsStore> m_store;
    std::vector<std::pair<std::string, int>> m_status;
    std::vector<std::string> m_faults;
};

TEST_F(RegistryTest, ScanSortsPluginsByKindAndReportsWhatItFinds) {
    auto r = registry(false);
    ASSERT_EQ(r->count(DecoderKind::Picture), 4);
    ASSERT_EQ(r->count(DecoderKind::Archive), 2);
    EXPECT_EQ(r->name(0, DecoderKind::Picture), "fault");
    EXPECT_EQ(r->name(2, DecoderKind::Picture), "tiny");
    EXPECT_EQ(r->name(0, DecoderKind::Archive), "archive");
    EXPECT_EQ(r->find("TINY", DecoderKind::Picture), 2);
    EXPECT_EQ(r->find("--jpg--", DecoderKind::Picture), kJpegDecoderId);
    EXPECT_EQ(r->name(kPngDecoderId, DecoderKind::Picture), "--PNG--");
    const auto has = [&](const std::string& text, int flag) {
        return std::find(m_status.begin(), m_status.end(), std::pair{text, flag}) != m_status.end();
    };
    EXPECT_TRUE(has("[tiny]を調査しています", 0));
    EXPECT_TRUE(has("[wrong_type.spi]未定義のSPI(00IN,00AM以外のSPI)", -1));
    // A set without entries for the plug-ins leaves them all out of use.
    EXPECT_FALSE(r->inUse(2, DecoderKind::Picture));
    EXPECT_TRUE(r->inUse(kJpegDecoderId, DecoderKind::Picture));
    EXPECT_TRUE(r->inUse(kPngDecoderId, DecoderKind::Picture)); // on by default here
}

TEST_F(RegistryTest, OnTheFirstRunEveryPluginIsInUse) {
    m_store->deleteSection("SPISET\\_Default");
    DecoderRegistry r(*m_store);
    r.scan(spiFolder(), "");
    for (int id = 0; id < r.count(DecoderKind::Picture); ++id) {
        EXPECT_TRUE(r.inUse(id, DecoderKind::Picture)) << id;
    }
    EXPECT_TRUE(r.inUse(0, DecoderKind::Archive));
}

TEST_F(RegistryTest, PluginsOutOfUseAreNotAskedAndBuiltInsTakeOver) {
    const std::string jpeg = writeJpeg("photo.jpg");
    auto r = registry(false);
    std::vector<std::string> asked;
    IdentifyRequest request;
    request.fileName = jpeg;
    request.notify = [&](int, const std::string& name, std::span<const std::byte>) {
        asked.push_back(name);
    };
    EXPECT_EQ(r->identify(request), kJpegDecoderId);
    EXPECT_EQ(asked, std::vector<std::string>{"--JPG--"});
}

TEST_F(RegistryTest, ExtensionRuleAndRetryStartPoints) {
    const std::string jpeg = writeJpeg("photo.jpg");
    fs::copy_file(jpeg, picture("photo.dat"));
    auto r = registry();
    IdentifyRequest request;
    request.fileName = picture("photo.dat");
    EXPECT_EQ(r->identify(request), kJpegDecoderId);
    r->settings().pluginExtensionOnly = true;
    EXPECT_EQ(r->identify(request), kNoDecoder); // no decoder lists ".dat"
    request.fileName = jpeg;
    EXPECT_EQ(r->identify(request), kJpegDecoderId);
    r->settings().pluginExtensionOnly = false;

    // A retry after TIFF (1003) starts at 1004: BMP and JPEG are not asked again.
    request.first = kTextDecoderId;
    EXPECT_EQ(r->identify(request), kNoDecoder);
    r->setInUse(kTextDecoderId, DecoderKind::Picture, true);
    std::vector<std::string> asked;
    request.notify = [&](int, const std::string& name, std::span<const std::byte>) {
        asked.push_back(name);
    };
    r->identify(request);
    EXPECT_TRUE(std::find(asked.begin(), asked.end(), "--JPG--") == asked.end());
}

TEST_F(RegistryTest, MacBinaryHeadersAreSkippedWhenAsked) {
    // A GIF behind the 128-byte header old Macintosh transfers put in front.
    std::vector<std::byte> data(128, std::byte{0x4D});
    const auto body = test::readFile(std::string(VEMRA_SOURCE_DIR) + "/samples/bouncing-ball.gif");
    ASSERT_FALSE(body.empty());
    data.insert(data.end(), body.begin(), body.end());
    test::writeFile(picture("mac.gif"), data);
    auto r = registry();
    IdentifyRequest request;
    request.fileName = picture("mac.gif");
    EXPECT_EQ(r->identify(request), kNoDecoder);
    r->settings().macbinCheck = true;
    ASSERT_EQ(r->identify(request), kGif2DecoderId);
    PictureBuffer out;
    EXPECT_EQ(r->picture(kGif2DecoderId, PluginSource::file(picture("mac.gif")), out), 0);
    EXPECT_EQ(out.width(), 64);
    const std::vector<std::byte> memory = test::readFile(picture("mac.gif"));
    EXPECT_EQ(r->picture(kGif2DecoderId, PluginSource::memory(memory), out), 0);
}

TEST_F(RegistryTest, MostRecentlySuccessfulPluginIsAskedFirst) {
    const std::string jpeg = writeJpeg("photo.jpg");
    // A 1 x 1 picture of the test plug-in's own format.
    test::writeFile(picture("dot.tiny"), test::bytes({'T', 'I', 'N', 'Y', 'P', 'I', 'C', '1', 1, 0,
                                                      1, 0, 24, 0, 0, 0, 9, 8, 7}));
    auto r = registry();
    r->setInUse(0, DecoderKind::Picture, false); // leave the faulting plug-in out
    std::vector<std::string> asked;
    const auto ask = [&](const std::string& path) {
        asked.clear();
        IdentifyRequest request;
        request.fileName = path;
        request.notify = [&](int, const std::string& name, std::span<const std::byte>) {
            asked.push_back(name);
        };
        return r->identify(request);
    };
    EXPECT_EQ(ask(jpeg), kJpegDecoderId);
    EXPECT_EQ(asked, (std::vector<std::string>{"heif", "tiny", "webp", "--JPG--"}));
    EXPECT_EQ(ask(picture("dot.tiny")), r->find("tiny", DecoderKind::Picture));
    EXPECT_EQ(ask(jpeg), kJpegDecoderId);
    EXPECT_EQ(asked.front(), "tiny");
    PictureBuffer out;
    ASSERT_EQ(r->picture(r->find("tiny", DecoderKind::Picture),
                         PluginSource::file(picture("dot.tiny")), out),
              0);
    EXPECT_EQ(out.pixel(0, 0), colourWord(9, 8, 7));
}

TEST_F(RegistryTest, ARelativePluginFolderIsFound) {
    const auto previous = fs::current_path();
    fs::current_path(m_dir.path());
    {
        DecoderRegistry r(*m_store);
        r.scan("spi", "");
        EXPECT_EQ(r.count(DecoderKind::Picture), 4);
        EXPECT_TRUE(r.isLoaded(r.find("tiny", DecoderKind::Picture), DecoderKind::Picture));
        EXPECT_EQ(fs::current_path(), m_dir.path()); // put back after the scan
    }
    fs::current_path(previous);
}

TEST_F(RegistryTest, ShiftAtStartUpRegistersButDoesNotLoad) {
    DecoderRegistry r(*m_store);
    r.setShiftHeld([] { return true; });
    r.scan(spiFolder(), "");
    ASSERT_EQ(r.count(DecoderKind::Picture), 4);
    for (int id = 0; id < 4; ++id) {
        EXPECT_FALSE(r.isLoaded(id, DecoderKind::Picture));
        r.setInUse(id, DecoderKind::Picture, true);
    }
    PluginPictureInfo info;
    EXPECT_EQ(r.info(2, PluginSource::file(writeJpeg("a.jpg")), info), -1);
}

TEST_F(RegistryTest, SetsKeepFlagsViewListsAndReferences) {
    {
        auto r = registry(false);
        r->setInUse(2, DecoderKind::Picture, true);
        r->setInUse(0, DecoderKind::Archive, true);
        r->addToViewList(0, 2);
        r->addToViewList(0, 3);
        r->addToViewList(0, 3); // once only
        r->setAllUseFlags(0, 1);
        EXPECT_EQ(r->referenceCount(3), 1);
        r->saveSet("mine");
        r->loadSet("");
    }
    auto r = registry(false);
    EXPECT_FALSE(r->inUse(2, DecoderKind::Picture));
    r->loadSet("mine");
    EXPECT_TRUE(r->inUse(2, DecoderKind::Picture));
    EXPECT_EQ(r->viewList(0), (std::vector<DecoderId>{2, 3}));
    EXPECT_EQ(r->allUseFlags(0), 1);
    EXPECT_EQ(r->referenceCount(2), 1);
    r->removeFromViewList(0, "webp");
    EXPECT_EQ(r->referenceCount(3), 0);
    const auto names = r->setNames();
    EXPECT_TRUE(std::find(names.begin(), names.end(), "mine") != names.end());
    // The view list decides alone which plug-ins see an archive's members.
    IdentifyRequest request;
    request.fileName = "member.jpg";
    const auto jpeg = test::readFile(writeJpeg("m.jpg"));
    request.header = jpeg;
    request.archive = 0;
    std::vector<std::string> asked;
    request.notify = [&](int, const std::string& name, std::span<const std::byte>) {
        asked.push_back(name);
    };
    r->setInUse(2, DecoderKind::Picture, false);
    EXPECT_EQ(r->identify(request), kJpegDecoderId);
    EXPECT_EQ(asked.front(), "tiny");
}

TEST_F(RegistryTest, DynamicLoadingNeverDropsAReferencedPlugin) {
    m_store->putInt("SPI", "DynamicSPI", 1);
    auto r = registry(false);
    for (int id = 0; id < 4; ++id) {
        EXPECT_FALSE(r->isLoaded(id, DecoderKind::Picture)) << id; // nothing in use in the set
    }
    r->setInUse(0, DecoderKind::Archive, true);
    r->addToViewList(0, 2);
    r->applyDynamicLoading();
    EXPECT_TRUE(r->isLoaded(0, DecoderKind::Archive));
    EXPECT_TRUE(r->isLoaded(2, DecoderKind::Picture));
    r->setInUse(0, DecoderKind::Archive, false);
    r->applyDynamicLoading();
    EXPECT_FALSE(r->isLoaded(0, DecoderKind::Archive));
    EXPECT_TRUE(r->isLoaded(2, DecoderKind::Picture)); // still in the view list
    r->clearViewList(0);
    r->applyDynamicLoading();
    EXPECT_FALSE(r->isLoaded(2, DecoderKind::Picture));
}

TEST_F(RegistryTest, ArchivesListExtractAndDecodeMembers) {
    const auto jpeg = test::readFile(writeJpeg("inner.jpg"));
    const std::string zip = picture("photos.zip");
    ASSERT_TRUE(test::writeArchive(
        zip, "zip", "", {{"album/inner.jpg", jpeg}, {"noise.bin", test::noise(5000, 3)}}));
    auto r = registry();
    IdentifyRequest request;
    request.fileName = zip;
    request.kind = DecoderKind::Archive;
    const DecoderId archive = r->identify(request);
    ASSERT_EQ(archive, r->find("archive", DecoderKind::Archive));
    std::vector<ArchiveEntry> list;
    ASSERT_EQ(r->archiveList(archive, PluginSource::file(zip), list), 0);
    ASSERT_EQ(list.size(), 2u);
    EntryDecoding entry;
    entry.archive = archive;
    entry.path = zip;
    entry.name = "inner.jpg";
    entry.memberPosition = list[0].position;
    entry.decoder = r->identifyEntry(entry);
    EXPECT_EQ(entry.decoder, kJpegDecoderId);
    PictureBuffer out;
    ASSERT_EQ(r->loadEntryPicture(entry, out), 0);
    EXPECT_EQ(out.width(), 40);
    EXPECT_EQ(entry.width, 40);
    EXPECT_EQ(entry.bitCount, 24);

    // A damaged archive that answers 2 with what it could read counts as listed.
    ASSERT_TRUE(test::writeArchive(
        picture("big.tar"), "tar", "",
        {{"one.bin", test::noise(150000, 1)}, {"two.bin", test::noise(300000, 2)}}));
    auto tar = test::readFile(picture("big.tar"));
    tar.resize(200000);
    list.clear();
    EXPECT_EQ(r->archiveList(archive, PluginSource::memory(tar), list), 0);
    EXPECT_GE(list.size(), 1u);
}

TEST_F(RegistryTest, AFailingDecoderHandsOverToTheNextOne) {
    const std::string jpeg = writeJpeg("photo.jpg");
    auto r = registry(false);
    EntryDecoding entry;
    entry.path = jpeg;
    entry.decoder = kBmpDecoderId; // wrong: BMP fails, identification goes on from 1001
    PictureBuffer out;
    ASSERT_EQ(r->loadEntryPicture(entry, out, 20, 15), 0);
    EXPECT_EQ(entry.decoder, kJpegDecoderId);
    EXPECT_EQ(out.width(), 20); // reduction 2 from the requested size
    entry = {};
    entry.path = picture("missing.jpg");
    entry.decoder = kJpegDecoderId;
    EXPECT_NE(r->loadEntryPicture(entry, out), 0);
    EXPECT_EQ(entry.decoder, kNoDecoder);
}

TEST_F(RegistryTest, FaultingPluginsFailTheirCallAndTheProgramGoesOn) {
    // Each fault in a registry of its own: a plug-in that faulted once is
    // left out for the session.
    for (const char* word : {"read", "write", "divide", "abort", "stack"}) {
        SCOPED_TRACE(word);
        m_faults.clear();
        auto r = registry();
        ASSERT_TRUE(r->pluginsInHost());
        const DecoderId fault = r->find("fault", DecoderKind::Picture);
        IdentifyRequest request;
        request.fileName = picture(std::string(word) + ".fault");
        const auto header = test::headerOf(test::noise(100, 1));
        request.header = header;
        EXPECT_EQ(r->identify(request), kIdentifyFault);
        ASSERT_EQ(m_faults.size(), 1u);
        EXPECT_EQ(m_faults[0].rfind("IsSupportedSub :Code=", 0), 0u) << m_faults[0];
        EXPECT_NE(m_faults[0].find("[fault.spi]"), std::string::npos) << m_faults[0];
        EXPECT_TRUE(r->isLeftOut(fault, DecoderKind::Picture));
        // Left out: the next calls fail without asking it, and say nothing.
        PictureBuffer out;
        EXPECT_EQ(r->picture(fault, PluginSource::file(picture(std::string(word) + ".x")), out),
                  -1);
        PluginPictureInfo info;
        EXPECT_EQ(r->info(fault, PluginSource::file(picture(std::string(word) + ".x")), info), -1);
        EXPECT_EQ(r->configurationDialog(fault, DecoderKind::Picture, nullptr, 0), -1);
        EXPECT_EQ(r->identify(request), kNoDecoder);
        EXPECT_EQ(m_faults.size(), 1u);
        // The archive plug-in of the same source faults in its own call.
        const DecoderId faultArchive = r->find("fault_archive", DecoderKind::Archive);
        std::vector<ArchiveEntry> list;
        EXPECT_EQ(r->archiveList(faultArchive,
                                 PluginSource::file(picture(std::string(word) + ".x")), list),
                  -1);
        ASSERT_EQ(m_faults.size(), 2u);
        EXPECT_EQ(m_faults[1].rfind("GetArchiveInfo :Code=", 0), 0u) << m_faults[1];
        request.fileName = writeJpeg("after.jpg");
        request.header = {};
        EXPECT_EQ(r->identify(request), kJpegDecoderId);
    }
    // SpiAlert off: nothing shown.
    m_faults.clear();
    auto r = registry();
    r->settings().alert = false;
    IdentifyRequest request;
    request.fileName = picture("read.fault");
    const auto header = test::headerOf(test::noise(100, 2));
    request.header = header;
    EXPECT_EQ(r->identify(request), kIdentifyFault);
    EXPECT_TRUE(m_faults.empty());
}

TEST_F(RegistryTest, SettingsAreReadAndWrittenBack) {
    m_store->putInt("SPI", "#InnerPNG", 0);
    m_store->putText("SPI", "SkipErrJPEG", "1,2,3");
    m_store->putInt("SPI", "#InnerJPEG_FAST", 2);
    {
        DecoderRegistry r(*m_store);
        EXPECT_FALSE(r.inUse(kPngDecoderId, DecoderKind::Picture));
        // The policy travels with every request the registry makes.
        EXPECT_EQ(r.withPolicy({}).jpegReductionShift, 2);
        EXPECT_EQ(r.withPolicy({}).textLayout.charactersPerLine, 40);
        r.setInUse(kGifDecoderId, DecoderKind::Picture, true);
        r.settings().macbinCheck = true;
    }
    EXPECT_EQ(m_store->getInt("SPI", "#InnerGIF", 0), 1);
    EXPECT_EQ(m_store->getInt("SPI", "#MacbinCheck", 0), 1);
    EXPECT_EQ(m_store->getText("SPI", "SkipErrJPEG", ""), "1,2,3");
    EXPECT_EQ(m_store->getInt("SPI", "#InnerJPEG_FAST", 0), 2);
    EXPECT_EQ(m_store->getText("SPI", "TXTSize", ""), "40,40");
}

} // namespace
} // namespace vemra
