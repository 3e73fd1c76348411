#ifndef TESTCERTIFICATES_H
#define TESTCERTIFICATES_H

#include <QSslCertificate>
#include <QSslKey>
#include <QTemporaryDir>

// A throwaway self-signed certificate for 127.0.0.1 and localhost, made with
// the openssl command in a folder that goes with the object. It is its own
// CA: trusting caFile() makes it valid.
class TestCertificates
{
public:
    // False (with error() saying why) when openssl is missing or failed.
    bool create();

    QString caFile() const { return serverCertificateFile(); }
    QString serverCertificateFile() const { return m_dir.filePath(QStringLiteral("server.pem")); }
    QString serverKeyFile() const { return m_dir.filePath(QStringLiteral("server.key")); }
    QSslCertificate serverCertificate() const { return m_certificate; }
    QSslKey serverKey() const { return m_key; }
    QString error() const { return m_error; }

private:
    QTemporaryDir m_dir;
    QSslCertificate m_certificate;
    QSslKey m_key;
    QString m_error;
};

#endif
