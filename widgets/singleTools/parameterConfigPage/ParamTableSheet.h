#ifndef PARAMTABLESHEET_H
#define PARAMTABLESHEET_H

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// Plain rules of the full parameter-table page: the grid's fixed texts, the
// number format of the values, the write map and what each answer of the
// device side means for a running request.
class ParamTableSheet
{
public:
    static constexpr int kGridRows = 200;
    static constexpr int kGridColumns = 3;
    // Rows 0..126 stand for the parameter ids of a table.
    static constexpr int kParamRows = 127;
    // Rows below this carry a name and comment of their own.
    static constexpr int kNamedRows = 36;
    static constexpr int kDecimals = 5;

    static QStringList HorizontalHeaderLabels();
    static QString NameOf(int row);
    static QString CommentOf(int row);
    // "N/A" until a table has arrived.
    static QString PlaceholderValue();

    static QString FormatValue(float value);
    // Text of a value cell as a float; text that is not a finite number
    // gives 0.
    static float ParseValue(const QString& text);

    // Values read from the device as they were shown. A cell whose text is
    // still the one shown is written back with the exact value read, so that
    // a write does not round every untouched parameter to five decimals.
    struct ShownTable
    {
        QVector<float> values;
        QStringList texts;
        bool IsEmpty() const { return values.isEmpty(); }
    };

    // Rows 0..126 from a whole-table answer (0 for ids the table lacks).
    static ShownTable FromDeviceTable(const QMap<unsigned int, float>& table);

    // Text of a value cell as a finite float; false when it holds none
    // ("N/A", "1,5", "abc", empty, "nan").
    static bool ParseCell(const QString& text, float* value);

    // The write request's map: row to value for rows 0..126 from the value
    // cells' texts (a missing text counts as empty). A row whose text is no
    // number goes into badRows and is left out of the map: such a map must
    // not be sent.
    static QMap<int, float> BuildWriteMap(const QStringList& cellTexts, const ShownTable& shown,
                                          QList<int>* badRows = nullptr);
    // Names the rows that hold no number, for the refusal of a write.
    static QString BadCellsText(const QList<int>& badRows, const QStringList& cellTexts);

    // What an answer does to the page.
    enum class Answer {
        Ignore,          // nothing beyond the watchdog restart
        StatusContinue,  // show var2, the request goes on
        StatusEnd,       // show var2, the request ends
        ChecksumPassed,  // show var2, the table follows
        Table,           // fill the grid from var2, the request ends
    };
    static Answer Classify(int id, const QVariant& var1);

    // The export: one row per id 0..126 with the texts of the three columns.
    static QList<QStringList> BuildExportRows(const QList<QStringList>& gridRows);
    static QString ExportFileName(const QString& folder, const QString& dateTime);
};

#endif // PARAMTABLESHEET_H
