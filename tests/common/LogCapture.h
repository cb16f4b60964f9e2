#pragma once

#include <QList>
#include <QLoggingCategory>
#include <QString>

// Collects the lines logged while it lives, as "category [level] message", instead of printing them.
class LogCapture
{
public:
    LogCapture() { s_lines.clear(); m_previous = qInstallMessageHandler(record); }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    const QStringList &lines() const { return s_lines; }

private:
    static void record(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        static const char *levels[] = {"debug", "default", "error", "fatal", "info"};
        s_lines << QStringLiteral("%1 [%2] %3")
                       .arg(QString::fromUtf8(context.category ? context.category : "default"),
                            QString::fromUtf8(levels[type]), message);
    }

    static inline QStringList s_lines;
    QtMessageHandler m_previous = nullptr;
};
