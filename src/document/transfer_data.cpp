#include "document/transfer_data.h"

#include "document/file_operations.h"
#include "document/folder_document.h"
#include "document/note_changes.h"
#include "document/picture_loader.h"
#include "document/picture_notes.h"
#include "document/written_colours.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/picture_qimage.h"
#include "imaging/picture_save.h"
#include "platform/atomic_file.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <filesystem>
#include <set>

namespace vemra {

namespace {

bool keptInUri(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("-._~/!$&'()*+,;=:@").find(static_cast<char>(c)) !=
           std::string_view::npos;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QByteArray asBytes(std::span<const std::byte> bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

// The URIs of a list, one a line; blank lines and "#" comments skipped.
std::vector<std::string> urisOf(const QByteArray& text) {
    std::vector<std::string> uris;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        // Some writers end the list with a NUL.
        while (line.endsWith('\0'))
            line.chop(1);
        if (!line.isEmpty() && !line.startsWith('#'))
            uris.push_back(line.toStdString());
    }
    return uris;
}

std::vector<std::string> localPaths(const std::vector<std::string>& uris) {
    std::vector<std::string> paths;
    for (const std::string& uri : uris) {
        if (auto path = pathFromFileUri(uri))
            paths.push_back(std::move(*path));
    }
    return paths;
}

// Makes sure an entry's note is in memory: copying a picture whose cell was
// never drawn must not lose its note. Read through `notes`, each note file
// is read once for a whole selection.
const std::string& noteOf(NoteChanges& notes, PictureSource& entry) {
    if (!entry.noteLoaded) {
        entry.note = notes.noteOf(notePlaceOf(entry));
        entry.noteLoaded = true;
    }
    return entry.note;
}

// The picture of `entry` at full size as an image; null when no decoder
// takes it.
QImage decodedImage(FolderDocument& document, PictureSource& entry) {
    PictureLoader* loader = document.pictureLoader();
    if (loader == nullptr)
        return {};
    PictureBuffer picture;
    if (loader->loadForThumbnail(entry, 0, 0, picture) != 0 || !picture)
        return {};
    prepareForWriting(entry, loader, picture);
    return pictureToImage(picture);
}

// A name for an unpacked member inside `folder` that no earlier member
// took: the member's own file name, in a numbered sub-folder when needed.
std::string freeNameFor(const std::string& folder, const std::string& memberName,
                        std::set<std::string>& taken) {
    const std::string name = memberFileName(memberName);
    std::string path = folder;
    path += '/';
    path += name;
    for (int n = 2; taken.contains(path); ++n) {
        path = folder;
        path += '/';
        path += std::to_string(n);
        path += '/';
        path += name;
    }
    taken.insert(path);
    return path;
}

} // namespace

std::string memberFileName(std::string_view memberName) {
    if (const auto slash = memberName.find_last_of("/\\"); slash != std::string_view::npos)
        memberName.remove_prefix(slash + 1);
    if (memberName.empty() || memberName == "." || memberName == "..")
        return "member";
    return std::string(memberName);
}

std::vector<int> selectedPositions(FolderDocument& document) {
    std::vector<int> positions;
    const int count = document.displayedCount();
    for (int i = 0; i < count; ++i) {
        const PictureSource* entry = document.entryAt(i);
        if (entry != nullptr && entry->isSelected())
            positions.push_back(i);
    }
    return positions;
}

std::string fileUri(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (keptInUri(u)) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[u >> 4];
            uri += kHex[u & 15];
        }
    }
    return uri;
}

std::optional<std::string> pathFromFileUri(std::string_view uri) {
    constexpr std::string_view scheme = "file:";
    if (uri.size() < scheme.size() ||
        QByteArray(uri.data(), static_cast<qsizetype>(scheme.size())).toLower() != "file:")
        return std::nullopt;
    std::string_view rest = uri.substr(scheme.size());
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const auto slash = rest.find('/');
        if (slash == std::string_view::npos)
            return std::nullopt;
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() &&
            QByteArray(host.data(), static_cast<qsizetype>(host.size())).toLower() != "localhost")
            return std::nullopt;
        rest.remove_prefix(slash);
    }
    if (!rest.starts_with('/'))
        return std::nullopt;
    std::string path;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '?' || rest[i] == '#')
            break;
        if (rest[i] != '%') {
            path += rest[i];
            continue;
        }
        if (i + 2 >= rest.size())
            return std::nullopt;
        const int high = hexValue(rest[i + 1]);
        const int low = hexValue(rest[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        path += static_cast<char>(high * 16 + low);
        i += 2;
    }
    // A NUL cannot stand in a path; such a URI names no file.
    if (path.find('\0') != std::string::npos)
        return std::nullopt;
    return path;
}

QByteArray uriListBytes(const std::vector<std::string>& paths) {
    QByteArray bytes;
    for (const std::string& path : paths) {
        bytes += QByteArray::fromStdString(fileUri(path));
        bytes += "\r\n";
    }
    return bytes;
}

QByteArray gnomeCopiedFilesBytes(TransferKind kind, const std::vector<std::string>& paths) {
    QByteArray bytes = kind == TransferKind::Cut ? "cut" : "copy";
    for (const std::string& path : paths) {
        bytes += '\n';
        bytes += QByteArray::fromStdString(fileUri(path));
    }
    return bytes;
}

QByteArray dropEffectBytes(TransferKind kind) {
    QByteArray bytes(4, '\0');
    bytes[0] = kind == TransferKind::Cut ? 2 : 5;
    return bytes;
}

std::unique_ptr<QMimeData> makeClipboardData(FolderDocument& document, TransferKind kind) {
    std::vector<std::string> paths;
    std::vector<std::string> notes;
    NoteChanges stored(document.options().centralCacheFolder());
    PictureSource* last = nullptr;
    for (const int position : selectedPositions(document)) {
        PictureSource* entry = document.entryAt(position);
        if (entry == nullptr || entry->isArchiveMember())
            continue;
        paths.push_back(entry->fullPath());
        notes.push_back(noteOf(stored, *entry));
        last = entry;
    }
    if (paths.empty())
        return nullptr;
    auto data = std::make_unique<QMimeData>();
    data->setData(mime::kNotes, asBytes(noteClipboardBytes(notes)));
    data->setData(mime::kUriList, uriListBytes(paths));
    data->setData(mime::kGnomeCopiedFiles, gnomeCopiedFilesBytes(kind, paths));
    data->setData(mime::kDropEffect, dropEffectBytes(kind));
    if (kind == TransferKind::Cut)
        data->setData(mime::kKdeCutSelection, "1");
    if (document.options().clipboardCopyText) {
        QByteArray text;
        for (const std::string& path : paths) {
            if (!text.isEmpty())
                text += '\t';
            text += QByteArray::fromStdString(path);
        }
        data->setData(mime::kPlainText, text);
        data->setData("text/plain", text);
    }
    if (document.options().clipboardCopyDib) {
        const QImage image = decodedImage(document, *last);
        if (!image.isNull())
            data->setImageData(image);
    }
    return data;
}

ClipboardFiles readClipboardFiles(const QMimeData& data) {
    ClipboardFiles files;
    if (data.hasFormat(mime::kGnomeCopiedFiles)) {
        std::vector<std::string> lines = urisOf(data.data(mime::kGnomeCopiedFiles));
        if (!lines.empty() && (lines.front() == "cut" || lines.front() == "copy")) {
            files.cut = lines.front() == "cut";
            lines.erase(lines.begin());
        }
        files.paths = localPaths(lines);
    }
    if (files.paths.empty() && data.hasFormat(mime::kUriList))
        files.paths = localPaths(urisOf(data.data(mime::kUriList)));
    if (data.data(mime::kKdeCutSelection).startsWith('1'))
        files.cut = true;
    const QByteArray effect = data.data(mime::kDropEffect);
    if (effect.size() >= 4 && (static_cast<unsigned char>(effect[0]) & 2) != 0)
        files.cut = true;
    if (data.hasFormat(mime::kNotes)) {
        const QByteArray notes = data.data(mime::kNotes);
        files.notes = parseNoteClipboard(
            std::as_bytes(std::span(notes.constData(), static_cast<std::size_t>(notes.size()))));
    }
    return files;
}

bool holdsFileList(const QMimeData& data) {
    return !readClipboardFiles(data).paths.empty();
}

bool holdsPictureOnly(const QMimeData& data) {
    return data.hasImage() && !holdsFileList(data);
}

bool savePastedPicture(const QImage& image, const std::string& path, bool jpeg) {
    if (image.isNull())
        return false;
    const QImage flat = image.depth() > 8 ? image.convertToFormat(QImage::Format_RGB888) : image;
    const PictureBuffer picture = pictureFromImage(flat);
    if (!picture)
        return false;
    if (jpeg) {
        JpegOptions options;
        options.quality = 95;
        return writeJpegFile(path, picture, options);
    }
    return saveBmp(path, picture, 0);
}

// --- drag

DragFiles::DragFiles(FolderDocument& document) : m_document(document) {
    std::vector<std::string> notes;
    NoteChanges stored(document.options().centralCacheFolder());
    for (const int position : selectedPositions(document)) {
        PictureSource* entry = document.entryAt(position);
        if (entry == nullptr)
            continue;
        if (!entry->isArchiveMember()) {
            m_plain.push_back(entry->fullPath());
            notes.push_back(noteOf(stored, *entry));
            continue;
        }
        PictureSource member;
        member.folder = entry->folder;
        member.fileName = entry->fileName;
        member.archiveFileName = entry->archiveFileName;
        member.archiveDecoder = entry->archiveDecoder;
        member.memberPosition = entry->memberPosition;
        member.decoder = entry->decoder;
        m_members.push_back(std::move(member));
    }
    m_notes = noteClipboardBytes(notes);
}

DragFiles::~DragFiles() = default;

const std::vector<std::string>& DragFiles::render() {
    if (m_rendered)
        return m_all;
    m_rendered = true;
    m_all = m_plain;
    PictureLoader* loader = m_document.pictureLoader();
    if (m_members.empty() || loader == nullptr)
        return m_all;
    m_folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/vemra-drag-XXXXXX");
    if (!m_folder->isValid())
        return m_all;
    const std::string folder = m_folder->path().toStdString();
    std::set<std::string> taken;
    std::vector<std::byte> bytes;
    for (const PictureSource& member : m_members) {
        if (loader->extractMember(member, bytes) != 0)
            continue;
        const std::string path = freeNameFor(folder, member.fileName, taken);
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
        if (!error && writeFileAtomically(path, bytes))
            m_all.push_back(path);
    }
    return m_all;
}

void DragFiles::discardUnpacked() {
    m_folder.reset();
}

int DragFiles::removeVanished(DocumentView* sender) {
    return removeVanishedEntries(m_document, std::set<std::string>(m_plain.begin(), m_plain.end()),
                                 sender);
}

DragMimeData::DragMimeData(const std::vector<std::byte>& notes, QObject* context, Renderer render)
    : m_context(context), m_render(std::move(render)) {
    setData(mime::kNotes, asBytes(notes));
}

void DragMimeData::setFileList(const std::vector<std::string>& paths) {
    m_uriList = uriListBytes(paths);
}

QStringList DragMimeData::formats() const {
    QStringList list = QMimeData::formats();
    if (!list.contains(mime::kUriList))
        list.append(mime::kUriList);
    return list;
}

bool DragMimeData::hasFormat(const QString& mimeType) const {
    return mimeType == mime::kUriList || QMimeData::hasFormat(mimeType);
}

QVariant DragMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
    if (mimeType != mime::kUriList)
        return QMimeData::retrieveData(mimeType, type);
    if (!m_uriList && !m_asked) {
        // Asked once: a renderer that does not answer must not be asked
        // again for every format a target tries.
        m_asked = true;
        if (m_render && m_context) {
            if (std::optional<std::vector<std::string>> paths = m_render(*this))
                m_uriList = uriListBytes(*paths);
        }
    }
    return m_uriList ? QVariant(*m_uriList) : QVariant();
}

} // namespace vemra
