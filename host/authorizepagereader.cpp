#include "authorizepagereader.h"

#include "signinpage.h"

#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QRegularExpression>

namespace {
constexpr qint64 maxPageSize = 1024 * 1024;
constexpr int timeoutMs = 30000;
} // namespace

AuthorizePageReader::AuthorizePageReader(SignInPage *page, QObject *parent)
    : QObject(parent)
    , m_page(page)
    , m_network(new QNetworkAccessManager(this))
{
    page->setOpensBrowser(false);
    connect(page, &SignInPage::authorizationReady, this, &AuthorizePageReader::read);
}

void AuthorizePageReader::start()
{
    if (m_started)
        return;
    m_started = true;
    if (auto *open = m_page->findChild<QPushButton *>(QStringLiteral("openSignInPage")))
        open->click();
    else
        Q_EMIT failed(tr("the sign-in page offers no browser sign-in"));
}

QString AuthorizePageReader::pinFrom(const QByteArray &html)
{
    // <div id="oauth_pin"> ... <code>PIN</code>
    static const QRegularExpression pin(
        QStringLiteral("<div[^>]*\\bid=\"oauth_pin\"[^>]*>.*?<code>\\s*([0-9A-Za-z]+)\\s*</code>"),
        QRegularExpression::DotMatchesEverythingOption);
    return pin.match(QString::fromUtf8(html)).captured(1);
}

void AuthorizePageReader::read(const QString &url)
{
    QNetworkRequest request { QUrl(url) };
    request.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = m_network->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        const QString pin = pinFrom(reply->read(maxPageSize));
        if (reply->error() != QNetworkReply::NoError || pin.isEmpty()) {
            Q_EMIT failed(tr("the authorize page shows no PIN (%1)").arg(reply->errorString()));
            return;
        }
        // Typed in as a user would.
        if (auto *field = m_page->findChild<QLineEdit *>(QStringLiteral("pin")))
            field->setText(pin);
    });
}
