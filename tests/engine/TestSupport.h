#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

// Small helpers shared by the engine's tests.
namespace TestSupport {

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The engine's log lines that an apply must write.
inline void expectApplied(long nodes, long attempt)
{
    QTest::ignoreMessage(QtInfoMsg, qPrintable(QStringLiteral("all-spaces applied and verified (%1 desktop nodes, attempt %2)")
                                                   .arg(nodes)
                                                   .arg(attempt)));
}

inline void expectNotVerified(long attempt)
{
    QTest::ignoreMessage(QtCriticalMsg,
                         qPrintable(QStringLiteral("all-spaces write did not verify on attempt %1 — the agent may have "
                                                   "rewritten the store")
                                        .arg(attempt)));
}

}
