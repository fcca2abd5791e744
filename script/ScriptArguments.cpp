#include "script/ScriptArguments.h"

#include <QDBusVariant>

#include <cmath>
#include <limits>

namespace tarsion {

namespace {

QVariant VariantNumber(double number) {
    const bool whole = std::trunc(number) == number;
    if (whole && number >= std::numeric_limits<qint32>::min() && number <= std::numeric_limits<qint32>::max())
        return QVariant::fromValue(static_cast<qint32>(number));
    return QVariant::fromValue(number);
}

QVariant VariantOf(const QJSValue& value) {
    if (value.isBool())
        return QVariant::fromValue(value.toBool());
    if (value.isNumber())
        return VariantNumber(value.toNumber());
    if (value.isUndefined() || value.isNull())
        return QVariant::fromValue(QString());
    return QVariant::fromValue(value.toString());
}

// Integer parameters round as the scripting runtime does (half to even) and must fit.
template <typename Integer>
std::optional<QVariant> IntegerArgument(const QJSValue& value) {
    const double number = value.isUndefined() || value.isNull() ? 0.0 : value.toNumber();
    if (!std::isfinite(number))
        return std::nullopt;
    const double rounded = std::nearbyint(number);
    if (rounded < std::numeric_limits<Integer>::min() || rounded > std::numeric_limits<Integer>::max())
        return std::nullopt;
    return QVariant::fromValue(static_cast<Integer>(rounded));
}

} // namespace

std::optional<QVariant> ToDBusArgument(const QJSValue& value, const QString& type) {
    if (type == QLatin1String("v"))
        return QVariant::fromValue(QDBusVariant(VariantOf(value)));
    if (type == QLatin1String("n"))
        return IntegerArgument<qint16>(value);
    if (type == QLatin1String("i"))
        return IntegerArgument<qint32>(value);
    if (type == QLatin1String("d"))
        return QVariant::fromValue(value.isUndefined() || value.isNull() ? 0.0 : value.toNumber());
    if (type == QLatin1String("b"))
        return QVariant::fromValue(value.toBool());
    if (type == QLatin1String("s"))
        return QVariant::fromValue(value.isUndefined() || value.isNull() ? QString() : value.toString());
    return std::nullopt;
}

QJSValue FromDBusResult(const QVariant& value) {
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return QJSValue(value.toBool());
    case QMetaType::QString:
        return QJSValue(value.toString());
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::UChar:
    case QMetaType::Double:
        return QJSValue(value.toDouble());
    default:
        if (value.metaType() == QMetaType::fromType<QDBusVariant>())
            return FromDBusResult(value.value<QDBusVariant>().variant());
        return QJSValue(QJSValue::UndefinedValue);
    }
}

} // namespace tarsion
