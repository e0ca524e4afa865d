#include "ui/Icons.h"

#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

#include <mutex>

// The pictures live in a static library, whose resources are registered only when asked for by name.
static void RegisterIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace sarvo::ui {
namespace {

QPixmap Render(const QString& resource, int size, qreal devicePixelRatio) {
    static std::once_flag registered;
    std::call_once(registered, RegisterIconResources);
    static QHash<QString, QPixmap> cache;
    const QString key = QStringLiteral("%1@%2x%3").arg(resource).arg(size).arg(devicePixelRatio);
    if (auto found = cache.constFind(key); found != cache.constEnd())
        return *found;
    QSvgRenderer renderer(resource);
    const int pixels = qRound(size * devicePixelRatio);
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    cache.insert(key, pixmap);
    return pixmap;
}

}  // namespace

QPixmap FolderImage(int index, qreal devicePixelRatio) {
    if (index < 0 || index >= kFolderImageCount)
        return {};
    return Render(QStringLiteral(":/icons/folder-%1.svg").arg(index), kFolderImageSize, devicePixelRatio);
}

QPixmap FolderStateImage(int state, qreal devicePixelRatio) {
    if (state < 1 || state > kFolderStateCount)
        return {};
    return Render(QStringLiteral(":/icons/state-%1.svg").arg(state), kFolderStateSize, devicePixelRatio);
}

QPixmap FileStateImage(int state, qreal devicePixelRatio) {
    if (state < 1 || state > kFileStateCount)
        return {};
    return Render(QStringLiteral(":/icons/file-state-%1.svg").arg(state), kFileStateSize, devicePixelRatio);
}

QPixmap StateAndImage(const QPixmap& state, const QPixmap& image) {
    const qreal ratio = image.isNull() ? state.devicePixelRatio() : image.devicePixelRatio();
    const QSizeF stateSize = state.deviceIndependentSize();
    const QSizeF imageSize = image.deviceIndependentSize();
    const int gap = 2;
    const int width = qCeil(stateSize.width() + gap + imageSize.width());
    const int height = qCeil(std::max(stateSize.height(), imageSize.height()));
    QPixmap both(qRound(width * ratio), qRound(height * ratio));
    both.setDevicePixelRatio(ratio);
    both.fill(Qt::transparent);
    QPainter painter(&both);
    painter.drawPixmap(QPointF(0, (height - stateSize.height()) / 2), state);
    painter.drawPixmap(QPointF(stateSize.width() + gap, (height - imageSize.height()) / 2), image);
    return both;
}

namespace {

QIcon IconOfAllSizes(const QString& resource) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128})
        icon.addPixmap(Render(resource, size, 1.0));
    return icon;
}

}  // namespace

QIcon TrayIcon(bool serverRunning) {
    return IconOfAllSizes(serverRunning ? QStringLiteral(":/icons/tray-running.svg")
                                        : QStringLiteral(":/icons/tray-stopped.svg"));
}

QIcon ApplicationIcon() {
    return IconOfAllSizes(QStringLiteral(":/icons/sarvo.svg"));
}

}  // namespace sarvo::ui
