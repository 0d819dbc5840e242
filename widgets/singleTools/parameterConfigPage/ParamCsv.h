#ifndef PARAMCSV_H
#define PARAMCSV_H

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

// The parameter page's two file formats: the export of the whole parameter
// table (one "id,value" row per id 0 to 126) and the import of a text file
// of NAME:value lines.
class ParamCsv
{
public:
    // Ids below this are written without decimals, the rest with five.
    static constexpr unsigned int kFirstFractionalId = 87;

    // The 127 rows of the export, ids 0 to 126 in order; an id the table
    // lacks is written as 0.
    static QList<QStringList> BuildExportRows(const QMap<unsigned int, float>& table);
    static QString FormatValue(unsigned int id, float value);

    // Export file name for a folder and a formatted local time.
    static QString ExportFileName(const QString& folder, const QString& dateTime);

    // Reads NAME:value lines into out (entries are added or replaced, none
    // removed). An empty line is skipped, a line that is not exactly two
    // parts ends the reading, a value that is not a finite number skips the
    // line. Returns false when the file cannot be opened.
    static bool ReadNameValueFile(const QString& path, QMap<QString, float>& out);

    // Largest import file taken: a set of every parameter by name is a few
    // kilobytes.
    static constexpr qint64 kMaxImportBytes = qint64(1) << 20;

    // Reads an import file for writing to devices. Nothing is dropped
    // silently: false, with the text for the user in *error, when the file
    // is larger than kMaxImportBytes or cannot be opened, when a line is not
    // NAME:value with a number (the first such line is named by its number),
    // or when names are not parameter names (all of them are named). out is
    // then left as it was.
    static bool ReadImportFile(const QString& path, QMap<QString, float>& out, QString* error);

    // One import line: true and the name and value when it holds a usable
    // entry. *formatError is set when the line does not have exactly two
    // parts (the reader stops there).
    static bool ParseNameValueLine(const QString& line, QString* name, float* value,
                                   bool* formatError);

private:
    // Calls take(line number from 1, line) for each non-empty line until it
    // returns false. False, with the system's reason in *reason, when the
    // file cannot be opened.
    static bool ScanLines(const QString& path, const std::function<bool(int, const QString&)>& take,
                          QString* reason = nullptr);
};

#endif // PARAMCSV_H
