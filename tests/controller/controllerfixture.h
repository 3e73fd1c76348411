#ifndef CONTROLLERFIXTURE_H
#define CONTROLLERFIXTURE_H

#include "controller/twittercoreobject.h"
#include "testhost.h"

#include <QCoreApplication>
#include <QTest>

#include <memory>

// Opens the protected operations a test needs.
class TestController : public TwitterCoreObject
{
public:
    using TwitterCoreObject::NoError;
    using TwitterCoreObject::setCloseDownDelay;
    using TwitterCoreObject::startCloseDownLater;
    using TwitterCoreObject::TwitterCoreObject;
};

// One host with its applet manager and a controller built the way the host
// builds it. The controller is the wizard host's child and goes with it.
struct ControllerFixture
{
    explicit ControllerFixture(const QList<QPair<QString, QImage>> &selection = {})
        : host(std::make_unique<WizardHost>())
        , manager(std::make_unique<AppletManager>())
    {
        manager->selection = selection;
        controller = new TestController(host.get(), quintptr(manager.get()));
        host->attach(controller);
    }

    ~ControllerFixture()
    {
        host.reset();
        manager.reset();
    }

    // Registers a page for its buttons and the info exchange.
    WizardPage *addPage(unsigned long infoFlags, unsigned long buttonFlags = 0)
    {
        auto *page = new WizardPage;
        page->setParent(host.get());
        controller->registerWizardPage(page, buttonFlags);
        controller->registerForInfoRequest(page, infoFlags);
        return page;
    }

    void start() { Q_EMIT host->startCoreObject(0); }

    // Lets queued deliveries (and their follow-ups) arrive.
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    std::unique_ptr<WizardHost> host;
    std::unique_ptr<AppletManager> manager;
    TestController *controller = nullptr;
};

#endif
