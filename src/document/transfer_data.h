#pragma once

#include "document/picture_source.h"

#include <QByteArray>
#include <QMimeData>
#include <QPointer>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QImage;
class QTemporaryDir;

namespace vemra {

class FolderDocument;
class DocumentView;

// The formats pictures travel in between this program, file managers and
// other programs, by clipboard and by drag and drop.
namespace mime {
// The notes of the files, each followed by a NUL, then one more NUL.
inline constexpr char kNotes[] = "application/x-vemra-notes";
inline constexpr char kUriList[] = "text/uri-list";
// "copy" or "cut", then the URIs, one a line: what GNOME-style file
// managers paste.
inline constexpr char kGnomeCopiedFiles[] = "x-special/gnome-copied-files";
// "1" when the files were cut: what KDE's file manager writes.
inline constexpr char kKdeCutSelection[] = "application/x-kde-cutselection";
// A 32-bit little-endian drop effect: 5 copy, 2 cut (bit 1 means move);
// named as Qt names the Windows format, so Windows programs running under
// Wine understand it too.
inline constexpr char kDropEffect[] =
    "application/x-qt-windows-mime;value=\"Preferred DropEffect\"";
inline constexpr char kPlainText[] = "text/plain;charset=utf-8";
} // namespace mime

enum class TransferKind { Copy, Cut };

// The name an archive member gets as a file of its own: the last part of
// its name (members may carry folders, and a hostile archive may name
// "../" ones), or "member" when nothing usable is left.
std::string memberFileName(std::string_view memberName);

// The display positions of the selected entries, in display order.
std::vector<int> selectedPositions(FolderDocument& document);

// A "file://" URI of a local path: every byte outside the unreserved and
// path characters is percent-encoded, so names in any encoding survive.
std::string fileUri(std::string_view path);
// The local path of a "file:" URI ("file:///p", "file://localhost/p",
// "file:/p"); nothing for another scheme, a remote host or a bad escape.
std::optional<std::string> pathFromFileUri(std::string_view uri);

// The URIs of `paths`, each line ending in CR LF.
QByteArray uriListBytes(const std::vector<std::string>& paths);
// "copy" or "cut", then one URI a line.
QByteArray gnomeCopiedFilesBytes(TransferKind kind, const std::vector<std::string>& paths);
QByteArray dropEffectBytes(TransferKind kind);

// What copy (57634) and cut (57635) put on the clipboard for the selected
// plain files (archive members are left out), in display order: the notes,
// the URI list, the file-manager list, the drop effect, with
// ClipboardCopyTEXT the paths joined by tabs, with ClipboardCopyDIB the
// last file's picture decoded by the document's loader (none when it cannot
// be decoded). Null when no plain file is selected.
std::unique_ptr<QMimeData> makeClipboardData(FolderDocument& document, TransferKind kind);

// The files a paste finds on the clipboard.
struct ClipboardFiles {
    std::vector<std::string> paths; // local files, in order
    bool cut = false;
    std::vector<std::string> notes; // empty when the list came without notes
};
ClipboardFiles readClipboardFiles(const QMimeData& data);
// A list of local files (URI list or file-manager list).
bool holdsFileList(const QMimeData& data);
// A picture and no file list: what paste saves as a file.
bool holdsPictureOnly(const QMimeData& data);

// Saves a pasted picture as JPEG of quality 95 or as BMP; the file appears
// only complete. Deep pictures are written in 24 bits (a clipboard's alpha
// has no place in either format). False on failure.
bool savePastedPicture(const QImage& image, const std::string& path, bool jpeg);

// The files a drag out of the grid hands over: the selected plain files,
// then the selected archive members, unpacked into a temporary folder only
// when a target first asks for the list. The folder and everything in it
// go with this object.
class DragFiles {
public:
    // Takes the selection of `document` as it is now.
    explicit DragFiles(FolderDocument& document);
    ~DragFiles();
    DragFiles(const DragFiles&) = delete;
    DragFiles& operator=(const DragFiles&) = delete;

    bool empty() const { return m_plain.empty() && m_members.empty(); }
    const std::vector<std::string>& plainFiles() const { return m_plain; }
    bool hasMembers() const { return !m_members.empty(); }
    // The plain files' notes in the clipboard's form.
    const std::vector<std::byte>& notes() const { return m_notes; }

    // Unpacks the members (the first time only; a member that cannot be
    // unpacked is left out) and gives the whole list: plain files first.
    const std::vector<std::string>& render();
    bool rendered() const { return m_rendered; }
    // Deletes the unpacked files and their folder.
    void discardUnpacked();

    // After the drop: every dragged plain file that no longer exists (the
    // target moved it) leaves the document, from the last position to the
    // first, with EntryRemoved for each and RedrawAll when any went. The count.
    int removeVanished(DocumentView* sender);

private:
    FolderDocument& m_document;
    std::vector<std::string> m_plain;
    std::vector<PictureSource> m_members; // names and archive fields only
    std::vector<std::byte> m_notes;
    std::vector<std::string> m_all;
    std::unique_ptr<QTemporaryDir> m_folder;
    bool m_rendered = false;
};

// The data object of a drag: the notes at once, the URI list by delayed
// rendering. The first request for the list asks `render` for the paths,
// naming this object; it is asked once, and never once `context` (the drag's
// source) is gone. Formats are announced without rendering anything.
class DragMimeData : public QMimeData {
public:
    // The paths of the drag `data` belongs to; none when it has none to give.
    using Renderer =
        std::function<std::optional<std::vector<std::string>>(const DragMimeData& data)>;

    explicit DragMimeData(const std::vector<std::byte>& notes, QObject* context = nullptr,
                          Renderer render = {});

    void setFileList(const std::vector<std::string>& paths);
    bool rendered() const { return m_uriList.has_value(); }

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    QPointer<QObject> m_context;
    Renderer m_render;
    mutable bool m_asked = false;
    // Filled by the first request, which comes through the const reader.
    mutable std::optional<QByteArray> m_uriList;
};

} // namespace vemra
