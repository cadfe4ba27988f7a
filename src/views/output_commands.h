#pragma once

#include "framework/command_target.h"
#include "platform/var_table.h"

#include <QColor>

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace vemra {

class FolderDocument;
class PictureSource;
class ProgressSink;
class SettingsStore;

// The output products of the selected pictures: "HTMLの作成(&H)..." (10010),
// "レポートファイルの作成(&R)..." (10170), "コンタクトシートの作成(&G)..."
// (10195) and "印刷(&P)..." (57607), each enabled while a picture is
// selected; and "壁紙設定(&W)..." (10042) for the picture the grid's
// command is for. Each asks in its
// dialog, works on copies of the selected entries (the progress window lets
// the folder change meanwhile) and tells the user of a failure.
class OutputCommands : public CommandTarget {
public:
    // `progress` shows the long runs; `background` gives the colour the grid
    // draws outside its cells, which the contact sheet is filled with.
    OutputCommands(FolderDocument& document, SettingsStore& settings, QWidget* parent,
                   ProgressSink* progress, std::function<QColor()> background);

    std::optional<CommandState> commandState(int id) const override;
    bool onCommand(int id) override;

    // The runs after their dialogs, for tests and scripts.
    void makeHtmlCatalog(const struct HtmlCatalogRequest& request);
    void makeReport(const std::string& path, const std::string& format);
    void makeContactSheets(const std::string& outputPath,
                           const struct ContactSheetOptions& options);

    // Where the definition chooser opens: "catalogs" beside the program, else
    // the installed one.
    void setDefinitionFolder(std::string folder) { m_definitionFolder = std::move(folder); }
    const VarTable& variables() const { return m_vars; }
    // The display position the wallpaper command is for (the entry under
    // the last click, else the current one); -1 for none.
    void setCommandEntry(std::function<int()> entry) { m_commandEntry = std::move(entry); }

private:
    // Copies of the selected entries in display order.
    std::vector<PictureSource> selectedPictures() const;
    void runHtmlCatalog();
    void runReport();
    void runContactSheet();
    void runWallpaper();

    FolderDocument& m_document;
    SettingsStore& m_settings;
    QWidget* m_parent;
    ProgressSink* m_progress;
    std::function<QColor()> m_background;
    std::function<int()> m_commandEntry;
    std::string m_definitionFolder;
    // What "#LET" lines set stays from catalog to catalog.
    VarTable m_vars;
};

} // namespace vemra
