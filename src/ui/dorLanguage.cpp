// Seam: filled in with the language engine.
#include "dorLanguage.h"

struct TLanguageEngine::Private {
    QStringList values;
};

TLanguageEngine::TLanguageEngine() : d(new Private) {}
TLanguageEngine::~TLanguageEngine() {
    delete d;
}
void TLanguageEngine::Clear() {}
QString TLanguageEngine::getText(const QString&, const QString& sDefText) const {
    return sDefText;
}
void TLanguageEngine::LoadFromFile(const QString&, const QString&) {}
void TLanguageEngine::SaveToFile(const QString&, const QString&) {}
void TLanguageEngine::ScanForm(QWidget*, bool) {}
int TLanguageEngine::ScanLanguages(const QString&, const QString&) {
    return 0;
}
void TLanguageEngine::TranslateForm(QWidget*) {}
const QStringList& TLanguageEngine::values() const {
    return d->values;
}
