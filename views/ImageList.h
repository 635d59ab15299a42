#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>

namespace vorpex {

// A row of same-sized images cut from one picture of the program's resources (a toolbar strip, the list's
// folder and page pictures). Transparent pixels take the place of a mask colour.
class ImageList {
public:
    ImageList() = default;

    // Cuts the picture `resource` into images `width` pixels wide, left to right; false when the picture
    // is missing or narrower than one image.
    bool create(const QString& resource, int width);
    // Appends a whole picture as one more image.
    bool add(const QString& resource);

    int imageCount() const { return static_cast<int>(m_images.size()); }
    QPixmap pixmap(int index) const;
    QIcon icon(int index) const { return QIcon(pixmap(index)); }
    // One icon drawn with image `normal`, and with image `selected` while its item is selected.
    QIcon iconPair(int normal, int selected) const;

    // Makes the pictures compiled into the program reachable (needed once, as they live in a static library).
    static void initResources();

private:
    QList<QPixmap> m_images;
};

} // namespace vorpex
