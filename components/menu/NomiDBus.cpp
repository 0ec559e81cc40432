#include "menu/NomiDBus.h"

#include <QDBusArgument>
#include <QDBusVariant>

namespace quarvel::menu {

QString ServizioMenu() {
    const QString env = qEnvironmentVariable("QUARVEL_MENU_BUS_NAME").trimmed();
    return env.isEmpty() ? QStringLiteral("it.belcor.Quarvel.Menu") : env;
}

QVariant VersoDBus(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return v;
    case QMetaType::Float:
        return v.toDouble();
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QVariantList fuori;
        for (const QVariant& e : v.toList())
            fuori << QVariant::fromValue(QDBusVariant(VersoDBus(e)));
        return fuori;
    }
    default:
        if (v.userType() == qMetaTypeId<QDBusVariant>())
            return VersoDBus(v.value<QDBusVariant>().variant());
        return v.toString();
    }
}

QVariant DaDBus(const QVariant& v) {
    if (v.userType() == qMetaTypeId<QDBusVariant>())
        return DaDBus(v.value<QDBusVariant>().variant());
    if (v.userType() == qMetaTypeId<QDBusArgument>()) {
        const auto arg = v.value<QDBusArgument>();
        if (arg.currentType() == QDBusArgument::ArrayType) {
            QVariantList lista;
            arg >> lista;
            for (QVariant& e : lista)
                e = DaDBus(e);
            return lista;
        }
        return QVariant();
    }
    if (v.typeId() == QMetaType::QVariantList) {
        QVariantList lista = v.toList();
        for (QVariant& e : lista)
            e = DaDBus(e);
        return lista;
    }
    return v;
}

} // namespace quarvel::menu
