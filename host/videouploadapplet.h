#ifndef VIDEOUPLOADAPPLET_H
#define VIDEOUPLOADAPPLET_H

#include <QObject>
#include <QPointer>
#include <QString>

class HttpTransport;
class QNetworkReply;

// The video upload applet, built into the host: takes a content info
// message, uploads its video to the service's "/upload" signed with the
// stored access token (through the plug-in's request helper, so with its
// limits), records the returned link in the video's badge under its own app
// id, and reports as the plug-in expects (HostContract::OnUploadStatus, false
// on failure), then closes.
class VideoUploadApplet : public QObject
{
    Q_OBJECT
public:
    explicit VideoUploadApplet(QObject *parent = nullptr);
    ~VideoUploadApplet() override;

    // data is the content info message naming the video.
    void start(const QString &data);
    // Stops an upload under way; it counts as failed.
    void close();
    QString path() const { return m_path; }

Q_SIGNALS:
    void started(const QString &path);
    void progress(qint64 sent, qint64 total);
    void finished(const QString &link);
    void failed(const QString &reason);
    void uploadStatus(const QString &appid, bool status, const QString &path, const QString &link,
        unsigned long flags);
    void closed(const QString &appid, unsigned long flags);

private:
    void fail(const QString &reason);
    void onUploadProgress(qint64 sent, qint64 total);
    void onReplyFinished();

    HttpTransport *m_transport = nullptr;
    QPointer<QNetworkReply> m_reply;
    QString m_path;
    int m_reportedStep = -1;
    bool m_over = false;
};

#endif
