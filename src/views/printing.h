#pragma once

#include "document/print_job.h"

#include <string>
#include <vector>

class QPrinter;
class QWidget;

namespace vemra {

class FolderDocument;
class PictureLoader;
class ProgressSink;
class SettingsStore;

// The folder "print" beside the program, which holds the shipped
// definition files and where "参照" opens.
std::string printDefinitionFolder();

// "印刷(&P)..." of the browser: the print dialog, then the selected
// pictures in display order as job "Vemra:印刷", with progress and "中止".
void printSelectedPictures(QWidget* parent, SettingsStore& store, FolderDocument& document,
                           ProgressSink* progress);

// "印刷(&P)..." of the viewer: the print dialog, then `picture` (the one
// shown) on one page as job "Vemra:単体印刷[name]".
void printShownPicture(QWidget* parent, SettingsStore& store, const PictureSource& entry,
                       const PictureBuffer& picture, const std::string& centralFolder);

// The job after the dialog, on `printer` (a CUPS printer or a PDF file):
// page-end errors and a job that cannot start are told in message boxes.
PrintJobResult printOnPrinter(QWidget* parent, QPrinter& printer, std::vector<PrintItem>& items,
                              const PrintJobRequest& request, PictureLoader* loader,
                              ProgressSink* progress);

} // namespace vemra
