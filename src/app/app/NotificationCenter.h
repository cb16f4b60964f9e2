#pragma once

#include <QObject>
#include <QString>

// In-process notifications: a sender posts a name, every observer hears it. Carries no object
// and no payload, like the resync request that wake, deep links and checkout refusals post.
class NotificationCenter : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void post(const QString &name) { emit posted(name); }

signals:
    void posted(const QString &name);
};

// Asks the library to sync now.
inline const QString znShouldResyncLibrary = QStringLiteral("zn.shouldResyncLibrary");
