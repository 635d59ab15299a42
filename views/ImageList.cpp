#include "views/ImageList.h"

static void InitVorpexResources() {
    Q_INIT_RESOURCE(vorpex);
}

void CImageList::InitResources() {
    static const bool done = (InitVorpexResources(), true);
    (void)done;
}

bool CImageList::Create(const QString& resource, int width) {
    InitResources();
    m_Images.clear();
    const QPixmap strip(resource);
    if (strip.isNull() || width <= 0 || strip.width() < width)
        return false;
    for (int x = 0; x + width <= strip.width(); x += width)
        m_Images.push_back(strip.copy(x, 0, width, strip.height()));
    return true;
}

bool CImageList::Add(const QString& resource) {
    InitResources();
    const QPixmap picture(resource);
    if (picture.isNull())
        return false;
    m_Images.push_back(picture);
    return true;
}

QPixmap CImageList::Pixmap(int index) const {
    return index >= 0 && index < GetImageCount() ? m_Images[index] : QPixmap();
}

QIcon CImageList::IconPair(int normal, int selected) const {
    QIcon icon;
    icon.addPixmap(Pixmap(normal), QIcon::Normal);
    icon.addPixmap(Pixmap(selected), QIcon::Selected);
    return icon;
}
