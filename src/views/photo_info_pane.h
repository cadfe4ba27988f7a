#pragma once

#include <QFrame>

class QLabel;

namespace vemra {

struct PhotoMetadata;

// The viewer's information pane: how the photograph shown was taken
// (camera, lens, exposure, ISO, focal length, date taken, position, colour
// profile), in a translucent box over the picture's top-left corner.
// "撮影情報がありません" for a picture without any.
class PhotoInfoPane : public QFrame {
    Q_OBJECT
public:
    explicit PhotoInfoPane(QWidget* parent);
    void setMetadata(const PhotoMetadata& metadata);
    // The text shown, label and value per line (for tests and copying).
    QString text() const;

private:
    QLabel* m_labels = nullptr;
    QLabel* m_values = nullptr;
};

} // namespace vemra
