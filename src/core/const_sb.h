#pragma once
// The program's built-in texts and fixed values. Translatable texts are passed as the default of a
// language lookup; the ones marked fixed are never translated.
#include <QString>

namespace sb {
inline const QString appTitle = QStringLiteral("Sonabin Free");
inline const QString appCaption = QStringLiteral("Sonabin Free 1.0");
inline const QString appVersion = QStringLiteral("1.0");
inline const QString appBuild = QStringLiteral("0");
inline const QString appDate = QStringLiteral("26 Sept 2013");
inline const QString appFormats = QStringLiteral("mp3");
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
