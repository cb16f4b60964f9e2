#pragma once

#include "CommandRunner.h"

#include <chrono>

// Runs programs through QProcess in the calling thread.
class ProcessCommandRunner : public CommandRunner
{
public:
    explicit ProcessCommandRunner(std::chrono::milliseconds timeout = std::chrono::minutes(2));

    CommandOutput run(const QString &program, const QStringList &arguments) override;

private:
    std::chrono::milliseconds m_timeout;
};
