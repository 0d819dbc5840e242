// The upgrade page's file tools: the cipher tool's output bytes, its save
// proposal and refusals, and the file name the CRC tool shows.
#include <QBuffer>
#include <QDate>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include "support/FakeBootloader.h"
#include "support/UpgradeBench.h"
#include "commom/CommonFunction.h"
#include "commom/DialogSeam.h"
#include "commom/StartUp.h"
#include "manager/SettingManager.h"
#include "widgets/general/FirmwareCipher.h"
#include "widgets/singleTools/FirmwareUpgradeWidget.h"

namespace {
QByteArray Decipher(const QByteArray& bytes)
{
    QByteArray in = bytes;
    QBuffer source(&in);
    source.open(QIODevice::ReadOnly);
    QByteArray out;
    QBuffer target(&out);
    target.open(QIODevice::WriteOnly);
    FirmwareCipher::WithProgramKey()->PassFile(source, target, FirmwareCipher::Decipher);
    return out;
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray Sample(int n)
{
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b.append(static_cast<char>(i * 13 + 1));
    return b;
}
} // namespace

class TestUpgradeTools : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        RegsiterMetaType();
        DialogSeam::SetScripted(true);
        QVERIFY(m_dir.isValid());
        m_oldCwd = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    void cleanupTestCase() { QDir::setCurrent(m_oldCwd); }
    void init()
    {
        DialogSeam::ClearRequests();
        DialogSeam::SetHandler({});
        m_page.reset(new FirmwareUpgradeWidget);
    }
    void cleanup() { m_page.reset(); }

    void cipherToolWritesWholeBlocks();
    void cipherToolProposesTheRememberedFolder();
    void cipherToolRefusals();
    void chooseSourceRemembersIt();
    void crcToolShowsTheName();
    void crcToolPadsAnEmptyImage();
    void crcToolRefusesAMissingFile();
    void crcNameKeepsDottedFolders();
    void crcOfAnImageOfTheWholeSpan();
    void crcDialogKeepsItsFolder();

private:
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    void SaveAs(const QString& out)
    {
        DialogSeam::SetHandler([out](const DialogSeam::Request& r) {
            return r.kind == DialogSeam::SaveFile ? QVariant(out) : QVariant();
        });
    }
    template <typename T> T* Child(const char* name) { return m_page->findChild<T*>(name); }

    QTemporaryDir m_dir;
    QString m_oldCwd;
    std::unique_ptr<FirmwareUpgradeWidget> m_page;
};

void TestUpgradeTools::cipherToolWritesWholeBlocks()
{
    const QByteArray plain = Sample(33);
    QVERIFY(WriteFile(Path("image.bin"), plain));
    Child<QLineEdit>("lineEdit_filePath_crypt")->setText(Path("image.bin"));
    // Chosen without the suffix: the output gets it.
    SaveAs(Path("image"));
    Child<QPushButton>("btn_crypt")->click();
    QVERIFY(!QFile::exists(Path("image")));

    const QByteArray out = ReadFile(Path("image.firmware"));
    QCOMPARE(out.size(), 48);
    const QByteArray back = Decipher(out);
    QCOMPARE(back.left(33), plain);
    // The last, partial block keeps the bytes of the block before it.
    QCOMPARE(back.mid(33), plain.mid(17, 15));
    QCOMPARE(Child<QProgressBar>("cryptProgressBar")->value(), 100);
    QCOMPARE(ReadFile(Path("image.bin")), plain);
}

void TestUpgradeTools::cipherToolProposesTheRememberedFolder()
{
    QVERIFY(WriteFile(Path("a.bin"), Sample(16)));
    QDir(m_dir.path()).mkdir("out");
    Child<QLineEdit>("lineEdit_filePath_crypt")->setText(Path("a.bin"));
    SaveAs(Path("out/a.firmware"));
    Child<QPushButton>("btn_crypt")->click();
    const DialogSeam::Request save = DialogSeam::Requests().last();
    QCOMPARE(save.kind, DialogSeam::SaveFile);
    QCOMPARE(save.title, QString("保存文件"));
    QCOMPARE(save.filter, QString("(*.firmware)"));
    QCOMPARE(SettingManager::GetInstance()->GetPreSaveCryptPath(), Path("out") + "/");

    const QString date = QDate::currentDate().toString("yyyyMMdd");
    Child<QPushButton>("btn_crypt")->click();
    QCOMPARE(DialogSeam::Requests().last().text, Path("out") + "/" + date + "-imu");
    // A page built later proposes the same from the setting.
    m_page.reset(new FirmwareUpgradeWidget);
    Child<QLineEdit>("lineEdit_filePath_crypt")->setText(Path("a.bin"));
    Child<QPushButton>("btn_crypt")->click();
    QCOMPARE(DialogSeam::Requests().last().text, Path("out") + "/" + date + "-imu");
}

void TestUpgradeTools::cipherToolRefusals()
{
    // Empty box: nothing at all.
    Child<QLineEdit>("lineEdit_filePath_crypt")->clear();
    Child<QPushButton>("btn_crypt")->click();
    QVERIFY(DialogSeam::Requests().isEmpty());

    // Cancelled save dialog: no file, no message.
    QVERIFY(WriteFile(Path("src.bin"), Sample(40)));
    Child<QLineEdit>("lineEdit_filePath_crypt")->setText(Path("src.bin"));
    Child<QPushButton>("btn_crypt")->click();
    QCOMPARE(DialogSeam::Requests().size(), 1);

    // Unreadable source.
    Child<QLineEdit>("lineEdit_filePath_crypt")->setText(Path("missing.bin"));
    SaveAs(Path("never.firmware"));
    Child<QPushButton>("btn_crypt")->click();
    QCOMPARE(DialogSeam::Requests().last().kind, DialogSeam::Warning);
    QCOMPARE(DialogSeam::Requests().last().title, QString("Recent Files"));
    QVERIFY(DialogSeam::Requests().last().text.startsWith("Cannot read file " + Path("missing.bin") + ":\n"));
    QVERIFY(!QFile::exists(Path("never.firmware")));

    // Unwritable output: a folder in the way.
    QDir(m_dir.path()).mkdir("taken.firmware");
    Child<QLineEdit>("lineEdit_filePath_crypt")->setText(Path("src.bin"));
    SaveAs(Path("taken.firmware"));
    Child<QPushButton>("btn_crypt")->click();
    QVERIFY(DialogSeam::Requests().last().text.startsWith("Cannot write file " + Path("taken.firmware") + ":\n"));

    // The source itself as output: refused, the source kept.
    QVERIFY(WriteFile(Path("self.firmware"), Sample(40)));
    Child<QLineEdit>("lineEdit_filePath_crypt")->setText(Path("self.firmware"));
    SaveAs(Path("self.firmware"));
    Child<QPushButton>("btn_crypt")->click();
    QVERIFY(DialogSeam::Requests().last().text.startsWith("Cannot write file " + Path("self.firmware") + ":\n"));
    QCOMPARE(ReadFile(Path("self.firmware")), Sample(40));

    // Typed without the suffix over an existing firmware: replaced only on Yes.
    QVERIFY(WriteFile(Path("kept.firmware"), Sample(40)));
    Child<QLineEdit>("lineEdit_filePath_crypt")->setText(Path("src.bin"));
    for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        DialogSeam::SetHandler([this, answer](const DialogSeam::Request& r) {
            return r.kind == DialogSeam::SaveFile ? QVariant(Path("kept")) : QVariant(int(answer));
        });
        Child<QPushButton>("btn_crypt")->click();
        QCOMPARE(DialogSeam::Requests().last().text, Path("kept.firmware") + " 已存在，是否覆盖？");
        QCOMPARE(ReadFile(Path("kept.firmware")).size(), answer == QMessageBox::Yes ? 48 : 40);
    }
}

void TestUpgradeTools::chooseSourceRemembersIt()
{
    DialogSeam::SetHandler([this](const DialogSeam::Request&) { return QVariant(Path("pick.bin")); });
    Child<QPushButton>("btn_crypt_open_file")->click();
    QCOMPARE(DialogSeam::Requests().last().title, QString("打开待加密文件"));
    QCOMPARE(DialogSeam::Requests().last().filter, QString("bin Files (*.bin)"));
    QCOMPARE(Child<QLineEdit>("lineEdit_filePath_crypt")->text(), Path("pick.bin"));
    QCOMPARE(SettingManager::GetInstance()->GetPreCryptPath(), Path("pick.bin"));

    DialogSeam::SetHandler([this](const DialogSeam::Request&) { return QVariant(Path("pick.firmware")); });
    Child<QPushButton>("btn_crc_open_file")->click();
    QCOMPARE(DialogSeam::Requests().last().title, QString("打开文件"));
    QCOMPARE(DialogSeam::Requests().last().filter, QString("firmware Files (*.firmware)"));
    QCOMPARE(Child<QLineEdit>("lineEdit_filePath_crc")->text(), Path("pick.firmware"));
    QCOMPARE(SettingManager::GetInstance()->GetPreCrcPath(), Path("pick.firmware"));

    // A new page opens both dialogs in the remembered folders.
    m_page.reset(new FirmwareUpgradeWidget);
    QCOMPARE(Child<QLineEdit>("lineEdit_filePath_crypt")->text(), Path("pick.bin"));
    DialogSeam::SetHandler({});
    Child<QPushButton>("btn_crypt_open_file")->click();
    QCOMPARE(DialogSeam::Requests().last().text, m_dir.path());
    // Cancelled: the box keeps its path.
    QCOMPARE(Child<QLineEdit>("lineEdit_filePath_crypt")->text(), Path("pick.bin"));
}

void TestUpgradeTools::crcToolShowsTheName()
{
    QByteArray plain;
    const QByteArray file = UpgradeBench::EncipheredImage(256, &plain);
    QVERIFY(WriteFile(Path("imu.firmware"), file));
    Child<QLineEdit>("lineEdit_filePath_crc")->setText(Path("imu.firmware"));
    Child<QPushButton>("btn_crc")->click();

    const uint32_t crc = FakeBootloader::PaddedCrc(plain, 245760);
    QCOMPARE(Child<QTextEdit>("textEdit_filePath_crc_calculated")->toPlainText(),
             Path("imu") + "#CRC" + QString::number(crc) + ".firmware");
    // No file is written or renamed, and no scratch file is left here.
    QVERIFY(QFile::exists(Path("imu.firmware")));
    QVERIFY(!QFile::exists("test1.firmware"));

    // An image of the whole span is taken without padding.
    QByteArray big;
    QVERIFY(WriteFile(Path("big.firmware"), UpgradeBench::EncipheredImage(245760 + 32, &big)));
    QCOMPARE(m_page->InvCipherFile(Path("big.firmware")),
             QString::number(crc32(reinterpret_cast<const unsigned char*>(big.constData()),
                                   static_cast<unsigned int>(big.size()), 0)));
}

void TestUpgradeTools::crcToolPadsAnEmptyImage()
{
    QVERIFY(WriteFile(Path("empty.firmware"), QByteArray()));
    Child<QLineEdit>("lineEdit_filePath_crc")->setText(Path("empty.firmware"));
    Child<QPushButton>("btn_crc")->click();
    const QByteArray ff(245760, static_cast<char>(0xFF));
    const uint32_t crc = crc32(reinterpret_cast<const unsigned char*>(ff.constData()), 245760, 0);
    QCOMPARE(Child<QTextEdit>("textEdit_filePath_crc_calculated")->toPlainText(),
             Path("empty") + "#CRC" + QString::number(crc) + ".firmware");
}

void TestUpgradeTools::crcToolRefusesAMissingFile()
{
    Child<QTextEdit>("textEdit_filePath_crc_calculated")->setText("old");
    Child<QLineEdit>("lineEdit_filePath_crc")->setText(Path("gone.firmware"));
    Child<QPushButton>("btn_crc")->click();
    QCOMPARE(Child<QTextEdit>("textEdit_filePath_crc_calculated")->toPlainText(), QString());
    QCOMPARE(DialogSeam::Requests().last().kind, DialogSeam::Warning);
    QVERIFY(DialogSeam::Requests().last().text.startsWith("Cannot read file " + Path("gone.firmware")));
    // Beyond any device's flash: not read, and said so.
    QVERIFY(WriteFile(Path("huge.firmware"), QByteArray(16 * 1024 * 1024 + 16, '\x5a')));
    Child<QLineEdit>("lineEdit_filePath_crc")->setText(Path("huge.firmware"));
    Child<QPushButton>("btn_crc")->click();
    QCOMPARE(DialogSeam::Requests().last().text, "Cannot read file " + Path("huge.firmware") + ":\nfile too large.");
    // Empty box: nothing.
    DialogSeam::ClearRequests();
    Child<QLineEdit>("lineEdit_filePath_crc")->clear();
    Child<QPushButton>("btn_crc")->click();
    QVERIFY(DialogSeam::Requests().isEmpty());
}

void TestUpgradeTools::crcNameKeepsDottedFolders()
{
    QCOMPARE(FirmwareUpgradeWidget::CrcFileName("/data/v1.2/imu.v3.firmware", "42"),
             QString("/data/v1.2/imu#CRC42.firmware"));
    QCOMPARE(FirmwareUpgradeWidget::CrcFileName("/data/v1.2/imu", "42"), QString("/data/v1.2/imu#CRC42.firmware"));
    QCOMPARE(FirmwareUpgradeWidget::CrcFileName("imu", "7"), QString("imu#CRC7.firmware"));
}

void TestUpgradeTools::crcOfAnImageOfTheWholeSpan()
{
    QByteArray plain;
    QVERIFY(WriteFile(Path("span.firmware"), UpgradeBench::EncipheredImage(245760, &plain)));
    QCOMPARE(plain.size(), 245760);
    QCOMPARE(m_page->InvCipherFile(Path("span.firmware")),
             QString::number(crc32(reinterpret_cast<const unsigned char*>(plain.constData()), 245760, 0)));
    // One block short: exactly sixteen 0xFF fill the gap.
    QByteArray shorter;
    QVERIFY(WriteFile(Path("short.firmware"), UpgradeBench::EncipheredImage(245760 - 16, &shorter)));
    QCOMPARE(m_page->InvCipherFile(Path("short.firmware")),
             QString::number(crc32(reinterpret_cast<const unsigned char*>(
                                       (shorter + QByteArray(16, static_cast<char>(0xFF))).constData()),
                                   245760, 0)));
}

void TestUpgradeTools::crcDialogKeepsItsFolder()
{
    SettingManager::GetInstance()->SetPreCrcPath(Path("first/a.firmware"));
    m_page.reset(new FirmwareUpgradeWidget);
    DialogSeam::SetHandler([this](const DialogSeam::Request&) { return QVariant(Path("second/b.firmware")); });
    Child<QPushButton>("btn_crc_open_file")->click();
    QCOMPARE(DialogSeam::Requests().last().text, Path("first"));
    QCOMPARE(Child<QLineEdit>("lineEdit_filePath_crc")->text(), Path("second/b.firmware"));
    // The folder of the page's start stays for the page's whole life.
    Child<QPushButton>("btn_crc_open_file")->click();
    QCOMPARE(DialogSeam::Requests().last().text, Path("first"));
    DialogSeam::SetHandler({});
}

QTEST_MAIN(TestUpgradeTools)
#include "tst_upgrade_tools.moc"
