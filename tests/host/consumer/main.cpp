// Constructs the plug-in's controller as a host does and checks that the
// exported surface is there: prints OK and exits 0 when it is.
#include "controller/twittercoreobject.h"
#include "twitter/twitter_core.h"

#include <QApplication>
#include <QMetaMethod>
#include <QWidget>
#include <cstdio>
#include <memory>

class Manager : public QObject
{
    Q_OBJECT
public:
    int asked = 0;
public Q_SLOTS:
    void onRequestSelectContent(unsigned long) { ++asked; }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget wizard;
    Manager manager;
    auto *core = new TwitterCoreObject(&wizard, reinterpret_cast<quintptr>(&manager));
    std::unique_ptr<ITwitter_core> client(GetTestObject(nullptr, nullptr, 0));
    const bool ok = manager.asked == 1 && client
        && core->metaObject()->indexOfSlot("onUploadStatus(QString,bool,QString,QString,ulong)")
            >= 0;
    std::puts(ok ? "OK" : "FAILED");
    return ok ? 0 : 1;
}

#include "main.moc"
