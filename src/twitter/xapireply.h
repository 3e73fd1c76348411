#ifndef XAPIREPLY_H
#define XAPIREPLY_H

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

// A reply of the x flavour's JSON resources, or a refusal of its sign-in
// (which may come as JSON too): what it holds and what it says went wrong.
// The body is what the transport took in, so it is already capped in size.
class XApiReply
{
public:
    explicit XApiReply(const QByteArray &body);

    // The body is one JSON object.
    bool isObject() const { return m_isObject; }
    // Its "data" object; empty when there is none (a failed or partial answer).
    QJsonObject data() const;
    // What the service says went wrong: the "message" (else "detail") of each
    // entry of "errors", else "detail", else "title"; empty when it says nothing.
    QString problem() const;
    // The service says the access token itself is invalid or expired (the
    // code 89 of its errors, or those words), not a signature, clock or
    // nonce problem that another try may not have.
    bool tokenRejected() const;

    // When the rate-limit window ends, from an "x-rate-limit-reset" value
    // (seconds since the epoch); invalid when the value is not one.
    static QDateTime rateLimitReset(const QByteArray &value);

private:
    QJsonObject m_object;
    bool m_isObject = false;
};

#endif
