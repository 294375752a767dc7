#include "app/desktop/StatusIcon.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

namespace app::desktop {

QIcon statusIcon(const std::string& name, bool templateImage) {
    QIcon themed = QIcon::fromTheme(QString::fromStdString(name));
    if (!themed.isNull()) return themed;
    // The tray shows the application icon when the program has one.
    if (QIcon app = QGuiApplication::windowIcon(); !app.isNull()) return app;
    QIcon icon;
    QColor ink = templateImage ? QGuiApplication::palette().color(QPalette::WindowText) : QColor(30, 110, 230);
    for (int size : {16, 22, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        double s = size;
        // Three stacked rows, the middle one highlighted: a switcher list.
        p.setPen(Qt::NoPen);
        for (int row = 0; row < 3; ++row) {
            QColor c = ink;
            c.setAlphaF(row == 1 ? 1.0 : 0.55);
            p.setBrush(c);
            p.drawRoundedRect(QRectF(s * 0.12, s * (0.14 + row * 0.26), s * 0.76, s * 0.2), s * 0.06, s * 0.06);
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace app::desktop
