#pragma once

#include <QByteArray>
#include <QString>

namespace tarsion {

// Script text from its bytes: UTF-16 with a byte-order mark (as Windows editors save it) or
// UTF-8 with or without one; CRLF line ends become LF.
QString DecodeScript(const QByteArray& bytes);

// True when the file is a VBScript (".vbs", any case), which this host can't run.
bool IsVbScript(const QString& path);

} // namespace tarsion
