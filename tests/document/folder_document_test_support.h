#pragma once

#include "../imaging/test_support.h"
#include "document/folder_document.h"
#include "document/thumb_cache.h"
#include "fake_scan_services.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vemra::test {

class RecordingView : public DocumentView {
public:
    std::vector<UpdateHint> hints;
    void onUpdate(DocumentView*, const UpdateHint& hint) override { hints.push_back(hint); }
    std::vector<int> numbers() const {
        std::vector<int> n;
        for (const UpdateHint& h : hints)
            n.push_back(hintNumber(h));
        return n;
    }
};

// A document over a fresh folder, with a fake registry and a recording view.
class DocFixture {
public:
    TempDir dir;
    FakeScanServices services;
    // File names of the entries the document destroyed or took off display
    // (declared before the document, which tells of its last entries when
    // it goes).
    std::vector<std::string> removed;
    ThumbCache cache;
    FolderDocument doc{services, cache};
    RecordingView view;

    DocFixture() {
        doc.addView(&view);
        doc.setEntryRemovedListener(
            [this](const PictureSource& e) { removed.push_back(e.fileName); });
    }

    std::string folder() const { return dir.path().string(); }
    void put(const std::string& name, const std::string& content = "data") {
        const auto path = dir.path() / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    // File names in display order.
    std::vector<std::string> displayed() {
        std::vector<std::string> names;
        for (int i = 0; i < doc.displayedCount(); ++i)
            names.push_back(doc.entryAt(i)->fileName);
        return names;
    }
    std::vector<std::string> displayedSorted() {
        auto names = displayed();
        std::sort(names.begin(), names.end());
        return names;
    }
};

} // namespace vemra::test
