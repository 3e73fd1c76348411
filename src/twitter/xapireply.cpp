#include "twitter/xapireply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

#include <algorithm>

namespace {

// The words the service uses for a token it no longer knows (its code 89).
constexpr int invalidTokenCode = 89;
const QString invalidTokenText = QStringLiteral("Invalid or expired token");

QString textOf(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString().trimmed();
}

} // namespace

XApiReply::XApiReply(const QByteArray &body)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    m_isObject = error.error == QJsonParseError::NoError && document.isObject();
    if (m_isObject)
        m_object = document.object();
}

QJsonObject XApiReply::data() const
{
    return m_object.value(QLatin1String("data")).toObject();
}

QString XApiReply::problem() const
{
    QStringList messages;
    const QJsonArray errors = m_object.value(QLatin1String("errors")).toArray();
    for (const QJsonValue &entry : errors) {
        QString message = textOf(entry.toObject(), "message");
        if (message.isEmpty())
            message = textOf(entry.toObject(), "detail");
        if (!message.isEmpty() && !messages.contains(message))
            messages.append(message);
    }
    if (!messages.isEmpty())
        return messages.join(u'\n');
    const QString detail = textOf(m_object, "detail");
    return detail.isEmpty() ? textOf(m_object, "title") : detail;
}

bool XApiReply::tokenRejected() const
{
    const auto says = [](const QJsonObject &object) {
        return object.value(QLatin1String("code")).toInt() == invalidTokenCode
            || textOf(object, "detail").startsWith(invalidTokenText, Qt::CaseInsensitive)
            || textOf(object, "message").startsWith(invalidTokenText, Qt::CaseInsensitive);
    };
    if (says(m_object))
        return true;
    const QJsonArray errors = m_object.value(QLatin1String("errors")).toArray();
    return std::any_of(errors.begin(), errors.end(),
        [&](const QJsonValue &entry) { return says(entry.toObject()); });
}

QDateTime XApiReply::rateLimitReset(const QByteArray &value)
{
    bool ok = false;
    const qint64 seconds = value.trimmed().toLongLong(&ok);
    return ok && seconds > 0 ? QDateTime::fromSecsSinceEpoch(seconds) : QDateTime();
}
