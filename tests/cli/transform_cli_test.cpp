// The scale, rotate, mirror, flip and unsharp commands of vemra-cli, run as a
// user would.

#include "../imaging/test_support.h"
#include "imaging/bmp_file.h"
#include "imaging/picture_convert.h"
#include "imaging/scaling.h"
#include "imaging/transforms.h"
#include "imaging/unsharp.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace vemra {
namespace {

using test::CliRun;

CliRun cli(const std::string& arguments) {
    return test::runCli(arguments);
}

class TransformCli : public ::testing::Test {
protected:
    void SetUp() override {
        m_source = test::patternPicture(40, 30, 24);
        ASSERT_TRUE(writeBmpFile(m_dir.file("in.bmp"), m_source));
    }

    std::string in() const { return quote(m_dir.file("in.bmp")); }
    std::string out() const { return quote(m_dir.file("out.bmp")); }
    // Built piece by piece: GCC 12 warns falsely about "'" + std::string.
    static std::string quote(const std::string& path) {
        std::string q(1, '\'');
        q += path;
        q += '\'';
        return q;
    }
    PictureBuffer result() const { return readBmpFile(m_dir.file("out.bmp")).picture; }

    static bool same(const PictureBuffer& a, const PictureBuffer& b) {
        return a && b && a.blockSize() == b.blockSize() &&
               std::equal(a.block().begin(), a.block().end(), b.block().begin());
    }

    test::TempDir m_dir;
    PictureBuffer m_source;
};

TEST_F(TransformCli, ScaleUsesTheGivenModeAndAngle) {
    CliRun run = cli("scale " + in() + " -o " + out() + " --size 10x8 --mode 3");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(same(result(), scaleAndRotate(m_source, 10, 8, 0, ScaleMode::Box)));

    run = cli("scale " + in() + " -o " + out() + " --size 15x20 --mode 2 --angle 90");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(same(result(), scaleAndRotate(m_source, 15, 20, 90, ScaleMode::Bilinear)));

    run = cli("scale " + in() + " -o " + out() + " --size 30x20");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(same(result(), scaleAndRotate(m_source, 30, 20, 0, ScaleMode::Bilinear)));
}

TEST_F(TransformCli, PalettePicturesAreScaledInColour) {
    const PictureBuffer indexed = test::patternPicture(16, 16, 8);
    ASSERT_TRUE(writeBmpFile(m_dir.file("in.bmp"), indexed));
    ASSERT_EQ(cli("scale " + in() + " -o " + out() + " --size 4x4 --mode 1").status, 0);
    EXPECT_EQ(result().bitCount(), 24);
    EXPECT_TRUE(same(result(), scalePicture(indexed, 4, 4, 0, ScaleMode::Nearest)));
}

TEST_F(TransformCli, DeepAndRlePicturesAreRead) {
    const PictureBuffer deep = test::patternPicture(12, 9, 32);
    ASSERT_TRUE(writeBmpFile(m_dir.file("in.bmp"), deep));
    CliRun run = cli("unsharp " + in() + " -o " + out() + " --cross 0.3");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(result().bitCount(), 24);
    run = cli("mirror " + in() + " -o " + out());
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(result().bitCount(), 32);

    const PictureBuffer rle = compressRle(test::patternPicture(12, 9, 4));
    ASSERT_TRUE(writeBmpFile(m_dir.file("in.bmp"), rle));
    run = cli("rotate " + in() + " -o " + out() + " --angle 90");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(result().width(), 9);
    EXPECT_EQ(result().compression(), Compression::None);
}

TEST_F(TransformCli, RotateMirrorFlip) {
    ASSERT_EQ(cli("rotate " + in() + " -o " + out() + " --angle 270").status, 0);
    EXPECT_TRUE(same(result(), rotatePicture(m_source, 270)));
    ASSERT_EQ(cli("mirror " + in() + " -o " + out()).status, 0);
    PictureBuffer mirrored = m_source.duplicate();
    ASSERT_TRUE(mirrorPicture(mirrored));
    EXPECT_TRUE(same(result(), mirrored));
    ASSERT_EQ(cli("flip " + in() + " -o " + out()).status, 0);
    PictureBuffer flipped = m_source.duplicate();
    ASSERT_TRUE(flipPicture(flipped));
    EXPECT_TRUE(same(result(), flipped));
}

TEST_F(TransformCli, UnsharpWithKernelCrossAndThumbnailStrength) {
    ASSERT_EQ(cli("unsharp " + in() + " -o " + out() + " --amount 0.7 --kernel 2:1,0,0,1").status,
              0);
    const std::vector<int> weights{1, 0, 0, 1};
    EXPECT_TRUE(same(result(), unsharp(m_source, 0.7, 2, weights)));
    ASSERT_EQ(cli("unsharp " + in() + " -o " + out() + " --cross 0.3").status, 0);
    EXPECT_TRUE(same(result(), unsharpCross(m_source, 0.3)));

    // A 40 x 30 thumbnail of a 400 x 300 picture: factor 0.1, the cross at 0.3.
    CliRun run = cli("unsharp " + in() + " -o " + out() + " --thumbnail --decoded 400x300");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("strength 0.3000 cross"), std::string::npos) << run.out;
    EXPECT_TRUE(same(result(), unsharpCross(m_source, 0.3)));
    run = cli("unsharp " + in() + " -o " + out() +
              " --thumbnail --decoded 160x120 --level 0.5 --kernel 1:1");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("strength 0.1500 kernel 1:1"), std::string::npos) << run.out;
    run = cli("unsharp " + in() + " -o " + out() + " --thumbnail --decoded 40x30 --full 80x60");
    EXPECT_NE(run.out.find("none"), std::string::npos) << run.out;
    EXPECT_TRUE(same(result(), m_source));
}

TEST_F(TransformCli, UsageErrorsAndFailures) {
    for (const std::string& args : {
             "scale " + in() + " -o " + out(),
             "scale " + in() + " -o " + out() + " --size 0x5",
             "scale " + in() + " -o " + out() + " --size 5x5 --mode 4",
             "scale " + in() + " -o " + out() + " --size 5x5 --angle east",
             "rotate " + in() + " -o " + out(),
             "mirror " + in(),
             "flip " + in() + " -o " + out() + " --bogus",
             "unsharp " + in() + " -o " + out(),
             "unsharp " + in() + " -o " + out() + " --cross 0.3 --amount 1",
             "unsharp " + in() + " -o " + out() + " --amount 1 --kernel 6:1",
             "unsharp " + in() + " -o " + out() + " --thumbnail",
         }) {
        EXPECT_EQ(cli(args).status, 2) << args;
    }
    CliRun run = cli("scale " + in() + " -o " + out() + " --size 70000x70000");
    EXPECT_EQ(run.status, 1);
    run = cli("mirror '" + m_dir.file("missing.bmp") + "' -o " + out());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("result"), std::string::npos) << run.out;
}

} // namespace
} // namespace vemra
