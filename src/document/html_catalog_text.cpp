#include "document/html_catalog_text.h"

#include <filesystem>
#include <vector>

namespace vemra {
namespace {

std::vector<std::string> components(std::string_view folder) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(std::filesystem::path(folder), error);
    if (error)
        path = std::filesystem::path(folder);
    std::vector<std::string> parts;
    for (const auto& part : path.lexically_normal()) {
        const std::string text = part.string();
        if (!text.empty() && text != "/")
            parts.push_back(text);
    }
    return parts;
}

} // namespace

std::string relativeLink(std::string_view outputFolder, std::string_view pictureFolder,
                         std::string_view name) {
    const std::vector<std::string> from = components(outputFolder);
    const std::vector<std::string> to = components(pictureFolder);
    std::size_t common = 0;
    while (common < from.size() && common < to.size() && from[common] == to[common])
        ++common;
    std::string link;
    for (std::size_t i = common; i < from.size(); ++i)
        link += "../";
    for (std::size_t i = common; i < to.size(); ++i)
        link += to[i] + "/";
    link += name;
    return link;
}

std::string htmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string urlEncoded(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') ||
                           (b >= '0' && b <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/';
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return out;
}

std::string noteHtml(std::string_view note) {
    // Notes typed here may break lines with LF alone; every break counts.
    const std::string text = htmlEscaped(note);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += "<BR>";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text[i] == '\n') {
            out += "<BR>";
        } else {
            out += text[i];
        }
    }
    return out.empty() ? std::string("\xE3\x80\x80") : out;
}

std::string pageFileName(std::string_view firstPage, int page) {
    if (page <= 1)
        return std::string(firstPage);
    const std::filesystem::path path{std::string(firstPage)};
    const std::string extension = path.extension().string();
    const std::string stem(firstPage.substr(0, firstPage.size() - extension.size()));
    return stem + "-" + std::to_string(page) + extension;
}

} // namespace vemra
