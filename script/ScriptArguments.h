#pragma once

#include <QJSValue>
#include <QString>
#include <QVariant>

#include <optional>

namespace tarsion {

// A script value as the D-Bus argument of signature `type` ("v", "n", "i", "d", "b" or "s"), or
// nothing when it can't be converted (a type mismatch). For a variant, whole numbers that fit 32 bits
// travel as int32, other numbers as double; undefined and null travel as an empty string, which
// the program counts as 0 (D-Bus variants can't be empty).
std::optional<QVariant> ToDBusArgument(const QJSValue& value, const QString& type);

// A script value from a reply argument.
QJSValue FromDBusResult(const QVariant& value);

} // namespace tarsion
