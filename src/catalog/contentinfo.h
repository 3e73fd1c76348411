#ifndef CONTENTINFO_H
#define CONTENTINFO_H

#include <QString>
#include <QStringList>

// A media selection handed to another applet, and its XML message.
class ContentInfo
{
public:
    ContentInfo() = default;
    ContentInfo(const QStringList &paths, quint32 tabType, quint32 button, qint32 x, qint32 y,
        qint32 photoCount, qint32 videoCount);
    virtual ~ContentInfo() = default;

    void clear();
    void countSelection();

    qint32 photoCount = 0;
    qint32 videoCount = 0;
    qint32 selectedPhotoCount = 0;
    qint32 selectedVideoCount = 0;
    quint32 tabType = 0;
    QStringList paths;
    quint32 button = 0;
    qint32 x = 0;
    qint32 y = 0;
    QString applicationId;
    QString xml;
};

bool contentInfoToXml(ContentInfo &info);
bool xmlToContentInfo(const QString &xml, ContentInfo &info);

// Paths as one text that keeps every file name whole, commas and line breaks
// included: a "file://" URI per line (text/uri-list). A text of the older
// form, paths joined by ",", reads as before.
QString pathListText(const QStringList &paths);
QStringList pathListFromText(const QString &text);

#endif
