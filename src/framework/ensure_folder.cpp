#include "framework/ensure_folder.h"

#include <filesystem>
#include <system_error>

namespace vemra {

std::string ensureFolderQuestion(std::string_view path) {
    std::string text(path);
    text += " \nフォルダが存在しません．新しく作成しますか？";
    return text;
}

std::string ensureFolderFailure(std::string_view path, std::string_view reason) {
    std::string text(path);
    text += " \n";
    text += reason;
    return text;
}

EnsureFolderResult ensureFolder(std::string_view path,
                                const std::function<bool(const std::string&)>& ask,
                                const std::function<void(const std::string&)>& report) {
    namespace fs = std::filesystem;
    const auto fail = [&](std::error_code ec) {
        if (report)
            report(ensureFolderFailure(path, ec.message()));
        return EnsureFolderResult::Failed;
    };
    if (path.empty())
        return fail(std::make_error_code(std::errc::no_such_file_or_directory));
    const fs::path folder{std::string(path)};
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    if (fs::is_directory(status))
        return EnsureFolderResult::Exists;
    // A file of that name is no folder: saying "it exists" would send the
    // caller's files into nowhere.
    if (fs::exists(status))
        return fail(std::make_error_code(std::errc::not_a_directory));
    if (ask && !ask(ensureFolderQuestion(path)))
        return EnsureFolderResult::Declined;
    fs::create_directories(folder, ec);
    if (ec)
        return fail(ec);
    if (!fs::is_directory(folder, ec))
        return fail(ec ? ec : std::make_error_code(std::errc::not_a_directory));
    return EnsureFolderResult::Created;
}

} // namespace vemra
