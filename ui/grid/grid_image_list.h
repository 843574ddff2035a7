// The pictures of a grid's image cells. Pictures are cut from skin bitmaps with pure white as
// the transparent colour, as the skin's bitmaps are drawn.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <vector>

namespace pontiq {

class CGridImageList {
public:
    // Adds one picture; white (255, 255, 255) pixels become transparent.
    void Add(const QImage& image);
    // Cuts the file's picture into pieces of `piece` size, left to right, and adds each whole
    // piece; a picture narrower than one piece is added as it is. Returns the number added
    // (0 when the file is missing or does not decode: the list stays as it was).
    int AddFromFile(const QString& path, QSize piece);
    int AddStrip(const QImage& strip, QSize piece);

    int Count() const { return static_cast<int>(m_pictures.size()); }
    bool IsEmpty() const { return m_pictures.empty(); }
    // An empty pixmap for an index outside the list.
    QPixmap Picture(int index) const;
    void Clear() { m_pictures.clear(); }

    static QImage WhiteToTransparent(const QImage& image);

private:
    std::vector<QPixmap> m_pictures;
};

}  // namespace pontiq
