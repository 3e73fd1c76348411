#ifndef AUTHORIZEPAGEREADER_H
#define AUTHORIZEPAGEREADER_H

#include <QObject>
#include <QString>

class QNetworkAccessManager;
class SignInPage;

// Stands in for the user's browser in a share without a person (x flavour):
// asks the sign-in page for the service's authorize page, reads the PIN off
// it and types it in. Only a page that shows the PIN at once will do, as the
// local service's does with --auto-approve.
class AuthorizePageReader : public QObject
{
    Q_OBJECT
public:
    explicit AuthorizePageReader(SignInPage *page, QObject *parent = nullptr);

    // Presses "Open the sign-in page", once.
    void start();
    // The PIN an authorize page shows; empty when it shows none.
    static QString pinFrom(const QByteArray &html);

Q_SIGNALS:
    void failed(const QString &reason);

private:
    void read(const QString &url);

    SignInPage *m_page = nullptr;
    QNetworkAccessManager *m_network = nullptr;
    bool m_started = false;
};

#endif
