#ifndef URLSHORTENER_H
#define URLSHORTENER_H

#include <QObject>
#include <QString>

class HttpTransport;
class QNetworkReply;

// Client of the URL-shortening service ("shortener_url"): one long link in,
// one short link out through shortenResult().
class UrlShortener : public QObject
{
    Q_OBJECT
public:
    explicit UrlShortener(QObject *parent = nullptr);

    void clear();
    // Always true: the outcome comes through shortenResult().
    bool shorten(const QString &url, unsigned long flags);
    HttpTransport *transport() const { return m_transport; }

    QString origUrl; // long link of the latest request
    QString shortUrl; // last short link received

Q_SIGNALS:
    void shortenResult(bool status, QString origUrl, QString shortUrl, unsigned long flags);

public Q_SLOTS:
    void shortenFinished(QNetworkReply *reply);

private:
    HttpTransport *m_transport;
};

#endif
