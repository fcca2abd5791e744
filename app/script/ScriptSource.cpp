#include "ScriptSource.h"

#include <QFileInfo>
#include <QStringDecoder>

namespace tarsion {

QString DecodeScript(const QByteArray& bytes) {
    const auto encoding = QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf8);
    QStringDecoder decoder(encoding);
    QString text = decoder(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

bool IsVbScript(const QString& path) {
    return QFileInfo(path).suffix().compare(QLatin1String("vbs"), Qt::CaseInsensitive) == 0;
}

} // namespace tarsion
