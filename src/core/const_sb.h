#pragma once
// The program's built-in texts and fixed values. Translatable texts are passed as the default of a
// language lookup; the ones marked fixed are never translated.
#include <QString>
#include <QStringList>

namespace sb {
inline const QString appTitle = QStringLiteral("Sonabin Free");
inline const QString appCaption = QStringLiteral("Sonabin Free 1.0");
inline const QString appVersion = QStringLiteral("1.0");
inline const QString appBuild = QStringLiteral("0");
inline const QString appDate = QStringLiteral("26 Sept 2013");
// The one list of supported audio files, as comma text (the form getFileList and countFiles take): it
// decides what the track list shows, what a collection counts, what the file dialog offers and what
// the about window names. The engine plays each of them, picking the decoder by content.
inline const QString appFormats = QStringLiteral("mp3, flac, ogg, oga, opus, m4a, wav");
// The extensions of appFormats, lower case, without dots.
inline QStringList formatExtensions() {
    QStringList list = appFormats.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString& ext : list)
        ext = ext.trimmed();
    return list;
}
// The file dialog's filter: "*.mp3 *.flac ..." (the dialog matches without regard to case).
inline QString formatNameFilter() {
    QStringList patterns;
    for (const QString& ext : formatExtensions())
        patterns << QStringLiteral("*.") + ext;
    return patterns.join(QLatin1Char(' '));
}
// Until the project has a public home page.
inline const QString homePage = QStringLiteral("https://sonabin.example/");

inline const QString settingsFolder = QStringLiteral("Sonabin Free");
inline const QString defaultLibraryFolderName = QStringLiteral("Sonabin");
inline const QString defaultLibraries = QStringLiteral("Favorites,Archive,Sport,Car,Temp");

// Fixed texts.
inline const QString copyToCollection = QStringLiteral("Copy to collection");
inline const QString emptyProgress = QStringLiteral("0 / 0 (0%)");
inline const QString audioVersionError = QStringLiteral("Incorrect version of audio engine.");
inline const QString audioInitError =
    QStringLiteral("Can not init audio engine. Try to restart the program or launch as administrator.");
} // namespace sb
