#ifndef COMMONFUNCTION_H
#define COMMONFUNCTION_H

#include <QChar>
#include <QList>
#include <QMap>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>

class QApplication;
class QFile;
class QWidget;

// ---- Checksums -------------------------------------------------------------
// All are table driven and allocate nothing: the frame parser calls them for
// every received byte.

// CRC-8, polynomial 0x07, register starts at 0, no reflection, no final XOR.
unsigned char crc_crc8(const unsigned char* data, unsigned char length);

// CRC-16/MODBUS (reflected 0xA001, starts at 0xFFFF, no final XOR).
// "123456789" gives 0x4B37; no bytes give 0xFFFF.
unsigned short crc16table(const unsigned char* data, unsigned short length);

// CRC-32 over the reflected polynomial 0xEDB88320 without any inversion: the
// register starts at the caller's value and is returned as it stands, so a
// stream can be fed piece by piece (even byte by byte) by passing the last
// result back in. Device frames start at 1.
unsigned int crc32(const unsigned char* data, unsigned int length, unsigned int initial);
unsigned int crc_crc32(unsigned int initial, const unsigned char* data, unsigned int length);

// ---- Conversions -----------------------------------------------------------

// A digit or an ASCII letter as one-character text; anything else is empty.
QString HexToASCII(unsigned char byte);

// Text of a word packing up to four ASCII characters, lowest byte first
// (0x05434241 -> "ABC": bytes that are not digits or letters are dropped).
// Values up to 29 are plain decimal numbers.
QString Int32toAscii(unsigned int value);

// ---- Time and waits --------------------------------------------------------

// Wall clock, milliseconds since the Unix epoch: for time stamps people read
// or that go into files. Not for deadlines (the wall clock can jump).
qint64 GetCurrentTimeInMes();

// Monotonic milliseconds from an arbitrary origin: for deadlines and
// intervals.
qint64 GetMonotonicTimeInMs();

// Current local date and time formatted by QDateTime::toString(format).
QString GetCurrentDateTime(const QString& format);

// Waits while the calling thread keeps handling its events (timers, queued
// calls, input, repaints), so slots may run inside the wait. Falls back to a
// plain sleep when there is no application object.
void MSleepNonBlock(unsigned int milliseconds);
void WaitFunNonBlock(int seconds);
// Ends every one of those waits now running on the calling thread (called
// from inside one of them): each returns as if its time were up, once the
// waits nested inside it have returned.
void EndNonBlockWaits();
// How many of those waits the calling thread is inside now (0: none).
int NonBlockWaitDepth();
// How many of those waits are running now in all threads together.
int NonBlockWaitsRunning();

// ---- Images and style ------------------------------------------------------

// The image scaled to fit inside width x height, aspect ratio kept; a null
// pixmap when the file cannot be read.
QPixmap ScaleImage(const QString& path, unsigned int width, unsigned int height);

// Re-polishes the application so that a widget whose dynamic property
// changed picks up the style-sheet rules for the new value.
void UpdateStyleSheet(QApplication* app, QWidget* widget);

// ---- Other -----------------------------------------------------------------

int GetTurnTableType(int a, int b);

// Each byte as two lower-case hex digits and a space on standard output.
void PrintfHex(const char* data, unsigned long length);

// ---- Files -----------------------------------------------------------------

// Writes the rows as GBK text, fields joined by "," and each row ended by
// "\n". A field holding a comma, a double quote, CR or LF is put in double
// quotes with its quotes doubled. An unopened file is opened write-only;
// the file is left open. False when there is no file name, the file cannot
// be opened or the write fails; *error then names the file, the step and the
// system's reason, as CheckedFile says them.
bool WriteCsvFile(QFile* file, const QList<QStringList>& rows, QString* error = nullptr);
// Closes a file that WriteCsvFile wrote (nothing to do when it is not open).
// False, with *error worded as WriteCsvFile words it, when the system
// reports only at the close that a write was lost.
bool CloseCsvFile(QFile* file, QString* error = nullptr);

// Reads the rows split at the separator (empty fields kept). Double-quoted
// fields as written by WriteCsvFile are unquoted. The text is read as UTF-8,
// or as GBK when it is not valid UTF-8. The file is left open.
QList<QStringList> ReadCsvFile(QFile* file, const QChar& separator);

// Top-level members of a JSON object file: null -> invalid QVariant,
// Boolean -> bool, number -> double, string -> QString, array/object ->
// QVariantList/QVariantMap. An unreadable file or a non-object gives an
// empty map.
QMap<QString, QVariant> ReadJsonFile(const QString& path);

// Writes the values as an indented UTF-8 JSON object. Numbers and Booleans
// keep their JSON type; an invalid QVariant becomes null; values with no
// JSON form are left out. False when the file cannot be written.
bool WriteJsonFile(const QString& path, const QMap<QString, QVariant>& values);

#endif // COMMONFUNCTION_H
