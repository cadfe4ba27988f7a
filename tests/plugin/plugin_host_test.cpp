// Plug-ins that break the way real ones do (tests/plugins/hostile_plugin.c),
// installed beside the shipped ones: in the plug-in host the program goes on,
// every other file decodes as before, and each faulting plug-in is reported
// once and left out. In the program itself, what is survivable is survived.

#include "imaging/decoder_registry.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/picture_qimage.h"
#include "plugin_test_support.h"
#include "settings/settings_store.h"

#include <QColor>
#include <QImage>
#include <gtest/gtest.h>
#include <webp/encode.h>

#include <filesystem>
#include <thread>

namespace vemra {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

struct Hostile {
    const char* kind;
    const char* operation; // what the report names
    bool survivableInProcess;
};

// In the program itself only faults that leave its heap and loader intact
// are survivable: a wild read and a division. The heap overrun (glibc
// aborts), abort(), the constructor fault (the loader's lock stays held) and
// the endless loop end or hang the program, and a leak is the program's;
// they are why the host exists.
constexpr Hostile kHostile[] = {
    {"null", "GetPicture", true},     {"divide", "GetPictureInfo", true},
    {"overrun", "GetPicture", false}, {"abort", "GetPicture", false},
    {"loop", "GetPicture", false},
};

std::vector<std::byte> text(const std::string& s) {
    const auto* p = reinterpret_cast<const std::byte*>(s.data());
    return {p, p + s.size()};
}

class PluginHostTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        test::ensureGuiApplication();
        fs::create_directories(m_dir.path() / "spi");
        fs::create_directories(m_dir.path() / "pictures");
        for (const char* name : {"archive", "webp", "heif"}) {
            copy(test::shippedPluginPath(name));
        }
        if (inHost()) {
            // In the program a plug-in's leak is the program's leak.
            copy(test::testPluginPath("hostile_leak"));
        }
        for (const Hostile& h : kHostile) {
            if (inHost() || h.survivableInProcess) {
                copy(test::testPluginPath(std::string("hostile_") + h.kind));
            }
        }
        if (inHost()) {
            copy(test::testPluginPath("hostile_ctor"));
        }
        m_store = std::make_unique<SettingsStore>(m_dir.file("vemra.ini"));
        m_store->putInt("SPI", "OutOfProcess", inHost() ? 1 : 0);
    }

    bool inHost() const { return GetParam(); }
    void copy(const std::string& path) {
        fs::copy_file(path, m_dir.path() / "spi" / fs::path(path).filename());
    }
    std::string picture(const std::string& name) const {
        return (m_dir.path() / "pictures" / name).string();
    }

    std::unique_ptr<DecoderRegistry> registry() {
        auto r = std::make_unique<DecoderRegistry>(*m_store);
        r->setWriteBack(false);
        PluginHostOptions options;
        // Short, so that the endless loop costs the test little.
        options.limits = {std::chrono::milliseconds(3000)};
        options.limits.identify = options.limits.info = options.limits.picture =
            options.limits.archiveList = options.limits.file = options.limits.load =
                std::chrono::milliseconds(3000);
        r->setHostOptions(options);
        r->setStatusSink(
            [this](const std::string& line, int flag) { m_status.emplace_back(line, flag); });
        r->setFaultSink([this](const std::string& message) { m_faults.push_back(message); });
        r->scan((m_dir.path() / "spi").string(), "");
        return r;
    }

    // Decodes a file as the browser does; the result code.
    int load(DecoderRegistry& r, const std::string& path, PictureBuffer& out) {
        EntryDecoding entry;
        entry.path = path;
        r.identifyEntry(entry);
        if (entry.decoder < 0) {
            return -1;
        }
        return r.loadEntryPicture(entry, out);
    }

    TempDir m_dir;
    std::unique_ptr<SettingsStore> m_store;
    std::vector<std::pair<std::string, int>> m_status;
    std::vector<std::string> m_faults;
};

TEST_P(PluginHostTest, FaultingPluginsAreReportedOnceAndLeftOutWhileEverythingElseDecodes) {
    // The ordinary files of a folder: a JPEG, a WebP and a zip with a JPEG.
    const PictureBuffer pattern = test::patternPicture(40, 30, 24);
    ASSERT_TRUE(saveJpeg(picture("a.jpg"), pattern, 95, false));
    std::vector<std::uint8_t> rgb(24 * 16 * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = static_cast<std::uint8_t>(i * 7);
    }
    std::uint8_t* webp = nullptr;
    const std::size_t webpSize = WebPEncodeLosslessRGB(rgb.data(), 24, 16, 24 * 3, &webp);
    test::writeFile(picture("b.webp"), {reinterpret_cast<std::byte*>(webp),
                                        reinterpret_cast<std::byte*>(webp) + webpSize});
    WebPFree(webp);
    ASSERT_TRUE(test::writeArchive(picture("c.zip"), "zip", "",
                                   {{"in/a.jpg", test::readFile(picture("a.jpg"))}}));
    for (const Hostile& h : kHostile) {
        test::writeFile(picture(std::string(h.kind) + ".hostile"),
                        text(std::string("HOSTILE:") + h.kind));
    }
    test::writeFile(picture("leak.hostile"), text("HOSTILE:leak"));

    auto r = registry();
    EXPECT_EQ(r->pluginsInHost(), inHost());
    if (inHost()) {
        // The constructor's fault ends a host, not the program; the
        // plug-in is not registered.
        EXPECT_EQ(r->find("hostile_ctor", DecoderKind::Picture), kNoDecoder);
        ASSERT_EQ(m_faults.size(), 1u);
        EXPECT_EQ(m_faults[0].rfind("LoadDLL :Code=C0000005", 0), 0u) << m_faults[0];
        EXPECT_NE(m_faults[0].find("[hostile_ctor.spi]"), std::string::npos) << m_faults[0];
        EXPECT_NE(std::find(m_status.begin(), m_status.end(),
                            std::pair<std::string, int>(
                                "[hostile_ctor]のロードに失敗しました（SPI内部で例外発生）", -1)),
                  m_status.end());
        m_faults.clear();
    }
    PictureBuffer jpeg;
    ASSERT_EQ(r->picture(kJpegDecoderId, PluginSource::file(picture("a.jpg")), jpeg), 0);
    const auto decodesRight = [&] {
        PictureBuffer out;
        ASSERT_EQ(load(*r, picture("a.jpg"), out), 0);
        ASSERT_EQ(out.blockSize(), jpeg.blockSize());
        EXPECT_TRUE(std::equal(out.block().begin(), out.block().end(), jpeg.block().begin()));
        ASSERT_EQ(load(*r, picture("b.webp"), out), 0);
        const QImage image = pictureToImage(out);
        ASSERT_EQ(image.width(), 24);
        EXPECT_EQ(image.pixelColor(1, 0), QColor(rgb[3], rgb[4], rgb[5]));
        std::vector<ArchiveEntry> members;
        const DecoderId zip = r->find("archive", DecoderKind::Archive);
        ASSERT_EQ(r->archiveList(zip, PluginSource::file(picture("c.zip")), members), 0);
        ASSERT_EQ(members.size(), 1u);
        EntryDecoding member;
        member.archive = zip;
        member.path = picture("c.zip");
        member.name = "a.jpg";
        member.memberPosition = members[0].position;
        r->identifyEntry(member);
        ASSERT_EQ(r->loadEntryPicture(member, out), 0);
        EXPECT_TRUE(std::equal(out.block().begin(), out.block().end(), jpeg.block().begin(),
                               jpeg.block().end()));
        // The leaking plug-in works, however much it loses.
        for (int i = 0; i < (inHost() ? 3 : 0); ++i) {
            ASSERT_EQ(load(*r, picture("leak.hostile"), out), 0);
            EXPECT_EQ(pictureToImage(out).pixelColor(5, 5), QColor(0x80, 0x40, 0x20));
        }
    };
    decodesRight();
    for (const Hostile& h : kHostile) {
        if (!inHost() && !h.survivableInProcess) {
            continue;
        }
        SCOPED_TRACE(h.kind);
        const std::string name = std::string("hostile_") + h.kind;
        const DecoderId id = r->find(name, DecoderKind::Picture);
        ASSERT_GE(id, 0);
        m_faults.clear();
        PictureBuffer out;
        EXPECT_NE(load(*r, picture(std::string(h.kind) + ".hostile"), out), 0);
        EXPECT_TRUE(out.isNull());
        ASSERT_EQ(m_faults.size(), 1u);
        EXPECT_EQ(m_faults[0].rfind(std::string(h.operation) + " :Code=", 0), 0u) << m_faults[0];
        EXPECT_NE(m_faults[0].find("[" + name + ".spi]"), std::string::npos) << m_faults[0];
        EXPECT_TRUE(r->isLeftOut(id, DecoderKind::Picture));
        EXPECT_FALSE(r->isLoaded(id, DecoderKind::Picture));
        // Left out: asked nothing more, reported no more.
        EXPECT_NE(load(*r, picture(std::string(h.kind) + ".hostile"), out), 0);
        EXPECT_EQ(m_faults.size(), 1u);
        EXPECT_TRUE(r->inUse(id, DecoderKind::Picture)); // the settings stay as they were
        decodesRight();
    }
}

TEST_P(PluginHostTest, ProgressReachesTheProgramAndItsCancelReachesThePlugin) {
    std::vector<std::uint8_t> rgb(32 * 32 * 3, 77);
    std::uint8_t* webp = nullptr;
    const std::size_t size = WebPEncodeLosslessRGB(rgb.data(), 32, 32, 32 * 3, &webp);
    test::writeFile(picture("p.webp"), {reinterpret_cast<std::byte*>(webp),
                                        reinterpret_cast<std::byte*>(webp) + size});
    WebPFree(webp);
    auto r = registry();
    m_faults.clear(); // the constructor's fault, at the scan
    const DecoderId id = r->find("webp", DecoderKind::Picture);
    static std::atomic<int> calls = 0;
    calls = 0;
    DecodeOptions options;
    options.userData = 7;
    options.progress = [](int, int, intptr_t user) {
        ++calls;
        return user == 7 ? 1 : 0; // cancel, and only with our own user data
    };
    PictureBuffer out;
    EXPECT_EQ(r->picture(id, PluginSource::file(picture("p.webp")), out, options), 1);
    EXPECT_TRUE(out.isNull());
    EXPECT_GE(calls.load(), 1);
    options.progress = [](int, int, intptr_t) { return 0; };
    EXPECT_EQ(r->picture(id, PluginSource::file(picture("p.webp")), out, options), 0);
    EXPECT_EQ(out.width(), 32);
    EXPECT_TRUE(m_faults.empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, PluginHostTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "InHost" : "InProcess"; });

TEST(PluginHostTestInProcess, AbortInAPluginEndsTheProgram) {
    // glibc aborts when it finds its heap corrupted; going on would run on
    // that heap, so in the program an abort is not caught.
    PluginModule module = test::testPlugin("hostile_abort");
    TempDir dir;
    test::writeFile(dir.file("x.hostile"), text("HOSTILE:abort"));
    EXPECT_DEATH(
        {
            FaultReport report;
            PictureBuffer out;
            runGuarded(
                "GetPicture",
                [&] { (void)module.picture(PluginSource::file(dir.file("x.hostile")), out); },
                report);
        },
        "");
}

TEST(PluginHost, SeveralHostsServeThreadsAtOnceAndAHungOneIsReplaced) {
    test::ensureGuiApplication();
    TempDir dir;
    fs::create_directories(dir.path() / "spi");
    fs::copy_file(test::shippedPluginPath("webp"), dir.path() / "spi" / "webp.spi");
    fs::copy_file(test::testPluginPath("hostile_loop"), dir.path() / "spi" / "hostile_loop.spi");
    SettingsStore store(dir.file("vemra.ini"));
    DecoderRegistry r(store);
    r.setWriteBack(false);
    PluginHostOptions options;
    // Long enough for sixty ordinary decodes on a loaded machine never to
    // reach it, so the looping plug-in is the one fault.
    options.limits.picture = std::chrono::milliseconds(4000);
    options.maxHosts = 3;
    r.setHostOptions(options);
    std::vector<std::string> faults;
    r.setFaultSink([&](const std::string& message) { faults.push_back(message); });
    r.scan((dir.path() / "spi").string(), "");
    ASSERT_TRUE(r.pluginsInHost());
    std::vector<std::uint8_t> rgb(64 * 64 * 3, 90);
    std::uint8_t* webp = nullptr;
    const std::size_t size = WebPEncodeLosslessRGB(rgb.data(), 64, 64, 64 * 3, &webp);
    test::writeFile(dir.file("p.webp"), {reinterpret_cast<std::byte*>(webp),
                                         reinterpret_cast<std::byte*>(webp) + size});
    WebPFree(webp);
    test::writeFile(dir.file("x.hostile"), text("HOSTILE:loop"));
    const DecoderId webpId = r.find("webp", DecoderKind::Picture);
    std::atomic<int> good = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            const auto use = r.sharedUse();
            if (t == 0) {
                PictureBuffer out;
                EXPECT_EQ(r.picture(r.find("hostile_loop", DecoderKind::Picture),
                                    PluginSource::file(dir.file("x.hostile")), out),
                          -1);
            }
            for (int i = 0; i < 20; ++i) {
                PictureBuffer out;
                if (r.picture(webpId, PluginSource::file(dir.file("p.webp")), out) == 0 &&
                    out.width() == 64) {
                    ++good;
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(good, 60);
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_EQ(faults[0].rfind("GetPicture :Code=102", 0), 0u) << faults[0];
    EXPECT_NE(faults[0].find("時間内に応答しなかった"), std::string::npos);
}

TEST(PluginHost, AHostThatLeaksIsReplacedBetweenCalls) {
    test::ensureGuiApplication();
    TempDir dir;
    fs::create_directories(dir.path() / "spi");
    fs::copy_file(test::testPluginPath("hostile_leak"), dir.path() / "spi" / "hostile_leak.spi");
    SettingsStore store(dir.file("vemra.ini"));
    DecoderRegistry r(store);
    r.setWriteBack(false);
    PluginHostOptions options;
    options.maxResidentBytes = std::uint64_t{48} << 20; // 4 MiB lost per call
    r.setHostOptions(options);
    r.scan((dir.path() / "spi").string(), "");
    test::writeFile(dir.file("x.hostile"), text("HOSTILE:leak"));
    const DecoderId id = r.find("hostile_leak", DecoderKind::Picture);
    for (int i = 0; i < 40; ++i) {
        PictureBuffer out;
        ASSERT_EQ(r.picture(id, PluginSource::file(dir.file("x.hostile")), out), 0) << i;
        ASSERT_EQ(out.width(), 16);
    }
    EXPECT_GE(r.hostsStarted(), 2);
}

TEST(PluginHost, AHostThatEndsAtOnceCostsOnlyThePlugins) {
    // A host that answers nothing (here a program that ends at once): every
    // plug-in fails to load, and the built-in decoders work.
    test::ensureGuiApplication();
    TempDir dir;
    fs::create_directories(dir.path() / "spi");
    fs::copy_file(test::shippedPluginPath("webp"), dir.path() / "spi" / "webp.spi");
    SettingsStore store(dir.file("vemra.ini"));
    DecoderRegistry r(store);
    r.setWriteBack(false);
    PluginHostOptions options;
    options.program = "/bin/true";
    r.setHostOptions(options);
    std::vector<std::string> faults;
    r.setFaultSink([&](const std::string& message) { faults.push_back(message); });
    r.scan((dir.path() / "spi").string(), "");
    EXPECT_EQ(r.find("webp", DecoderKind::Picture), kNoDecoder);
    // Ended before the request reached it, or while it was being read.
    EXPECT_LE(faults.size(), 1u);
    for (const std::string& fault : faults) {
        EXPECT_EQ(fault.rfind("LoadDLL :Code=C0000409", 0), 0u) << fault;
    }
    ASSERT_TRUE(saveJpeg(dir.file("a.jpg"), test::patternPicture(8, 8, 24), 90, false));
    IdentifyRequest request;
    request.fileName = dir.file("a.jpg");
    EXPECT_EQ(r.identify(request), kJpegDecoderId);
}

} // namespace
} // namespace vemra
