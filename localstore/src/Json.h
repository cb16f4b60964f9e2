#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

// Writes one JSON string literal, quotes included.
void appendJsonString(QByteArray &out, QStringView text);
QByteArray jsonString(QStringView text);

// Parses a request body that must be a JSON object; nothing when it is not.
std::optional<QJsonObject> parseJsonObject(const QByteArray &body);

QByteArray compactJson(const QJsonObject &object);
