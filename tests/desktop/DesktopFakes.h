#pragma once

#include "CommandRunner.h"
#include "SessionBus.h"

#include <QDBusUnixFileDescriptor>
#include <QFile>

#include <functional>

// Records every command; answers through `reply` (success with no output by default).
class RecordingRunner : public CommandRunner
{
public:
    QList<QStringList> commands;  // program first, then its arguments
    std::function<CommandOutput(const QStringList &command)> reply;

    CommandOutput run(const QString &program, const QStringList &arguments) override
    {
        const QStringList command = QStringList{program} + arguments;
        commands.append(command);
        if (reply)
            return reply(command);
        return {true, {}, 0, {}, {}};
    }
};

inline CommandOutput succeeded(const QByteArray &standardOutput = {})
{
    return {true, {}, 0, standardOutput, {}};
}

inline CommandOutput exited(int status, const QByteArray &standardError)
{
    return {true, {}, status, {}, standardError};
}

// Records every call; file descriptors are recorded as the file they are open on.
class RecordingBus : public SessionBus
{
public:
    QList<BusCall> calls;
    QStringList descriptorFiles;
    std::function<BusReply(const BusCall &)> reply;
    QStringList services;

    BusReply call(const BusCall &call) override { return record(call); }
    BusReply callPortalRequest(const BusCall &call) override { return record(call); }
    bool hasService(const QString &name) override { return services.contains(name); }

private:
    BusReply record(const BusCall &call)
    {
        calls.append(call);
        for (const QVariant &argument : call.arguments) {
            if (argument.canConvert<QDBusUnixFileDescriptor>()) {
                const int fd = argument.value<QDBusUnixFileDescriptor>().fileDescriptor();
                descriptorFiles.append(QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd)));
            }
        }
        if (reply)
            return reply(call);
        return {};
    }
};
