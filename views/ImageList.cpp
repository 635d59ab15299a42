#include "views/ImageList.h"

// Outside the namespace: the resource's initialiser is a global function.
static void initVorpexResources() {
    Q_INIT_RESOURCE(vorpex);
}

namespace vorpex {

void ImageList::initResources() {
    static const bool done = (initVorpexResources(), true);
    (void)done;
}

bool ImageList::create(const QString& resource, int width) {
    initResources();
    m_images.clear();
    const QPixmap strip(resource);
    if (strip.isNull() || width <= 0 || strip.width() < width)
        return false;
    for (int x = 0; x + width <= strip.width(); x += width)
        m_images.push_back(strip.copy(x, 0, width, strip.height()));
    return true;
}

bool ImageList::add(const QString& resource) {
    initResources();
    const QPixmap picture(resource);
    if (picture.isNull())
        return false;
    m_images.push_back(picture);
    return true;
}

QPixmap ImageList::pixmap(int index) const {
    return index >= 0 && index < imageCount() ? m_images[index] : QPixmap();
}

QIcon ImageList::iconPair(int normal, int selected) const {
    QIcon icon;
    icon.addPixmap(pixmap(normal), QIcon::Normal);
    icon.addPixmap(pixmap(selected), QIcon::Selected);
    return icon;
}

} // namespace vorpex
