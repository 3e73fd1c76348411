#ifndef TWITTERSERVICE_H
#define TWITTERSERVICE_H

#include "apiroutes.h"
#include "authorizeroutes.h"
#include "httpdaemon.h"
#include "httphandler.h"
#include "linkroutes.h"
#include "oauthverifier.h"
#include "pageroutes.h"
#include "servicecontext.h"
#include "serviceoptions.h"
#include "servicestore.h"
#include "v2routes.h"

#include <QObject>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QUrl>

#include <memory>

// The service: turns requests into IncomingRequest and hands them to the
// route groups. Runs on the thread that calls start(), through its event loop.
class TwitterService : public QObject, public HttpHandler
{
    Q_OBJECT
public:
    // Bodies of anything but an upload are refused past this size.
    static constexpr qsizetype MaxBodySize = 4 * 1024 * 1024;

    explicit TwitterService(const ServiceOptions &options, QObject *parent = nullptr);
    ~TwitterService() override;

    // Opens the store, makes the accounts and listens. False with a reason on failure.
    bool start(QString *error);
    // Closes the listening socket, every connection and the database.
    void stop();

    // e.g. http://127.0.0.1:43123, valid after start().
    QUrl baseUrl() const { return m_baseUrl; }
    QString dataDir() const { return m_dataDir; }

    BodyPlan bodyPlan(const IncomingRequest &request) const override;
    std::optional<ServiceReply> head(IncomingRequest &request) override;
    ServiceReply complete(IncomingRequest &request) override;

private:
    bool makeDataDir(QString *error);
    void removeLeftoverUploads();
    QStringList signedUrls(const QByteArray &host, const QString &path) const;
    ServiceReply route(IncomingRequest &request);
    ServiceReply committed(const QString &path, const std::function<ServiceReply()> &handle);
    bool readTls(HttpDaemon::Settings *settings, QString *error) const;

    ServiceOptions m_options;
    std::unique_ptr<QTemporaryDir> m_temporaryDir;
    QString m_dataDir;
    QString m_uploadDir;
    QUrl m_baseUrl;
    ServiceStore m_store;
    QThreadPool m_pool;
    std::unique_ptr<OAuthVerifier> m_verifier;
    ServiceContext m_context;
    ApiRoutes m_api;
    AuthorizeRoutes m_authorize;
    V2Routes m_v2;
    LinkRoutes m_links;
    PageRoutes m_pages;
    HttpDaemon m_daemon;
};

#endif
