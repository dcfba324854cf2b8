// Script values (QVariant) to the core's Variant and back.
#include <QMetaType>
#include <QObject>
#include <limits>

#include "platform/qt/ScanControlWidgetPrivate.h"

namespace folioray {

namespace {

Variant FromWhole(long double v) {
    if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()) {
        return Variant(static_cast<int32_t>(v));
    }
    return Variant(static_cast<double>(v));  // too large for a Long
}

}  // namespace

Variant ToVariant(const QVariant& value, Variant invalid) {
    if (!value.isValid()) return invalid;
    switch (value.typeId()) {
        case QMetaType::Nullptr:
            return Variant::Null();
        case QMetaType::Bool:
            return Variant(value.toBool());
        case QMetaType::Short:
            return Variant(static_cast<int16_t>(value.toInt()));
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::UShort:
        case QMetaType::Int:
            return Variant(static_cast<int32_t>(value.toInt()));
        case QMetaType::UInt:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            return FromWhole(static_cast<long double>(value.toULongLong()));
        case QMetaType::Long:
        case QMetaType::LongLong:
            return FromWhole(static_cast<long double>(value.toLongLong()));
        case QMetaType::Float:
        case QMetaType::Double:
            return Variant(value.toDouble());
        case QMetaType::QString:
        case QMetaType::QByteArray:
        case QMetaType::QChar:
            return Variant(value.toString().toStdString());
        case QMetaType::QVariantList:
        case QMetaType::QStringList:
            return Variant::Array();
        case QMetaType::QObjectStar:
            return Variant::Object();
        default:
            break;
    }
    if (value.canConvert<QString>()) return Variant(value.toString().toStdString());
    return Variant::Object();
}

QVariant FromVariant(const Variant& value) {
    switch (value.type()) {
        case Variant::Type::Null:
            return QVariant::fromValue(nullptr);
        case Variant::Type::Boolean:
            return QVariant(value.Number() != 0);
        case Variant::Type::Integer:
        case Variant::Type::Long:
            return QVariant(static_cast<int>(value.Number()));
        case Variant::Type::Double:
            return QVariant(value.Number());
        case Variant::Type::String:
            return QVariant(QString::fromStdString(value.String()));
        case Variant::Type::Empty:
        case Variant::Type::Missing:
        case Variant::Type::Object:
        case Variant::Type::Array:
            break;
    }
    return {};
}

}  // namespace folioray
