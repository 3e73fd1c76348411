#include "serviceoptions.h"

#include <QCommandLineParser>

namespace {

// NAME:SECRET, split at the first colon so secrets may hold colons.
bool splitPair(const QString &text, QPair<QString, QString> *pair)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon <= 0 || colon == text.size() - 1)
        return false;
    *pair = { text.left(colon), text.mid(colon + 1) };
    return true;
}

bool parsePairs(const QStringList &values, const QString &option,
    QList<QPair<QString, QString>> *out, QString *error)
{
    for (const QString &value : values) {
        QPair<QString, QString> pair;
        if (!splitPair(value, &pair)) {
            *error = QStringLiteral("--%1 expects NAME:SECRET").arg(option);
            return false;
        }
        out->append(pair);
    }
    return true;
}

bool parseListen(const QString &text, QHostAddress *address, quint16 *port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint value = text.mid(colon + 1).toUInt(&ok);
    if (!ok || value > 65535 || !address->setAddress(host))
        return false;
    *port = quint16(value);
    return true;
}

} // namespace

QPair<QString, QString> ServiceOptions::defaultConsumer()
{
    return { QStringLiteral("Xq7LmN2pRt5VwY8zKc3Hd"),
        QStringLiteral("Pz4Kw9Lm2Nq7Rt1Vx6Yb3Hc8Jd5Fg0Sa2Ue7Ko4Wi9T") };
}

bool ServiceOptions::parse(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Local Twitter-compatible service"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption listen(QStringLiteral("listen"),
        QStringLiteral("Address and port (port 0: any free one)."), QStringLiteral("ADDR:PORT"),
        QStringLiteral("127.0.0.1:0"));
    const QCommandLineOption data(QStringLiteral("data"),
        QStringLiteral("Folder for the database and uploads."), QStringLiteral("DIR"));
    const QCommandLineOption user(QStringLiteral("user"),
        QStringLiteral("Create or update an account (repeatable)."),
        QStringLiteral("NAME:PASSWORD"));
    const QCommandLineOption consumer(QStringLiteral("consumer"),
        QStringLiteral("Accepted consumer key and secret."), QStringLiteral("KEY:SECRET"));
    const QCommandLineOption cert(QStringLiteral("tls-cert"),
        QStringLiteral("PEM certificate: serve HTTPS."), QStringLiteral("FILE"));
    const QCommandLineOption key(
        QStringLiteral("tls-key"), QStringLiteral("PEM private key."), QStringLiteral("FILE"));
    const QCommandLineOption idle(QStringLiteral("idle-timeout"),
        QStringLiteral("Seconds before a silent connection is closed."), QStringLiteral("SECONDS"),
        QStringLiteral("30"));
    const QCommandLineOption connections(QStringLiteral("max-connections"),
        QStringLiteral("Connections served at once (default: from the open-file limit)."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption approve(QStringLiteral("auto-approve"),
        QStringLiteral("The sign-in page shows its PIN at once, approved as the first --user "
                       "account (for tests and the demo)."));
    const QCommandLineOption rate(QStringLiteral("rate-limit"),
        QStringLiteral("Requests per user and 15 minutes on each /2/ resource (default 900); "
                       "more get 429."),
        QStringLiteral("N"), QStringLiteral("900"));
    parser.addOptions(
        { listen, data, user, consumer, cert, key, idle, connections, approve, rate });
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    helpText = parser.helpText();
    helpRequested = parser.isSet(help);
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first());
        return false;
    }
    if (!parseListen(parser.value(listen), &address, &port)) {
        *error = QStringLiteral("--listen expects ADDR:PORT");
        return false;
    }
    bool idleOk = false;
    bool connectionsOk = false;
    idleTimeout = parser.value(idle).toInt(&idleOk);
    maxConnections = parser.value(connections).toInt(&connectionsOk);
    if (!idleOk || idleTimeout < 1 || !connectionsOk || maxConnections < 0) {
        *error = QStringLiteral(
            "--idle-timeout expects seconds (at least 1), --max-connections a count");
        return false;
    }
    bool rateOk = false;
    rateLimit = parser.value(rate).toInt(&rateOk);
    if (!rateOk || rateLimit < 1) {
        *error = QStringLiteral("--rate-limit expects a count (at least 1)");
        return false;
    }
    dataDir = parser.value(data);
    users.clear();
    consumers.clear();
    if (!parsePairs(parser.values(user), user.names().first(), &users, error)
        || !parsePairs(parser.values(consumer), consumer.names().first(), &consumers, error))
        return false;
    autoApprove = parser.isSet(approve);
    if (autoApprove && users.isEmpty()) {
        *error = QStringLiteral("--auto-approve approves as the first --user account: give one");
        return false;
    }
    if (consumers.isEmpty())
        consumers.append(defaultConsumer());
    tlsCertificate = parser.value(cert);
    tlsKey = parser.value(key);
    if (tlsCertificate.isEmpty() != tlsKey.isEmpty()) {
        *error = QStringLiteral("--tls-cert and --tls-key go together");
        return false;
    }
    return true;
}
