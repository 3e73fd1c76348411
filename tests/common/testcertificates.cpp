#include "common/testcertificates.h"

#include <QFile>
#include <QProcess>

bool TestCertificates::run(const QStringList &arguments)
{
    QProcess openssl;
    openssl.setWorkingDirectory(m_dir.path());
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit
        || openssl.exitCode() != 0) {
        m_error = QStringLiteral("openssl %1 failed: %2 %3")
                      .arg(arguments.value(0), openssl.errorString(),
                          QString::fromLocal8Bit(openssl.readAllStandardError()));
        return false;
    }
    return true;
}

bool TestCertificates::create()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    QFile extensions(m_dir.filePath(QStringLiteral("server.ext")));
    if (!extensions.open(QIODevice::WriteOnly)
        || extensions.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                            "basicConstraints=CA:FALSE\n"
                            "keyUsage=digitalSignature,keyEncipherment\n"
                            "extendedKeyUsage=serverAuth\n")
            < 0) {
        m_error = QStringLiteral("cannot write %1").arg(extensions.fileName());
        return false;
    }
    extensions.close();
    const QString ec = QStringLiteral("ec");
    const QString curve = QStringLiteral("ec_paramgen_curve:prime256v1");
    const bool made
        = run({ QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), ec,
              QStringLiteral("-pkeyopt"), curve, QStringLiteral("-nodes"),
              QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
              QStringLiteral("ca.pem"), QStringLiteral("-days"), QStringLiteral("2"),
              QStringLiteral("-subj"), QStringLiteral("/CN=Loopback Test CA"),
              QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:TRUE"),
              QStringLiteral("-addext"), QStringLiteral("keyUsage=critical,keyCertSign,cRLSign") })
        && run({ QStringLiteral("req"), QStringLiteral("-newkey"), ec, QStringLiteral("-pkeyopt"),
            curve, QStringLiteral("-nodes"), QStringLiteral("-keyout"),
            QStringLiteral("server.key"), QStringLiteral("-out"), QStringLiteral("server.csr"),
            QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1") })
        && run({ QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
            QStringLiteral("server.csr"), QStringLiteral("-CA"), QStringLiteral("ca.pem"),
            QStringLiteral("-CAkey"), QStringLiteral("ca.key"), QStringLiteral("-CAcreateserial"),
            QStringLiteral("-out"), QStringLiteral("server.pem"), QStringLiteral("-days"),
            QStringLiteral("2"), QStringLiteral("-extfile"), QStringLiteral("server.ext") });
    if (!made)
        return false;

    QFile certificate(m_dir.filePath(QStringLiteral("server.pem")));
    QFile key(m_dir.filePath(QStringLiteral("server.key")));
    if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("openssl left no server certificate");
        return false;
    }
    m_certificate = QSslCertificate(certificate.readAll(), QSsl::Pem);
    m_key = QSslKey(key.readAll(), QSsl::Ec, QSsl::Pem);
    if (m_certificate.isNull() || m_key.isNull()) {
        m_error = QStringLiteral("cannot read the server certificate or key");
        return false;
    }
    return true;
}
