#pragma once

#include <QLocale>
#include <QString>

// Amounts are whole US cents.
namespace Money {

// The locale every amount is shown in.
inline QLocale usLocale()
{
    return QLocale(QStringLiteral("en_US"));
}

// US dollars in `locale`'s currency style: "$12.99", whole dollars without a fraction ("$12"),
// negatives with a leading minus ("-$0.90").
QString string(qint64 cents, const QLocale &locale = usLocale());

}
