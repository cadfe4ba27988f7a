#include "framework/ensure_folder_box.h"

#include "framework/message_box.h"

namespace vemra {

namespace {

std::function<void(const std::string&)> reportIn(QWidget* parent) {
    return [parent](const std::string& text) { showWarning(parent, text); };
}

} // namespace

bool ensureFolderAsking(QWidget* parent, std::string_view path) {
    const auto ask = [parent](const std::string& question) { return askYesNo(parent, question); };
    return folderReady(ensureFolder(path, ask, reportIn(parent)));
}

bool ensureFolderSilently(QWidget* parent, std::string_view path) {
    return folderReady(ensureFolder(path, {}, reportIn(parent)));
}

} // namespace vemra
