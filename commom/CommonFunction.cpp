#include "commom/CommonFunction.h"

#include "commom/CheckedFile.h"
#include "commom/Logger.h"

#include <QApplication>
#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStyle>
#include <QTextCodec>
#include <QTextStream>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <iomanip>
#include <iostream>
#include <thread>

namespace {

constexpr std::array<unsigned char, 256> MakeCrc8Table()
{
    std::array<unsigned char, 256> table{};
    for (unsigned int i = 0; i < 256; ++i) {
        unsigned int reg = i;
        for (int bit = 0; bit < 8; ++bit) {
            reg = (reg & 0x80u) ? ((reg << 1) ^ 0x07u) : (reg << 1);
        }
        table[i] = static_cast<unsigned char>(reg & 0xFFu);
    }
    return table;
}

constexpr std::array<unsigned int, 256> MakeReflectedTable(unsigned int polynomial)
{
    std::array<unsigned int, 256> table{};
    for (unsigned int i = 0; i < 256; ++i) {
        unsigned int reg = i;
        for (int bit = 0; bit < 8; ++bit) {
            reg = (reg & 1u) ? ((reg >> 1) ^ polynomial) : (reg >> 1);
        }
        table[i] = reg;
    }
    return table;
}

// Slicing by eight: entry [k][i] is the register after byte i followed by k
// zero bytes, so eight bytes take eight independent look-ups.
constexpr std::array<std::array<unsigned int, 256>, 8> MakeSlicedTables(unsigned int polynomial)
{
    std::array<std::array<unsigned int, 256>, 8> tables{};
    tables[0] = MakeReflectedTable(polynomial);
    for (int k = 1; k < 8; ++k) {
        for (unsigned int i = 0; i < 256; ++i) {
            const unsigned int previous = tables[k - 1][i];
            tables[k][i] = (previous >> 8) ^ tables[0][previous & 0xFFu];
        }
    }
    return tables;
}

// The MODBUS update split into the high and the low byte of the table entry,
// as the classic byte-wise routine keeps the register as two bytes.
constexpr std::array<unsigned char, 256> MakeModbusHalfTable(bool high)
{
    std::array<unsigned char, 256> table{};
    const auto full = MakeReflectedTable(0xA001u);
    for (unsigned int i = 0; i < 256; ++i) {
        table[i] = static_cast<unsigned char>(high ? (full[i] >> 8) & 0xFFu : full[i] & 0xFFu);
    }
    return table;
}

constexpr auto kCrc8Table = MakeCrc8Table();
constexpr auto kCrc32Tables = MakeSlicedTables(0xEDB88320u);
constexpr const auto& kCrc32Table = kCrc32Tables[0];
constexpr auto kModbusHigh = MakeModbusHalfTable(true);
constexpr auto kModbusLow = MakeModbusHalfTable(false);

static_assert(kCrc8Table[1] == 0x07, "CRC-8 table");
static_assert(kCrc32Table[1] == 0x77073096u, "CRC-32 table");
static_assert(kModbusHigh[1] == 0xC0 && kModbusLow[1] == 0xC1, "MODBUS tables");

// Waits in a local event loop ended by a single-shot timer. Without an
// application object there is no event loop to keep alive, so just sleep.
// The wait loops now running on this thread, innermost last.
thread_local QVector<QEventLoop*> t_waitLoops;
// Those wait loops in all threads together.
std::atomic<int> s_waitsRunning{0};

void RunWaitLoop(int milliseconds, Qt::TimerType type)
{
    if (milliseconds < 0) {
        milliseconds = 0;
    }
    if (QCoreApplication::instance() == nullptr) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(type);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(milliseconds);
    t_waitLoops.append(&loop);
    s_waitsRunning.fetch_add(1);
    loop.exec();
    s_waitsRunning.fetch_sub(1);
    t_waitLoops.removeOne(&loop);
}

bool NeedsCsvQuoting(const QString& field)
{
    return field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"'))
           || field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n'));
}

QString CsvField(const QString& field)
{
    if (!NeedsCsvQuoting(field)) {
        return field;
    }
    QString quoted = field;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Splits CSV text into rows. Lines end at LF (a CR before it is dropped, as
// text mode does); a field that starts with a double quote runs to its
// closing quote and may hold separators, line ends and doubled quotes.
// A final line end does not start another row, like reading line by line.
QList<QStringList> ParseCsvText(const QString& text, QChar separator)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    const int n = text.size();
    int i = 0;
    bool rowOpen = false;
    while (i < n) {
        rowOpen = true;
        const QChar c = text.at(i);
        if (field.isEmpty() && c == QLatin1Char('"') && (i == 0 || text.at(i - 1) == separator
                                                         || text.at(i - 1) == QLatin1Char('\n'))) {
            // Quoted field: scan to the closing quote.
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar q = text.at(i);
                if (q == QLatin1Char('"')) {
                    if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                        field.append(QLatin1Char('"'));
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                field.append(q);
                ++i;
            }
            if (!closed) {
                break; // unterminated quote: keep what was read as the field
            }
            // Anything between the closing quote and the next separator
            // belongs to the field as it stands.
            while (i < n && text.at(i) != separator && text.at(i) != QLatin1Char('\n')) {
                if (!(text.at(i) == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))) {
                    field.append(text.at(i));
                }
                ++i;
            }
            continue;
        }
        if (c == separator) {
            row.append(field);
            field.clear();
            ++i;
            continue;
        }
        if (c == QLatin1Char('\n')) {
            if (field.endsWith(QLatin1Char('\r'))) {
                field.chop(1);
            }
            row.append(field);
            rows.append(row);
            row.clear();
            field.clear();
            rowOpen = false;
            ++i;
            continue;
        }
        field.append(c);
        ++i;
    }
    if (rowOpen) {
        if (field.endsWith(QLatin1Char('\r'))) {
            field.chop(1);
        }
        row.append(field);
        rows.append(row);
    }
    return rows;
}

QString DecodeCsvBytes(const QByteArray& bytes)
{
    QTextCodec* utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state;
    const QString text = utf8->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars == 0 && state.remainingChars == 0) {
        return text;
    }
    QTextCodec* gbk = QTextCodec::codecForName("GBK");
    return gbk != nullptr ? gbk->toUnicode(bytes) : text;
}

QJsonValue ToJsonValue(const QVariant& value)
{
    if (!value.isValid()) {
        return QJsonValue(QJsonValue::Null);
    }
    switch (static_cast<int>(value.type())) {
    case QMetaType::Bool:
        return QJsonValue(value.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Float:
    case QMetaType::Double:
        return QJsonValue(value.toDouble());
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar:
        return QJsonValue(value.toString());
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return QJsonValue(QJsonArray::fromVariantList(value.toList()));
    case QMetaType::QVariantMap:
        return QJsonValue(QJsonObject::fromVariantMap(value.toMap()));
    case QMetaType::QJsonValue:
        return value.toJsonValue();
    case QMetaType::QJsonArray:
        return QJsonValue(value.toJsonArray());
    case QMetaType::QJsonObject:
        return QJsonValue(value.toJsonObject());
    default:
        break;
    }
    if (value.canConvert<QString>()) {
        return QJsonValue(value.toString());
    }
    if (value.canConvert<QVariantList>()) {
        return QJsonValue(QJsonArray::fromVariantList(value.toList()));
    }
    if (value.canConvert<QVariantMap>()) {
        return QJsonValue(QJsonObject::fromVariantMap(value.toMap()));
    }
    return QJsonValue(QJsonValue::Undefined);
}

} // namespace

unsigned char crc_crc8(const unsigned char* data, unsigned char length)
{
    unsigned char reg = 0;
    if (data == nullptr) {
        return reg;
    }
    for (unsigned int i = 0; i < length; ++i) {
        reg = kCrc8Table[reg ^ data[i]];
    }
    return reg;
}

unsigned short crc16table(const unsigned char* data, unsigned short length)
{
    unsigned char high = 0xFF;
    unsigned char low = 0xFF;
    if (data != nullptr) {
        for (unsigned int i = 0; i < length; ++i) {
            const unsigned char index = static_cast<unsigned char>(low ^ data[i]);
            low = static_cast<unsigned char>(high ^ kModbusLow[index]);
            high = kModbusHigh[index];
        }
    }
    return static_cast<unsigned short>((high << 8) | low);
}

unsigned int crc32(const unsigned char* data, unsigned int length, unsigned int initial)
{
    unsigned int reg = initial;
    if (data == nullptr) {
        return reg;
    }
    const auto& t = kCrc32Tables;
    for (; length >= 8; length -= 8, data += 8) {
        const unsigned int low = reg ^ (static_cast<unsigned int>(data[0]) | static_cast<unsigned int>(data[1]) << 8
                                        | static_cast<unsigned int>(data[2]) << 16
                                        | static_cast<unsigned int>(data[3]) << 24);
        reg = t[7][low & 0xFFu] ^ t[6][(low >> 8) & 0xFFu] ^ t[5][(low >> 16) & 0xFFu] ^ t[4][low >> 24]
              ^ t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    }
    for (unsigned int i = 0; i < length; ++i) {
        reg = (reg >> 8) ^ kCrc32Table[(reg ^ data[i]) & 0xFFu];
    }
    return reg;
}

unsigned int crc_crc32(unsigned int initial, const unsigned char* data, unsigned int length)
{
    return crc32(data, length, initial);
}

QString HexToASCII(unsigned char byte)
{
    const bool digit = byte >= '0' && byte <= '9';
    const bool upper = byte >= 'A' && byte <= 'Z';
    const bool lower = byte >= 'a' && byte <= 'z';
    if (digit || upper || lower) {
        return QString(QChar::fromLatin1(static_cast<char>(byte)));
    }
    return QString();
}

QString Int32toAscii(unsigned int value)
{
    if (value <= 29) {
        return QString::number(value);
    }
    // The bytes in memory order of a little-endian word: lowest first.
    QString text;
    for (int shift = 0; shift < 32; shift += 8) {
        text += HexToASCII(static_cast<unsigned char>((value >> shift) & 0xFFu));
    }
    return text;
}

qint64 GetCurrentTimeInMes()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

qint64 GetMonotonicTimeInMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString GetCurrentDateTime(const QString& format)
{
    return QDateTime::currentDateTime().toString(format);
}

void MSleepNonBlock(unsigned int milliseconds)
{
    const int ms = milliseconds > static_cast<unsigned int>(INT_MAX) ? INT_MAX : static_cast<int>(milliseconds);
    RunWaitLoop(ms, Qt::PreciseTimer);
}

void EndNonBlockWaits()
{
    for (QEventLoop* loop : qAsConst(t_waitLoops)) {
        loop->quit();
    }
}

int NonBlockWaitDepth()
{
    return t_waitLoops.size();
}

int NonBlockWaitsRunning()
{
    return s_waitsRunning.load();
}

void WaitFunNonBlock(int seconds)
{
    qint64 ms = static_cast<qint64>(seconds) * 1000;
    if (ms < 0) {
        ms = 0;
    }
    if (ms > INT_MAX) {
        ms = INT_MAX;
    }
    RunWaitLoop(static_cast<int>(ms), ms < 2000 ? Qt::PreciseTimer : Qt::CoarseTimer);
}

QPixmap ScaleImage(const QString& path, unsigned int width, unsigned int height)
{
    QImage image;
    if (!image.load(path)) {
        return QPixmap();
    }
    const QPixmap pixmap = QPixmap::fromImage(image);
    if (pixmap.isNull()) {
        return pixmap;
    }
    const int w = width > static_cast<unsigned int>(INT_MAX) ? INT_MAX : static_cast<int>(width);
    const int h = height > static_cast<unsigned int>(INT_MAX) ? INT_MAX : static_cast<int>(height);
    return pixmap.scaled(w, h, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

void UpdateStyleSheet(QApplication* app, QWidget* widget)
{
    if (app != nullptr && app->style() != nullptr) {
        app->style()->unpolish(app);
        app->style()->polish(app);
    }
    if (widget != nullptr) {
        widget->update();
    }
}

int GetTurnTableType(int a, int b)
{
    if (b != 0) {
        if (a == 100) {
            return 4;
        }
        return a == 200 ? 1 : 3;
    }
    if (a == 100) {
        return 2;
    }
    return a == 200 ? 1 : 0;
}

void PrintfHex(const char* data, unsigned long length)
{
    if (data == nullptr) {
        return;
    }
    for (unsigned long i = 0; i < length; ++i) {
        std::cout << std::hex << std::setw(2) << std::setfill('0')
                  << static_cast<unsigned int>(static_cast<unsigned char>(data[i])) << ' ';
    }
}

bool WriteCsvFile(QFile* file, const QList<QStringList>& rows, QString* error)
{
    auto fail = [error](const QString& text) {
        LOG_DEBUG() << text;
        if (error) {
            *error = text;
        }
        return false;
    };
    if (file == nullptr || file->fileName().isEmpty()) {
        return fail(CheckedFile::OpenErrorText(QString(), QStringLiteral("未指定文件")));
    }
    if (!file->isOpen() && !file->open(QIODevice::WriteOnly | QIODevice::Text)) {
        return fail(CheckedFile::OpenErrorText(file->fileName(), file->errorString()));
    }
    if (!file->isWritable()) {
        return fail(CheckedFile::OpenErrorText(file->fileName(), QStringLiteral("文件未以写方式打开")));
    }
    QTextStream stream(file);
    stream.setCodec("GBK");
    for (const QStringList& row : rows) {
        QStringList fields;
        fields.reserve(row.size());
        for (const QString& field : row) {
            fields.append(CsvField(field));
        }
        stream << fields.join(QLatin1Char(',')) << "\n";
    }
    stream.flush();
    if (stream.status() != QTextStream::Ok || file->error() != QFileDevice::NoError) {
        return fail(CheckedFile::WriteErrorText(file->fileName(), file->errorString()));
    }
    // A QFile buffers on its own: push it to the system so that a full disk
    // shows up here and not at the caller's close.
    if (!file->flush()) {
        return fail(CheckedFile::WriteErrorText(file->fileName(), file->errorString()));
    }
    return true;
}

bool CloseCsvFile(QFile* file, QString* error)
{
    if (file == nullptr || !file->isOpen()) {
        return true;
    }
    file->unsetError();
    file->close();
    if (file->error() == QFileDevice::NoError) {
        return true;
    }
    const QString text = CheckedFile::WriteErrorText(file->fileName(), file->errorString());
    LOG_DEBUG() << text;
    if (error) {
        *error = text;
    }
    return false;
}

QList<QStringList> ReadCsvFile(QFile* file, const QChar& separator)
{
    if (file == nullptr || file->fileName().isEmpty()) {
        LOG_DEBUG() << "请选择文件的路径";
        return {};
    }
    if (!(file->isOpen() && file->isReadable()) && !file->open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "Failed to open file for reading:" << file->errorString();
        return {};
    }
    const QByteArray bytes = file->readAll();
    return ParseCsvText(DecodeCsvBytes(bytes), separator);
}

QMap<QString, QVariant> ReadJsonFile(const QString& path)
{
    QMap<QString, QVariant> result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "Cannot open file:" << path;
        return result;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    if (!doc.isObject()) {
        qWarning() << "JSON is not an object.";
        return result;
    }
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QJsonValue value = it.value();
        switch (value.type()) {
        case QJsonValue::Null:
            result.insert(it.key(), QVariant());
            break;
        case QJsonValue::Bool:
            result.insert(it.key(), value.toBool());
            break;
        case QJsonValue::Double:
            result.insert(it.key(), value.toDouble());
            break;
        case QJsonValue::String:
            result.insert(it.key(), value.toString());
            break;
        case QJsonValue::Array:
            result.insert(it.key(), value.toArray().toVariantList());
            break;
        case QJsonValue::Object:
            result.insert(it.key(), value.toObject().toVariantMap());
            break;
        default:
            qWarning() << "Unhandled JSON value type for key:" << it.key();
            break;
        }
    }
    return result;
}

bool WriteJsonFile(const QString& path, const QMap<QString, QVariant>& values)
{
    QJsonObject object;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        const QJsonValue value = ToJsonValue(it.value());
        if (!value.isUndefined()) {
            object.insert(it.key(), value);
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qWarning() << "Cannot open file for writing:" << path << "Error:" << file.errorString();
        return false;
    }
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    if (!written) {
        qWarning() << "Cannot write file:" << path << "Error:" << file.errorString();
    }
    file.close();
    return written;
}
