#include "terminationwatcher.h"
#include "twitterservice.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Before QCoreApplication starts any thread, so no thread takes the signals.
    TerminationWatcher::blockSignals();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zpv-twitterd"));

    ServiceOptions options;
    QString error;
    if (!options.parse(QCoreApplication::arguments(), &error)) {
        std::fprintf(stderr, "zpv-twitterd: %s\n", qUtf8Printable(error));
        return 2;
    }
    if (options.helpRequested) {
        std::fputs(qUtf8Printable(options.helpText), stdout);
        return 0;
    }

    TerminationWatcher watcher;
    if (!watcher.isValid()) {
        std::fprintf(stderr, "zpv-twitterd: cannot watch for SIGINT and SIGTERM\n");
        return 1;
    }
    TwitterService service(options);
    if (!service.start(&error)) {
        std::fprintf(stderr, "zpv-twitterd: %s\n", qUtf8Printable(error));
        return 1;
    }
    QObject::connect(&watcher, &TerminationWatcher::terminationRequested, &app,
        [](int) { QCoreApplication::quit(); });

    std::printf("%s\n", service.baseUrl().toString().toUtf8().constData());
    std::fflush(stdout);
    const int status = app.exec();
    service.stop();
    return status;
}
