#include "common/testcertificates.h"

#include <QFile>
#include <QProcess>

bool TestCertificates::create()
{
    QProcess openssl;
    openssl.setWorkingDirectory(m_dir.path());
    openssl.start(QStringLiteral("openssl"),
        QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
                       " -keyout server.key -out server.pem -subj /CN=127.0.0.1"
                       " -addext subjectAltName=IP:127.0.0.1,DNS:localhost")
            .split(u' '));
    QFile certificate(serverCertificateFile());
    QFile key(serverKeyFile());
    if (!m_dir.isValid() || !openssl.waitForFinished(30000) || openssl.exitCode() != 0
        || !certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly)) {
        m_error = openssl.errorString() + QString::fromLocal8Bit(openssl.readAllStandardError());
        return false;
    }
    m_certificate = QSslCertificate(certificate.readAll());
    m_key = QSslKey(key.readAll(), QSsl::Ec);
    return !m_certificate.isNull() && !m_key.isNull();
}
