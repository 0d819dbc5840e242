#ifndef PARAMCSV_H
#define PARAMCSV_H

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

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

    // One import line: true and the name and value when it holds a usable
    // entry. *formatError is set when the line does not have exactly two
    // parts (the reader stops there).
    static bool ParseNameValueLine(const QString& line, QString* name, float* value,
                                   bool* formatError);
};

#endif // PARAMCSV_H
