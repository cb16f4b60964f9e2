#include "Log.h"

#include <QFileInfo>

#include <systemd/sd-journal.h>
#include <syslog.h>

#include <cstdio>

namespace Log {
Q_LOGGING_CATEGORY(app, "com.quenby.zarnova.app")
Q_LOGGING_CATEGORY(net, "com.quenby.zarnova.network")
Q_LOGGING_CATEGORY(auth, "com.quenby.zarnova.auth")
Q_LOGGING_CATEGORY(catalog, "com.quenby.zarnova.catalog")
Q_LOGGING_CATEGORY(downloads, "com.quenby.zarnova.downloads")
Q_LOGGING_CATEGORY(images, "com.quenby.zarnova.images")
Q_LOGGING_CATEGORY(updates, "com.quenby.zarnova.updates")

namespace {

int syslogPriority(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return LOG_DEBUG;
    case QtInfoMsg: return LOG_INFO;
    case QtWarningMsg: return LOG_NOTICE;
    case QtCriticalMsg: return LOG_ERR;
    case QtFatalMsg: return LOG_CRIT;
    }
    return LOG_INFO;
}

const char *levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return "debug";
    case QtInfoMsg: return "info";
    case QtWarningMsg: return "default";
    case QtCriticalMsg: return "error";
    case QtFatalMsg: return "fault";
    }
    return "info";
}

void toJournal(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray category = context.category ? context.category : "default";
    sd_journal_send("MESSAGE=%s", message.toUtf8().constData(),
                    "PRIORITY=%d", syslogPriority(type),
                    "SYSLOG_IDENTIFIER=zarnova",
                    "ZN_CATEGORY=%s", category.constData(),
                    nullptr);
}

void toStandardError(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    std::fprintf(stderr, "%s [%s] %s\n", context.category ? context.category : "default",
                 levelName(type), message.toUtf8().constData());
    std::fflush(stderr);
}

}

void installMessageHandler()
{
    // QT_FORCE_STDERR_LOGGING keeps its Qt meaning: lines go to the terminal even with a journal.
    static const bool journal = QFileInfo::exists(QStringLiteral("/run/systemd/journal/socket"))
                             && qEnvironmentVariableIsEmpty("QT_FORCE_STDERR_LOGGING");
    qInstallMessageHandler(journal ? toJournal : toStandardError);
}
}
