// A bare Qt Widgets program that answers --help as the gallery does: what
// starting any such program costs on this machine.
#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.process(app);
    return 0;
}
