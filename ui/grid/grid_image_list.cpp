#include "ui/grid/grid_image_list.h"

#include <QImageReader>
#include <algorithm>

namespace pontiq {

QImage CGridImageList::WhiteToTransparent(const QImage& image)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if ((line[x] & 0x00FFFFFFu) == 0x00FFFFFFu) line[x] = 0;
        }
    }
    return out;
}

void CGridImageList::Add(const QImage& image)
{
    if (image.isNull()) return;
    m_pictures.push_back(QPixmap::fromImage(WhiteToTransparent(image)));
}

int CGridImageList::AddStrip(const QImage& strip, QSize piece)
{
    if (strip.isNull()) return 0;
    if (piece.width() <= 0 || piece.height() <= 0 || strip.width() < piece.width()) {
        Add(strip);
        return 1;
    }
    int added = 0;
    for (int x = 0; x + piece.width() <= strip.width(); x += piece.width()) {
        Add(strip.copy(x, 0, piece.width(), std::min(piece.height(), strip.height())));
        ++added;
    }
    return added;
}

int CGridImageList::AddFromFile(const QString& path, QSize piece)
{
    if (path.isEmpty()) return 0;
    QImageReader reader(path);
    const QImage image = reader.read();
    return AddStrip(image, piece);
}

QPixmap CGridImageList::Picture(int index) const
{
    if (index < 0 || index >= Count()) return QPixmap();
    return m_pictures[static_cast<size_t>(index)];
}

}  // namespace pontiq
