// Print-definition files ("*.dps"): every line is read and one page drawn
// onto a small picture with two pictures to step through, which must end
// quickly whatever the expressions, texts and coordinates say.
#include "document/picture_source.h"
#include "document/print_definition.h"
#include "fuzz_support.h"
#include "imaging/picture_buffer.h"

#include <QImage>
#include <QPainter>

#include <string_view>

namespace {

class TwoPictures final : public vemra::PrintPictures {
public:
    TwoPictures() {
        m_entries[0].fileName = "a.bmp";
        m_entries[1].fileName = "bad.bmp";
        m_picture = vemra::PictureBuffer::create(8, 6, 24);
    }
    const vemra::PictureSource* current() const override {
        return m_at < 2 ? &m_entries[m_at] : nullptr;
    }
    const vemra::PictureBuffer* decoded() override { return m_at == 0 ? &m_picture : nullptr; }
    void next() override { m_at += m_at < 2 ? 1 : 0; }

private:
    vemra::PictureSource m_entries[2];
    vemra::PictureBuffer m_picture;
    int m_at = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vemra;
    fuzz::ensureGuiApplication();
    PrintDefinition d =
        PrintDefinition::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    // A small page keeps the drawing cheap: 40 x 30 mm at 72 dots an inch.
    const PrintMetrics metrics{40, 30, 113, 85, 72, 72};
    d.setPageVariables(metrics, 1);
    QImage page(metrics.widthPx, metrics.heightPx, QImage::Format_RGB32);
    QPainter painter(&page);
    TwoPictures pictures;
    d.drawPage(painter, metrics, pictures);
    return 0;
}
