#pragma once

#include <QString>

// The result of an all-Spaces apply, with the sentence shown to the user.
class AllSpacesOutcome
{
public:
    enum class Kind { appliedAllSpaces, fellBackToPublicAPI, failed };

    static AllSpacesOutcome appliedAllSpaces() { return {Kind::appliedAllSpaces, {}}; }
    static AllSpacesOutcome fellBackToPublicAPI(const QString &reason) { return {Kind::fellBackToPublicAPI, reason}; }
    static AllSpacesOutcome failed(const QString &reason) { return {Kind::failed, reason}; }

    Kind kind() const { return m_kind; }
    QString reason() const { return m_reason; }
    QString description() const;
    bool didApply() const { return m_kind != Kind::failed; }

    bool operator==(const AllSpacesOutcome &) const = default;

private:
    AllSpacesOutcome(Kind kind, const QString &reason)
        : m_kind(kind)
        , m_reason(reason)
    {
    }

    Kind m_kind;
    QString m_reason;
};
