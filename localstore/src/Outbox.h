#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// A sign-in e-mail as the store would have sent it.
struct Mail
{
    QString to;
    QString subject;
    QString code;
    QString link;
    QString type;  // "magiclink" or "signup"
    QDateTime sentAt;
};

// Where "e-mail" goes: kept for the test controls and printed on standard output so a person
// running the store can sign in with the code.
class Outbox
{
public:
    explicit Outbox(bool print) : m_print(print) {}

    void send(const Mail &mail);
    const QList<Mail> &mails() const { return m_mails; }
    void clear() { m_mails.clear(); }

private:
    bool m_print;
    QList<Mail> m_mails;
};
