#include "global_options.h"

#include <utility>

namespace vemra::cli {

GlobalOptions takeGlobalOptions(std::vector<std::string_view>& args) {
    constexpr std::string_view kSettingsIs = "--settings=";
    GlobalOptions options;
    std::vector<std::string_view> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--") {
            rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(i + 1), args.end());
            break;
        }
        if (arg.starts_with(kSettingsIs)) {
            if (arg.size() == kSettingsIs.size()) {
                options.error = "--settings: no file given";
                return options;
            }
            options.settingsFile = std::string(arg.substr(kSettingsIs.size()));
            continue;
        }
        const bool noteText = arg == "--set" && !rest.empty() && rest.front() == "note";
        std::optional<std::string>* value = nullptr;
        if (arg == "--settings") {
            value = &options.settingsFile;
        } else if (arg == "--plugins") {
            value = &options.pluginDir;
        } else if (arg == "--set" && !noteText) {
            value = &options.pluginSet;
        }
        if (value == nullptr) {
            rest.push_back(arg);
            // The note's text is kept whatever it looks like.
            if (noteText && i + 1 < args.size()) {
                rest.push_back(args[++i]);
            }
            continue;
        }
        const bool settingsFile = value == &options.settingsFile;
        if (i + 1 >= args.size() || (settingsFile && args[i + 1].empty())) {
            options.error =
                settingsFile ? "--settings: no file given" : std::string(arg) + " needs a value";
            return options;
        }
        *value = std::string(args[++i]);
    }
    args = std::move(rest);
    return options;
}

} // namespace vemra::cli
