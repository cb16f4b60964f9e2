#include "GSettingsBackend.h"

namespace {
const QString gsettings = QStringLiteral("gsettings");
}

GSettingsBackend::Keys GSettingsBackend::gnomeKeys()
{
    // Since dark mode GNOME shows picture-uri-dark under a dark style: set both.
    return {QStringLiteral("org.gnome.desktop.background"), QStringLiteral("picture-uri"),
            QStringLiteral("picture-uri-dark"), Keys::Value::fileUri, QStringLiteral("picture-options")};
}

GSettingsBackend::Keys GSettingsBackend::cinnamonKeys()
{
    return {QStringLiteral("org.cinnamon.desktop.background"), QStringLiteral("picture-uri"), {},
            Keys::Value::fileUri, QStringLiteral("picture-options")};
}

GSettingsBackend::Keys GSettingsBackend::mateKeys()
{
    return {QStringLiteral("org.mate.background"), QStringLiteral("picture-filename"), {},
            Keys::Value::plainPath, QStringLiteral("picture-options")};
}

GSettingsBackend::GSettingsBackend(QString name, Keys keys, std::shared_ptr<CommandRunner> runner)
    : m_name(std::move(name))
    , m_keys(std::move(keys))
    , m_runner(std::move(runner))
{
}

std::optional<QString> GSettingsBackend::setPicture(const Display &, const QString &imageFile)
{
    const QString value = m_keys.value == Keys::Value::fileUri ? fileUri(imageFile) : imageFile;
    if (auto error = set(m_keys.pictureKey, value))
        return error;
    if (!m_keys.darkPictureKey.isEmpty()) {
        if (auto error = set(m_keys.darkPictureKey, value))
            return error;
    }
    return set(m_keys.optionsKey, QStringLiteral("zoom"));
}

std::optional<QString> GSettingsBackend::picture(const Display &) const
{
    const CommandOutput output = m_runner->run(gsettings, {QStringLiteral("get"), m_keys.schema, shownPictureKey()});
    if (output.failure(gsettings))
        return std::nullopt;
    const auto value = parseGVariantString(QString::fromUtf8(output.standardOutput).trimmed());
    if (!value || value->isEmpty())
        return std::nullopt;
    return m_keys.value == Keys::Value::fileUri ? localFileFromUri(*value) : value;
}

QString GSettingsBackend::shownPictureKey() const
{
    if (m_keys.darkPictureKey.isEmpty())
        return m_keys.pictureKey;
    const CommandOutput style = m_runner->run(
        gsettings, {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("color-scheme")});
    const bool dark = !style.failure(gsettings)
                      && parseGVariantString(QString::fromUtf8(style.standardOutput).trimmed())
                             == QLatin1String("prefer-dark");
    return dark ? m_keys.darkPictureKey : m_keys.pictureKey;
}

std::optional<QString> GSettingsBackend::set(const QString &key, const QString &text)
{
    // The value is parsed as GVariant text: quoted, so a name that happens to look like
    // another GVariant value stays a string.
    return m_runner->run(gsettings, {QStringLiteral("set"), m_keys.schema, key, gvariantString(text)})
        .failure(gsettings);
}

QString GSettingsBackend::gvariantString(const QString &text)
{
    QString quoted = QStringLiteral("'");
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('\''))
            quoted += QLatin1Char('\\') + c;
        else if (c == QLatin1Char('\n'))
            quoted += QStringLiteral("\\n");
        else if (c.unicode() < 0x20)
            quoted += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            quoted += c;
    }
    return quoted + QLatin1Char('\'');
}

std::optional<QString> GSettingsBackend::parseGVariantString(const QString &printed)
{
    if (printed.size() < 2)
        return std::nullopt;
    const QChar quote = printed.front();
    if ((quote != QLatin1Char('\'') && quote != QLatin1Char('"')) || printed.back() != quote)
        return std::nullopt;
    QString text;
    for (qsizetype i = 1; i < printed.size() - 1; ++i) {
        const QChar c = printed.at(i);
        if (c != QLatin1Char('\\')) {
            text += c;
            continue;
        }
        if (++i >= printed.size() - 1)
            return std::nullopt;
        const QChar escaped = printed.at(i);
        switch (escaped.unicode()) {
        case 'n': text += QLatin1Char('\n'); break;
        case 't': text += QLatin1Char('\t'); break;
        case 'r': text += QLatin1Char('\r'); break;
        case 'a': text += QChar(0x07); break;
        case 'b': text += QChar(0x08); break;
        case 'f': text += QChar(0x0c); break;
        case 'v': text += QChar(0x0b); break;
        case 'u':
        case 'U': {
            const int digits = escaped == QLatin1Char('u') ? 4 : 8;
            bool ok = false;
            const char32_t code = printed.mid(i + 1, digits).toUInt(&ok, 16);
            if (!ok || i + digits > printed.size() - 2)
                return std::nullopt;
            text += QString::fromUcs4(&code, 1);
            i += digits;
            break;
        }
        default: text += escaped;
        }
    }
    return text;
}
