#include "Outbox.h"

#include <cstdio>

void Outbox::send(const Mail &mail)
{
    m_mails.append(mail);
    if (!m_print)
        return;
    const QByteArray block = QStringLiteral(
                                 "\n======== mail to %1 ========\n"
                                 "Subject: %2\n"
                                 "Code:    %3\n"
                                 "Link:    %4\n"
                                 "================================\n\n")
                                 .arg(mail.to, mail.subject, mail.code, mail.link)
                                 .toUtf8();
    std::fputs(block.constData(), stdout);
    std::fflush(stdout);
}
