#include "audioStartupReport.h"

#include "const_sb.h"
#include "dorBass.h"

#include <QMessageBox>

void installAudioStartupReport() {
    TBassPlayer::setStartupReporter([](const QString& text) {
        QMessageBox box(QMessageBox::Critical, sb::appTitle, text, QMessageBox::Ok);
        box.exec();
    });
}
