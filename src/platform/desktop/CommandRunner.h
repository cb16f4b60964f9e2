#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// What one program run produced.
struct CommandOutput
{
    bool launched = false;
    QString launchError;  // why it could not start, when !launched
    int exitStatus = -1;
    QByteArray standardOutput;
    QByteArray standardError;

    // Nothing when the program ran and exited 0; otherwise the program's own words
    // (its error output), or what kept it from running.
    std::optional<QString> failure(const QString &program) const;
};

// Runs a program with an argument list, never through a shell, and waits for it.
// Desktop backends receive one so tests can record the commands instead of running them.
class CommandRunner
{
public:
    virtual ~CommandRunner() = default;
    virtual CommandOutput run(const QString &program, const QStringList &arguments) = 0;
};
