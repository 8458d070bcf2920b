#include "ui/qt_japanese.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace ravelin {

bool installQtJapanese() {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool base = false;
    for (const char* catalogue : {"qtbase_ja", "qtmultimedia_ja"}) {
        // Owned by the application, which keeps it for its whole life.
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (!translator->load(QString::fromLatin1(catalogue), folder)) {
            delete translator;
            continue;
        }
        QCoreApplication::installTranslator(translator);
        if (QLatin1String(catalogue) == QLatin1String("qtbase_ja")) base = true;
    }
    return base;
}

}  // namespace ravelin
