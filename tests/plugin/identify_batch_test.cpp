// Identifying many files at once answers what identifying them one after
// another answers: the same decoder per file, the same fault reported once
// with its plug-in left out, whatever the settings. And a registry whose
// plug-ins are known from an earlier run starts no plug-in host until a
// plug-in is asked something.

#include "document/folder_document.h"
#include "document/registry_scan_services.h"
#include "document/thumb_cache.h"
#include "imaging/decoder_registry.h"
#include "imaging/host_identify_batch.h"
#include "imaging/plugin_info_cache.h"
#include "plugin_test_support.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace vemra {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

struct Settings {
    const char* name;
    int pluginExtension; // "#PluginEXT"
    int macbinCheck;     // "#MacbinCheck"
};

constexpr Settings kSettings[] = {
    {"defaults", 0, 0},
    {"extension lists only", 1, 0},
    {"MacBinary check", 0, 1},
};

class IdentifyBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureGuiApplication();
        fs::create_directories(m_dir.path() / "spi");
        fs::create_directories(m_dir.path() / "pictures");
        for (const char* name : {"archive", "webp", "heif"}) {
            copy(test::shippedPluginPath(name));
        }
        for (const char* name : {"tiny", "fault"}) {
            copy(test::testPluginPath(name));
        }
        makePictures();
    }

    void copy(const std::string& path) {
        fs::copy_file(path, m_dir.path() / "spi" / fs::path(path).filename());
    }

    // The samples several times over (more than one exchange holds), the
    // conformance pictures when they are there, a MacBinary-wrapped WebP, a
    // tiny plug-in's picture, and in the middle one name that makes the
    // fault plug-in crash when it is asked about it.
    void makePictures() {
        std::vector<fs::path> sources;
        for (const auto& e : fs::directory_iterator(fs::path(VEMRA_SOURCE_DIR) / "samples")) {
            if (e.is_regular_file()) {
                sources.push_back(e.path());
            }
        }
        if (test::hasTestData()) {
            for (const auto& e : fs::recursive_directory_iterator(test::testDataDir())) {
                if (e.is_regular_file() && sources.size() < 700) {
                    sources.push_back(e.path());
                }
            }
        }
        std::sort(sources.begin(), sources.end());
        const auto add = [&](const std::string& name, const std::vector<std::byte>& bytes) {
            const std::string path = (m_dir.path() / "pictures" / name).string();
            test::writeFile(path, bytes);
            m_files.push_back(path);
        };
        int n = 0;
        while (m_files.size() < 600) {
            for (const fs::path& source : sources) {
                // Names of our own: the fault plug-in reads words in names.
                add("p" + std::to_string(n++) + source.extension().string(),
                    test::readFile(source.string()));
                if (m_files.size() == 300) {
                    add("p-read.jpg", test::readFile(source.string()));
                }
            }
        }
        std::vector<std::byte> wrapped(128, std::byte{0});
        const auto webp =
            test::readFile((fs::path(VEMRA_SOURCE_DIR) / "samples" / "sunset.webp").string());
        wrapped.insert(wrapped.end(), webp.begin(), webp.end());
        add("wrapped.webp", wrapped);
        // A 2 x 1 picture of 24 bits without a comment.
        std::vector<std::byte> tiny(22, std::byte{0});
        std::memcpy(tiny.data(), "TINYPIC1\x02\x00\x01\x00\x18", 13);
        add("tiny.tny", tiny);
        add("empty.jpg", {});
    }

    std::unique_ptr<DecoderRegistry> registry(const Settings& s, bool inHost) {
        m_store = std::make_unique<SettingsStore>(m_dir.file("vemra.ini"));
        m_store->putInt("SPI", "OutOfProcess", inHost ? 1 : 0);
        m_store->putInt("SPI", "#PluginEXT", s.pluginExtension);
        m_store->putInt("SPI", "#MacbinCheck", s.macbinCheck);
        auto r = std::make_unique<DecoderRegistry>(*m_store);
        r->setWriteBack(false);
        PluginHostOptions options;
        options.informationCache = m_dir.file("plugin-info");
        r->setHostOptions(options);
        r->setFaultSink([this](const std::string& message) { m_faults.push_back(message); });
        r->scan((m_dir.path() / "spi").string(), "");
        return r;
    }

    std::vector<IdentifyRequest> requests() const {
        std::vector<IdentifyRequest> out(m_files.size());
        for (std::size_t i = 0; i < m_files.size(); ++i) {
            out[i].fileName = m_files[i];
        }
        return out;
    }

    TempDir m_dir;
    std::unique_ptr<SettingsStore> m_store;
    std::vector<std::string> m_files;
    std::vector<std::string> m_faults;
};

TEST_F(IdentifyBatchTest, BatchesAnswerWhatOneFileAtATimeAnswers) {
    const DecoderId none = kNoDecoder;
    for (const Settings& s : kSettings) {
        SCOPED_TRACE(s.name);
        // One file at a time, in the program and in a host, then in batches.
        std::vector<std::vector<DecoderId>> answers;
        std::vector<std::vector<std::string>> faults;
        for (const bool inHost : {false, true}) {
            m_faults.clear();
            auto r = registry(s, inHost);
            ASSERT_EQ(r->pluginsInHost(), inHost);
            std::vector<DecoderId> one;
            for (const IdentifyRequest& request : requests()) {
                one.push_back(r->identify(request));
            }
            answers.push_back(one);
            faults.push_back(m_faults);
        }
        m_faults.clear();
        auto batched = registry(s, true);
        answers.push_back(batched->identifyFiles(requests()));
        faults.push_back(m_faults);
        // With the extension rule the fault plug-in (which names no
        // extension of these files) and the tiny one are never asked.
        const bool everyPluginAsked = s.pluginExtension == 0;
        const DecoderId fault = batched->find("fault", DecoderKind::Picture);
        EXPECT_EQ(batched->isLeftOut(fault, DecoderKind::Picture), everyPluginAsked);

        for (std::size_t i = 0; i < m_files.size(); ++i) {
            SCOPED_TRACE(m_files[i]);
            EXPECT_EQ(answers[1][i], answers[0][i]);
            EXPECT_EQ(answers[2][i], answers[0][i]);
        }
        // The crash ends identification of its file, reported once; the
        // other answers are real ones.
        const auto at = [&](const std::string& name) {
            const auto it = std::find_if(m_files.begin(), m_files.end(),
                                         [&](const auto& f) { return f.ends_with("/" + name); });
            return it == m_files.end() ? -12345
                                       : answers[2][static_cast<std::size_t>(it - m_files.begin())];
        };
        EXPECT_GT(std::count_if(answers[2].begin(), answers[2].end(),
                                [](DecoderId id) { return id >= 0; }),
                  static_cast<long>(m_files.size() / 2));
        EXPECT_EQ(at("empty.jpg"), none);
        EXPECT_EQ(at("wrapped.webp") == batched->find("webp", DecoderKind::Picture),
                  s.macbinCheck == 1);
        if (everyPluginAsked) {
            EXPECT_EQ(at("p-read.jpg"), kIdentifyFault);
            EXPECT_EQ(at("tiny.tny"), batched->find("tiny", DecoderKind::Picture));
        }
        // Where it is told (not the address: every host lies elsewhere).
        const auto where = [](const std::string& report) {
            return report.substr(0, report.find(" :Address")) + report.substr(report.find('\n'));
        };
        for (const auto& reported : faults) {
            ASSERT_EQ(reported.size(), everyPluginAsked ? 1u : 0u);
            if (everyPluginAsked) {
                EXPECT_NE(reported[0].find("[fault.spi]"), std::string::npos) << reported[0];
                EXPECT_EQ(where(reported[0]), where(faults[0][0]));
            }
        }
    }
}

// The scan's services asking one file or member at a time, as the scan
// did before it asked in batches.
class OneAtATime final : public ScanServices {
public:
    explicit OneAtATime(const ScanServices& inner) : m_inner(inner) {}
    DecoderId identifyFile(const std::string& path) const override {
        return m_inner.identifyFile(path);
    }
    DecoderId identifyMember(DecoderId archive, const std::string& path,
                             const ArchiveEntry& member) const override {
        return m_inner.identifyMember(archive, path, member);
    }
    DecoderId identifyArchive(const std::string& path) const override {
        return m_inner.identifyArchive(path);
    }
    ResultCode listArchive(DecoderId archive, const std::string& path,
                           std::vector<ArchiveEntry>& members) const override {
        return m_inner.listArchive(archive, path, members);
    }
    DecoderId pictureDecoderNamed(std::string_view name) const override {
        return m_inner.pictureDecoderNamed(name);
    }
    DecoderId archiveDecoderNamed(std::string_view name) const override {
        return m_inner.archiveDecoderNamed(name);
    }
    std::string pictureDecoderLabel(DecoderId id) const override {
        return m_inner.pictureDecoderLabel(id);
    }
    std::string archiveDecoderLabel(DecoderId id) const override {
        return m_inner.archiveDecoderLabel(id);
    }
    std::string pictureExtensions() const override { return m_inner.pictureExtensions(); }
    std::string archiveExtensions() const override { return m_inner.archiveExtensions(); }
    bool extensionListsOnly() const override { return m_inner.extensionListsOnly(); }

private:
    const ScanServices& m_inner;
};

// A folder of archives and pictures, with an archive of many members,
// scanned with archives listed and every file identified: the scan that
// asks in batches lists what the scan asking one at a time lists, with the
// same decoders, and the same two faults (an archive plug-in asked about a
// file, a picture plug-in asked about a member, each in the middle of a
// batch) reported once each.
TEST_F(IdentifyBatchTest, ScansOfArchivesListWhatOneAtATimeLists) {
    copy(test::testPluginPath("fault_archive"));
    const fs::path folder = m_dir.path() / "scan";
    fs::create_directories(folder);
    const fs::path samples = fs::path(VEMRA_SOURCE_DIR) / "samples";
    std::vector<test::Member> many;
    std::vector<test::Member> few;
    int n = 0;
    for (const auto& e : fs::directory_iterator(samples)) {
        if (!e.is_regular_file() || e.path().extension() == ".zip") {
            continue;
        }
        const std::vector<std::byte> bytes = test::readFile(e.path().string());
        if (few.size() < 2) {
            few.push_back({"f/" + e.path().filename().string(), bytes});
        }
        for (int k = 0; k < 20; ++k) {
            many.push_back({"m" + std::to_string(n++) + e.path().extension().string(), bytes});
            if (n == 100) {
                // Crashes the fault picture plug-in when it is asked.
                many.push_back({"m-read.jpg", bytes});
            }
        }
        test::writeFile((folder / ("p-" + e.path().filename().string())).string(), bytes);
    }
    ASSERT_GT(many.size(), 256u);
    ASSERT_TRUE(test::writeArchive((folder / "big.zip").string(), "zip", "", many));
    const std::vector<std::byte> small = [&] {
        const std::string path = (m_dir.path() / "small.zip").string();
        EXPECT_TRUE(test::writeArchive(path, "zip", "", few));
        return test::readFile(path);
    }();
    for (int i = 0; i < 270; ++i) {
        test::writeFile((folder / ("a" + std::to_string(i) + ".zip")).string(), small);
    }
    // Crashes the fault archive plug-in when it is asked.
    test::writeFile((folder / "a135-read.png").string(),
                    test::readFile((samples / "colour-wheel.png").string()));

    const auto listing = [&](const ScanServices& services) {
        DocumentOptions options;
        options.archive = true;
        options.scanSpi = true;
        ThumbCache cache;
        FolderDocument doc(services, cache, options);
        doc.openFolder(folder.string(), nullptr, false);
        std::vector<std::string> names;
        for (int i = 0; i < doc.displayedCount(); ++i) {
            const PictureSource& e = *doc.entryAt(i);
            names.push_back(e.archiveFileName + "|" + e.fileName + "|" + std::to_string(e.decoder));
        }
        return names;
    };
    std::vector<std::vector<std::string>> listings;
    std::vector<std::vector<std::string>> faults;
    for (const int way : {0, 1, 2}) { // in the program, in a host, in a host in batches
        m_faults.clear();
        auto r = registry(kSettings[0], way != 0);
        const RegistryScanServices services(*r);
        listings.push_back(way == 2 ? listing(services) : listing(OneAtATime(services)));
        faults.push_back(m_faults);
        EXPECT_TRUE(
            r->isLeftOut(r->find("fault_archive", DecoderKind::Archive), DecoderKind::Archive));
        EXPECT_TRUE(r->isLeftOut(r->find("fault", DecoderKind::Picture), DecoderKind::Picture));
    }
    // 270 small archives of two samples, the big one, the plain pictures.
    EXPECT_GT(listings[0].size(), 270u + many.size() / 2);
    EXPECT_EQ(listings[1], listings[0]);
    EXPECT_EQ(listings[2], listings[0]);
    for (const auto& reported : faults) {
        ASSERT_EQ(reported.size(), 2u);
        EXPECT_NE(reported[0].find("[fault_archive.spi]") == std::string::npos,
                  reported[1].find("[fault_archive.spi]") == std::string::npos);
    }
}

TEST_F(IdentifyBatchTest, KnownPluginsStartNoHostUntilOneIsAsked) {
    {
        // The first run learns the plug-ins from a host, which goes on
        // answering about files named relative to the program's folder.
        auto first = registry(kSettings[0], true);
        EXPECT_GE(first->hostsStarted(), 1);
        const fs::path before = fs::current_path();
        fs::current_path(m_dir.path() / "pictures");
        IdentifyRequest tiny;
        tiny.fileName = "tiny.tny";
        const DecoderId id = first->identify(tiny);
        PluginPictureInfo info;
        const int code = first->info(id, PluginSource::file("tiny.tny"), info);
        fs::current_path(before);
        EXPECT_EQ(id, first->find("tiny", DecoderKind::Picture));
        EXPECT_EQ(code, 0);
    }
    auto r = registry(kSettings[0], true);
    EXPECT_EQ(r->hostsStarted(), 0);
    EXPECT_EQ(r->count(DecoderKind::Picture), 4);
    EXPECT_EQ(r->count(DecoderKind::Archive), 1);
    EXPECT_FALSE(
        r->extensionList(r->find("webp", DecoderKind::Picture), DecoderKind::Picture).empty());
    // A built-in's own call asks no plug-in.
    PluginPictureInfo info;
    EXPECT_EQ(r->info(kJpegDecoderId,
                      PluginSource::file(std::string(VEMRA_SOURCE_DIR) + "/samples/sunset.jpg"),
                      info),
              0);
    EXPECT_EQ(r->hostsStarted(), 0);
    // Identification asks the plug-ins first.
    IdentifyRequest request;
    request.fileName = m_files.front();
    r->identify(request);
    EXPECT_EQ(r->hostsStarted(), 1);

    // A plug-in replaced since is read again.
    fs::remove(m_dir.path() / "spi" / "tiny.spi");
    copy(test::testPluginPath("tiny"));
    PluginInfoCache cache(m_dir.file("plugin-info"));
    EXPECT_FALSE(cache.find((m_dir.path() / "spi" / "tiny.spi").string()));
    EXPECT_TRUE(cache.find((m_dir.path() / "spi" / "webp.spi").string()));
}

TEST(PluginInfoCacheFile, DamagedFilesAreEmptyCaches) {
    std::map<std::string, PluginInfoCache::Entry> entries;
    entries["/p/a.spi"] = {"1:2.3:4.5:6:7", {true, {"00IN", "A plug-in", "*.a", "A files"}}};
    entries["/p/b\tc.spi"] = {"9:9.9:9.9:9:9", {false, {"00AM"}}};
    const std::string good = PluginInfoCache::serialise(entries);
    std::map<std::string, PluginInfoCache::Entry> back;
    ASSERT_TRUE(PluginInfoCache::parse(good, back));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back["/p/a.spi"].information.information,
              entries["/p/a.spi"].information.information);
    EXPECT_TRUE(back["/p/a.spi"].information.hasConfigurationDialog);
    for (const std::string& bad : {
             good.substr(0, good.size() - 1),                       // cut short
             std::string("vemra plug-in information 2\n"),          // another version
             good + "2f\t1\t0\t2\t3030\n",                          // count says 2
             good + "2f\t1\t7\t0\n",                                // dialog flag 7
             good + "2g\t1\t0\t0\n",                                // not hexadecimal
             good + "2f\t1\t0\t1\t" + std::string(600, 'a') + "\n", // entry too long
             good + "2f\t1\t0\t1\t00\n",                            // NUL inside
         }) {
        EXPECT_FALSE(PluginInfoCache::parse(bad, back)) << bad.substr(good.size());
    }
}

TEST(IdentifyBatchMessages, MalformedRequestsAndAnswersAreRefused) {
    const std::string_view plugins[] = {"/a.spi", "/b.spi"};
    const std::byte header[4] = {};
    const std::uint32_t onlyB[] = {1};
    const host::BatchQuestion files[] = {{"x.jpg", header, {}, true},
                                         {"y.jpg", header, onlyB, false}};
    host::MessageWriter request(host::Message::IdentifyBatch);
    host::writeIdentifyBatch(request, true, plugins, files);
    host::MessageReader reader(request.data());
    host::IdentifyBatch batch;
    ASSERT_TRUE(host::readIdentifyBatch(reader, batch));
    // Both plug-ins take everything: the first takes x and moves to the
    // front; y may only be asked of b.
    const auto winners = host::firstTakers(batch, [](std::uint32_t, std::size_t) { return true; });
    EXPECT_EQ(winners, (std::vector<std::int32_t>{0, 1}));
    // Every shorter request is refused, as is one with an index out of range.
    for (std::size_t cut = 0; cut < request.data().size(); ++cut) {
        host::MessageReader shorter(request.data().first(cut));
        EXPECT_FALSE(host::readIdentifyBatch(shorter, batch)) << cut;
    }
    const std::uint32_t outside[] = {2};
    const host::BatchQuestion wrong[] = {{"x.jpg", header, outside, false}};
    host::MessageWriter bad(host::Message::IdentifyBatch);
    host::writeIdentifyBatch(bad, false, plugins, wrong);
    host::MessageReader badReader(bad.data());
    EXPECT_FALSE(host::readIdentifyBatch(badReader, batch));

    const std::int32_t answers[] = {1, -1};
    host::MessageWriter answer(host::Message::Answer);
    host::writeBatchAnswer(answer, answers);
    std::vector<std::int32_t> read;
    host::MessageReader good(answer.data());
    EXPECT_TRUE(host::readBatchAnswer(good, 2, 2, read));
    for (const auto& [files, pluginCount] : {std::pair{3, 2}, {2, 1}}) {
        host::MessageReader other(answer.data());
        EXPECT_FALSE(host::readBatchAnswer(other, files, pluginCount, read));
    }
    const std::int32_t below[] = {-2, 0};
    host::MessageWriter lying(host::Message::Answer);
    host::writeBatchAnswer(lying, below);
    host::MessageReader lyingReader(lying.data());
    EXPECT_FALSE(host::readBatchAnswer(lyingReader, 2, 2, read));
}

} // namespace
} // namespace vemra
