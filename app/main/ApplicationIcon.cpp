#include "app/main/ApplicationIcon.h"

#include <QFile>

namespace app {

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString file = QStringLiteral(":/icons/%1x%1/apps/" ZELVO_APP_ID ".png").arg(size);
        if (QFile::exists(file)) icon.addFile(file, QSize(size, size));
    }
    return icon;
}

} // namespace app
