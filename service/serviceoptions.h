#ifndef SERVICEOPTIONS_H
#define SERVICEOPTIONS_H

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// How one run of the service is set up, from its command line.
class ServiceOptions
{
public:
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 0;
    QString dataDir; // empty: a temporary folder removed at exit
    QList<QPair<QString, QString>> users; // name, password
    QList<QPair<QString, QString>> consumers; // key, secret
    QString tlsCertificate;
    QString tlsKey;
    int idleTimeout = 30; // seconds a connection may stay silent
    int maxConnections = 0; // 0: as many as the open-file limit leaves room for
    // The authorize page approves at once, as the first account of users.
    bool autoApprove = false;
    int rateLimit = 900; // requests per user and 15 minutes on each /2/ resource
    bool helpRequested = false;
    QString helpText;

    // Fills the options from the arguments (program name first). On failure
    // returns false and puts the reason into error.
    bool parse(const QStringList &arguments, QString *error);

    static QPair<QString, QString> defaultConsumer();
};

#endif
