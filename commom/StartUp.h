#ifndef STARTUP_H
#define STARTUP_H

#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>

// Process start-up steps of main(), kept apart so tests can run them.

// Registers the compiled-in resources (style sheet, images); a resource
// file inside a static library is not picked up by itself.
void InitCorvantaResources();

// Opens the diagnostic log: <working dir>/log/<yyyy-MM-dd hh-mm-ss>-log.txt.
void InitLog();

// Installs Qt's own Chinese translation (standard buttons and dialogs) from
// Qt's translations folder; false when none of it could be loaded.
bool InstallQtTranslations();

// Registers every type that travels through queued signals.
void RegsiterMetaType();

// All bytes of a file (a compiled-in resource too), or an empty array.
QByteArray ReadQssData(const QString& path);

// Applies the style sheet bytes: decoded as UTF-8 up to the first NUL;
// an empty array leaves the application's sheet untouched.
void ApplyStyleSheet(const QByteArray& qss);

// Geometry of the main window on a screen of the given size, from the size
// the window had when it was constructed.
QRect MainWindowPlacement(const QSize& screen, const QSize& window);

#endif // STARTUP_H
