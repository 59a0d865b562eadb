#include "Setting.h"

namespace SettingConversion {

static void report(bool* ok, bool value)
{
    if (ok)
        *ok = value;
}

bool toBool(const QVariant& v, bool* ok)
{
    if (v.userType() == QMetaType::Bool) {
        report(ok, true);
        return v.toBool();
    }
    const QString text = v.toString().trimmed().toLower();
    if (text == QLatin1String("true")) {
        report(ok, true);
        return true;
    }
    if (text == QLatin1String("false")) {
        report(ok, true);
        return false;
    }
    bool numeric = false;
    const qlonglong number = text.toLongLong(&numeric);
    report(ok, numeric);
    return numeric && number != 0;
}

int toInt(const QVariant& v, bool* ok)
{
    bool converted = false;
    const int value = v.toInt(&converted);
    report(ok, converted);
    return converted ? value : 0;
}

double toDouble(const QVariant& v, bool* ok)
{
    bool converted = false;
    const double value = v.toDouble(&converted);
    report(ok, converted);
    return converted ? value : 0.0;
}

QString toString(const QVariant& v, bool* ok)
{
    // INI files read a list for an unquoted value with commas; keep it as one text.
    if (v.userType() == QMetaType::QStringList) {
        report(ok, true);
        return v.toStringList().join(QLatin1Char(','));
    }
    const bool converted = v.canConvert<QString>();
    report(ok, converted);
    return converted ? v.toString() : QString();
}

} // namespace SettingConversion
