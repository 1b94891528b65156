#include "platform/PathBytes_qt.h"

#include <QByteArray>
#include <QFile>

namespace platform {

std::string bytesOf(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString pathOf(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

} // namespace platform
