// Writes the program's icon as PNG files for the freedesktop icon theme, one per size, drawn from
// the same shapes as the tray and window icons:
//   verada-rede-icons OUTPUT_FOLDER NAME SIZE...
// creates OUTPUT_FOLDER/<SIZE>x<SIZE>/NAME.png for every size.
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>

#include "platform/artwork/Artwork.h"
#include "shared/StatusKeys.h"

namespace {

bool WriteIcon(const QString& folder, const QString& name, int size) {
    const vr::artwork::Image picture = vr::artwork::StatusIcon(vr::keyVR, size);
    const QImage view(picture.rgba.data(), picture.width, picture.height, picture.width * 4,
                      QImage::Format_RGBA8888);
    const QString sizeFolder = QStringLiteral("%1/%2x%2").arg(folder).arg(size);
    const QString path = QStringLiteral("%1/%2.png").arg(sizeFolder, name);
    if (!QDir().mkpath(sizeFolder) || !view.save(path, "PNG")) {
        std::fprintf(stderr, "verada-rede-icons: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: verada-rede-icons OUTPUT_FOLDER NAME SIZE...\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        bool isNumber = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&isNumber);
        if (!isNumber || size < 1 || size > 1024) {
            std::fprintf(stderr, "verada-rede-icons: not an icon size: %s\n", argv[i]);
            return 2;
        }
        if (!WriteIcon(folder, name, size)) {
            return 1;
        }
    }
    return 0;
}
