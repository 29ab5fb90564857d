// kvzcourse: shows the tutorial course panel of a console folder (its "Lang" and "Tutor"
// folders): the rolling list of featured courses and the grid of every category.

#include "Course.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTimer>
#include <QWidget>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Shows the tutorial course panel of a console folder."_s);
    parser.addHelpOption();
    const QCommandLineOption checkOption{u"check-files"_s,
                                         u"Hide courses whose tutorial program is missing."_s};
    const QCommandLineOption shotOption{u"screenshot"_s,
                                        u"Render the panel to a PNG file, then quit."_s, u"FILE"_s};
    parser.addOptions({checkOption, shotOption});
    parser.addPositionalArgument(u"folder"_s, u"Console folder holding Lang/ and Tutor/."_s);
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        parser.showHelp(1);
    }

    QWidget window;
    window.setWindowTitle(u"Tutorials"_s);
    window.resize(800, 260);
    QWidget hot(&window);
    hot.setGeometry(10, 10, 230, 240);
    hot.setAutoFillBackground(true);
    hot.setPalette(QPalette(QColor(0x1F, 0x3A, 0x5F)));
    QWidget grid(&window);
    grid.setGeometry(250, 10, 540, 240);

    TCourse course(QDir(parser.positionalArguments().first()).absolutePath() + u'/',
                   parser.isSet(checkOption));
    course.SetHot(&hot);
    int top = 10;
    for (int category = 1; category <= 9; ++category) {
        course.SetAll(10, top, &grid, 0, category, 24, 130);
    }
    window.show();

    if (parser.isSet(shotOption)) {
        QTimer::singleShot(200, &window, [&] {
            const bool saved = window.grab().save(parser.value(shotOption), "PNG");
            if (!saved) {
                std::fprintf(stderr, "kvzcourse: cannot write %s\n",
                             qPrintable(parser.value(shotOption)));
            }
            app.exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
