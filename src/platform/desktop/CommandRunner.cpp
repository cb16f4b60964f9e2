#include "CommandRunner.h"

std::optional<QString> CommandOutput::failure(const QString &program) const
{
    if (!launched)
        return program + QStringLiteral(": ") + launchError;
    if (exitStatus == 0)
        return std::nullopt;
    const QString errorText = QString::fromUtf8(standardError).trimmed();
    if (!errorText.isEmpty())
        return errorText;
    return program + QStringLiteral(" exited ") + QString::number(exitStatus);
}
