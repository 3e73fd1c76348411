// zpv-gallery: the media gallery with the share-to-Twitter plug-in, or with
// --share one headless share driven through the same wizard pages.
#include "gallerywindow.h"
#include "headlessshare.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Media gallery with the Twitter plug-in."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption share(QStringLiteral("share"),
        QStringLiteral("Share CLIP without a window and print each step."), QStringLiteral("CLIP"));
    const QCommandLineOption user(
        QStringLiteral("user"), QStringLiteral("Twitter user name."), QStringLiteral("NAME"));
    const QCommandLineOption password(QStringLiteral("password"),
        QStringLiteral("Twitter password."), QStringLiteral("PASSWORD"));
    const QCommandLineOption text(QStringLiteral("text"),
        QStringLiteral("Tweet text (the link is added)."), QStringLiteral("TEXT"));
    const QCommandLineOption remember(
        QStringLiteral("remember"), QStringLiteral("Keep the sign-in for later runs."));
    parser.addOptions({ share, user, password, text, remember });

    // Read before there is an application: neither the help nor a share
    // without a window needs a display, nor the time it takes to open one.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (!parser.parse(arguments) || parser.isSet(help)
        || parser.isSet(QStringLiteral("help-all"))) {
        // Prints the help or what is wrong, and exits.
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("zpv-gallery"));
        parser.process(app);
    }
    if (parser.isSet(share) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zpv-gallery"));
    QApplication::setQuitOnLastWindowClosed(true);
    parser.process(app);

    if (!parser.isSet(share)) {
        GalleryWindow window;
        window.show();
        return QApplication::exec();
    }

    QTextStream out(stdout);
    HeadlessShare::Options options;
    options.clip = parser.value(share);
    options.user = parser.value(user);
    options.password = parser.value(password);
    options.text = parser.value(text);
    options.remember = parser.isSet(remember);
    HeadlessShare driver(options, out);
    QObject::connect(&driver, &HeadlessShare::finished, &app,
        [](bool ok) { QCoreApplication::exit(ok ? 0 : 1); });
    driver.start();
    return QApplication::exec();
}
