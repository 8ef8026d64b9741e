#include "filters/editor/typechoicepictures.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSvgRenderer>

// The strip lives in this static library's resources; a static library must register them.
static void initEditorResources()
{
    Q_INIT_RESOURCE(editor);
}

namespace {
const QSize cell(40, 16);

QPixmap cut(QSvgRenderer& strip, int index, qreal ratio)
{
    QPixmap pixmap(cell * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    strip.render(&painter,
                 QRectF(-cell.width() * index, 0, cell.width() * TypeChoicePictures::count, cell.height()));
    return pixmap;
}
} // namespace

QSize TypeChoicePictures::pictureSize()
{
    return cell;
}

QIcon TypeChoicePictures::picture(int index)
{
    if (index < 0 || index >= count)
        return {};
    initEditorResources();
    QSvgRenderer strip(QStringLiteral(":/editor/typechoices.svg"));
    QList<qreal> ratios{1.0, 2.0};
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (!ratios.contains(screen->devicePixelRatio()))
            ratios.append(screen->devicePixelRatio());
    }
    QIcon icon;
    for (qreal ratio : ratios)
        icon.addPixmap(cut(strip, index, ratio));
    return icon;
}
