#include "app/qt_translations.h"
#include "app/system_status.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>

#include <gtest/gtest.h>

namespace vemra {
namespace {

TEST(QtTranslations, QtsOwnDialogsSpeakJapanese) {
    if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                           QStringLiteral("/qtbase_ja.qm"))) {
        GTEST_SKIP() << "Qt's Japanese translation is not installed";
    }
    int argc = 1;
    char name[] = "app_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    EXPECT_EQ(QCoreApplication::translate("QPrintDialog", "Print"), QStringLiteral("Print"));
    ASSERT_TRUE(installQtTranslations(application));
    // The printer dialog's button and a file chooser's caption.
    EXPECT_NE(QCoreApplication::translate("QPrintDialog", "Print"), QStringLiteral("Print"));
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
}

TEST(MemInfo, FiguresFromProcMeminfo) {
    const MemoryStatus s = parseMemInfo("MemTotal:       16000000 kB\n"
                                        "MemFree:         1000000 kB\n"
                                        "MemAvailable:    8000000 kB\n"
                                        "Buffers:          100 kB\n"
                                        "SwapTotal:       2000000 kB\n"
                                        "SwapFree:        1500000 kB\n");
    EXPECT_EQ(s.totalPhysical, 16000000ULL * 1024);
    EXPECT_EQ(s.freePhysical, 8000000ULL * 1024);
    EXPECT_EQ(s.totalVirtual, 18000000ULL * 1024);
    EXPECT_EQ(s.freeVirtual, 9500000ULL * 1024);
}

TEST(MemInfo, OldKernelsAndDamagedTextStayWithinTheTotals) {
    // Without MemAvailable the free figure is MemFree.
    MemoryStatus s = parseMemInfo("MemTotal: 1000 kB\nMemFree: 200 kB\n");
    EXPECT_EQ(s.freePhysical, 200u * 1024);
    EXPECT_EQ(s.totalVirtual, 1000u * 1024);
    // Free figures larger than the totals, garbage, overflow, no newline.
    s = parseMemInfo("garbage\nMemTotal: 10 kB\nMemAvailable: 99 kB\nSwapFree: 5 kB\n"
                     "SwapTotal: 99999999999999999999 kB\n:\nMemFree:");
    EXPECT_EQ(s.totalPhysical, 10u * 1024);
    EXPECT_EQ(s.freePhysical, 10u * 1024);
    EXPECT_LE(s.freeVirtual, s.totalVirtual);
    EXPECT_EQ(parseMemInfo("").totalPhysical, 0u);
    // This machine has some memory.
    EXPECT_GT(currentMemoryStatus().totalPhysical, 0u);
}

TEST(AboutTexts, VersionsAndHyperlinkErrors) {
    EXPECT_EQ(versionWithStage("0.1.0"), "0.1.0");
    EXPECT_EQ(versionWithStage("0.1.2"), "0.1.2β");
    EXPECT_EQ(versionWithStage("1,0,3,7"), "1,0,3,7β");
    EXPECT_EQ(versionWithStage("1"), "1");
    EXPECT_EQ(programVersionText().rfind(VEMRA_VERSION, 0), 0u);
    EXPECT_EQ(systemVersionText().rfind("Linux ", 0), 0u);
    EXPECT_EQ(qtVersionText().rfind("Qt 6.", 0), 0u);
    EXPECT_EQ(libcVersionText().rfind("glibc 2.", 0), 0u);

    EXPECT_EQ(hyperlinkErrorText(2),
              "Unable to open hyperlink:\n\nThe specified file was not found.");
    EXPECT_EQ(hyperlinkErrorText(31), "Unable to open hyperlink:\n\nThere is no application "
                                      "associated\nwith the given filename extension.");
    EXPECT_EQ(hyperlinkErrorText(26),
              "Unable to open hyperlink:\n\nA sharing violation occurred. ");
    EXPECT_EQ(hyperlinkErrorText(4), "Unable to open hyperlink:\n\nUnknown Error (4) occurred.");
}

} // namespace
} // namespace vemra
