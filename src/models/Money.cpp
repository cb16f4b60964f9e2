#include "Money.h"

namespace Money {

QString string(qint64 cents, const QLocale &locale)
{
    const double dollars = static_cast<double>(cents) / 100.0;
    const int fractionDigits = cents % 100 == 0 ? 0 : 2;
    // Qt renders negative currency in accounting style, "($0.90)"; a minus reads plainer.
    const QString magnitude =
        locale.toCurrencyString(qAbs(dollars), QStringLiteral("$"), fractionDigits);
    if (magnitude.isEmpty())
        return QStringLiteral("$") + QString::number(dollars);
    return cents < 0 ? QStringLiteral("-") + magnitude : magnitude;
}

}
