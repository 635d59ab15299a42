#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>

// A row of same-sized images cut from one picture of the program's resources (a toolbar strip, the list's
// folder and page pictures). Transparent pixels take the place of a mask colour.
class CImageList {
public:
    CImageList() = default;

    // Cuts the picture `resource` into images `width` pixels wide, left to right; false when the picture
    // is missing or narrower than one image.
    bool Create(const QString& resource, int width);
    // Appends a whole picture as one more image.
    bool Add(const QString& resource);

    int GetImageCount() const { return static_cast<int>(m_Images.size()); }
    QPixmap Pixmap(int index) const;
    QIcon Icon(int index) const { return QIcon(Pixmap(index)); }
    // One icon drawn with image `normal`, and with image `selected` while its item is selected.
    QIcon IconPair(int normal, int selected) const;

    // Makes the pictures compiled into the program reachable (needed once, as they live in a static library).
    static void InitResources();

private:
    QList<QPixmap> m_Images;
};
