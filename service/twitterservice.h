#ifndef TWITTERSERVICE_H
#define TWITTERSERVICE_H

#include "apiroutes.h"
#include "linkroutes.h"
#include "oauthverifier.h"
#include "pageroutes.h"
#include "servicecontext.h"
#include "serviceoptions.h"
#include "servicestore.h"

#include <QAbstractHttpServer>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

// The HTTP server: turns requests into IncomingRequest, hands them to the
// route groups, writes and logs the replies.
class TwitterService : public QAbstractHttpServer
{
    Q_OBJECT
public:
    // Bodies of anything but an upload are refused past this size.
    static constexpr qsizetype MaxBodySize = 4 * 1024 * 1024;

    explicit TwitterService(const ServiceOptions &options, QObject *parent = nullptr);
    ~TwitterService() override;

    // Opens the store, makes the accounts and listens. False with a reason on failure.
    bool start(QString *error);
    // Closes the listening sockets and the database.
    void stop();

    // e.g. http://127.0.0.1:43123, valid after start().
    QUrl baseUrl() const { return m_baseUrl; }
    QString dataDir() const { return m_dataDir; }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    ServiceReply dispatch(const QHttpServerRequest &request) const;
    std::optional<IncomingRequest> incoming(
        const QHttpServerRequest &request, std::optional<ServiceReply> *refusal) const;
    QStringList signedUrls(const QByteArray &host, const QString &path) const;
    void write(
        const QHttpServerRequest &request, QTcpSocket *socket, const ServiceReply &reply) const;
    bool setUpTls(QString *error);

    ServiceOptions m_options;
    std::unique_ptr<QTemporaryDir> m_temporaryDir;
    QString m_dataDir;
    QUrl m_baseUrl;
    ServiceStore m_store;
    std::unique_ptr<OAuthVerifier> m_verifier;
    ServiceContext m_context;
    ApiRoutes m_api;
    LinkRoutes m_links;
    PageRoutes m_pages;
};

#endif
