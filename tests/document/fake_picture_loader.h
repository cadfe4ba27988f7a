#pragma once

#include "../imaging/test_support.h"
#include "document/picture_loader.h"
#include "document/picture_source.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace vemra::test {

// Delivers a pattern picture of `width` x `height` for every entry, reduced
// by powers of two up to 1/8 for the requested box as a JPEG decoder would,
// and fails for file names that contain "bad". Counts its calls.
class FakePictureLoader : public PictureLoader {
public:
    int width = 800;
    int height = 600;
    std::atomic<int> calls = 0;
    // Each decode takes this long, as a large picture would.
    std::atomic<int> delayMs = 0;

    int loadForThumbnail(PictureSource& entry, int boxWidth, int boxHeight,
                         PictureBuffer& out) override {
        ++calls;
        if (delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs.load()));
        if (entry.fileName.find("bad") != std::string::npos)
            return -1;
        // A box of 0 x 0 asks for the full size.
        const int wanted =
            boxWidth > 0 && boxHeight > 0 ? std::max({1, width / boxWidth, height / boxHeight}) : 1;
        int reduction = 1;
        while (reduction * 2 <= std::min(wanted, 8))
            reduction *= 2;
        out = patternPicture((width + reduction - 1) / reduction,
                             (height + reduction - 1) / reduction, 24);
        entry.pictureWidth = width;
        entry.pictureHeight = height;
        entry.bitCount = 24;
        if (entry.decoder < 0)
            entry.decoder = kJpegDecoderId;
        return 0;
    }
};

} // namespace vemra::test
