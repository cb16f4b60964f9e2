#include "ProcessCommandRunner.h"

#include <QProcess>

ProcessCommandRunner::ProcessCommandRunner(std::chrono::milliseconds timeout)
    : m_timeout(timeout)
{
}

CommandOutput ProcessCommandRunner::run(const QString &program, const QStringList &arguments)
{
    CommandOutput output;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted()) {
        output.launchError = process.errorString();
        return output;
    }
    output.launched = true;
    // A desktop service that hangs must not hang a wallpaper apply forever.
    if (!process.waitForFinished(int(m_timeout.count()))) {
        process.kill();
        process.waitForFinished();
        output.standardError = program.toUtf8() + " did not finish within "
                               + QByteArray::number(qlonglong(m_timeout.count() / 1000)) + " s";
        return output;
    }
    output.standardOutput = process.readAllStandardOutput();
    output.standardError = process.readAllStandardError();
    if (process.exitStatus() == QProcess::CrashExit) {
        if (output.standardError.trimmed().isEmpty())
            output.standardError = program.toUtf8() + " crashed";
        return output;
    }
    output.exitStatus = process.exitCode();
    return output;
}
