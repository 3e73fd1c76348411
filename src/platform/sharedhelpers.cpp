#include "platform/sharedhelpers.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QIcon>
#include <QMessageBox>

QString hashString(const QString &text)
{
    // Peers compare these hashes: keep the 8-bit form, cut at a zero as a C string is.
    QByteArray bytes = text.toLatin1();
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QString formatFileSize(quint64 bytes)
{
    constexpr quint64 kilo = 1024;
    constexpr quint64 mega = kilo * 1024;
    constexpr quint64 giga = mega * 1024;

    QString number;
    const char *unit = nullptr;
    if (bytes >= giga) {
        number = QString::asprintf("%5.1f", double(bytes) / double(giga));
        unit = QT_TRANSLATE_NOOP("ZPV", "GB");
    } else if (bytes >= mega) {
        number = QString::asprintf("%5.1f", double(bytes) / double(mega));
        unit = QT_TRANSLATE_NOOP("ZPV", "MB");
    } else if (bytes < kilo) {
        number = QString::number(bytes);
        unit = QT_TRANSLATE_NOOP("ZPV", "byte(s)");
    } else {
        number = QString::asprintf("%5.1f", double(bytes) / double(kilo));
        unit = QT_TRANSLATE_NOOP("ZPV", "KB");
    }
    return number + u' ' + QCoreApplication::translate("ZPV", unit);
}

void decorateMessageBox(QMessageBox *box, const QString &iconPath, int languageId)
{
    if (!box)
        return;
    QIcon icon;
    icon.addFile(iconPath, QSize(), QIcon::Normal, QIcon::Off);
    box->setWindowIcon(icon);
    box->setWindowTitle(languageId == 0x411 ? QStringLiteral("Velmora ウェブカメラ")
                                            : QStringLiteral("Velmora Webcam"));
}
