#include "AllSpacesOutcome.h"

QString AllSpacesOutcome::description() const
{
    switch (m_kind) {
    case Kind::appliedAllSpaces:
        return QStringLiteral("Set for All Spaces — every desktop on every display.");
    case Kind::fellBackToPublicAPI:
        return QStringLiteral("Set on the current desktops — other Spaces update as you switch to them. (%1)")
            .arg(m_reason);
    case Kind::failed:
        return QStringLiteral("Couldn't set the wallpaper: ") + m_reason;
    }
    Q_UNREACHABLE();
}
