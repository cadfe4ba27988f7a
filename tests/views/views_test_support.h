#pragma once

#include "document/folder_document.h"
#include "document/registry_scan_services.h"
#include "document/thumb_cache.h"
#include "framework/document_base.h"
#include "imaging/decoder_registry.h"
#include "settings/settings_store.h"

#include "../imaging/test_support.h"

#include <QImage>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vemra {
class ThumbnailGrid;
}

namespace vemra::test {

// A document over a registry without plug-ins, with settings in a fresh
// temporary ini file.
struct DocumentFixture {
    DocumentFixture();
    ~DocumentFixture();

    TempDir dir;
    SettingsStore store;
    std::unique_ptr<DecoderRegistry> registry;
    std::unique_ptr<RegistryScanServices> services;
    ThumbCache thumbCache;
    std::unique_ptr<FolderDocument> document;
};

// Remembers every hint a document sends.
class HintRecorder : public DocumentView {
public:
    void onUpdate(DocumentView*, const UpdateHint& hint) override {
        hints.push_back(hintNumber(hint));
    }
    std::vector<int> hints;
};

// Saves a screenshot under the build tree (build-test/screenshots/<name>).
std::string saveScreenshot(const QImage& image, const std::string& name);

// Small PNG pictures in distinct colours, "pic0000.png" on, so that they
// sort in order.
void makePictures(const std::string& folder, int count, int width = 64, int height = 48);

// Runs the grid's idle work until it rests with no thumbnail on its way,
// waiting for the worker threads whenever only they have work; the number
// of steps taken (at most `limit`).
int runGridIdle(ThumbnailGrid& grid, FolderDocument& document, int limit = 100000);
// The same for any idle handler (a main window's idle(), say).
int runIdleWithWorkers(const std::function<bool(int)>& idle, FolderDocument& document,
                       int limit = 100000);

// The project's sample pictures.
std::string samplesFolder();

} // namespace vemra::test
