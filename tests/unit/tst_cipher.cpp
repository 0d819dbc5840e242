#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

#include "widgets/general/FirmwareCipher.h"
#include "widgets/general/FirmwareKeys.h"

namespace {

QByteArray Pass(FirmwareCipher& c, const QByteArray& in, FirmwareCipher::Direction d, bool* ok = nullptr)
{
    QByteArray src = in;
    QBuffer source(&src);
    source.open(QIODevice::ReadOnly);
    QByteArray dst;
    QBuffer target(&dst);
    target.open(QIODevice::WriteOnly);
    const bool result = c.PassFile(source, target, d);
    if (ok)
        *ok = result;
    return dst;
}

QByteArray Pattern(int n)
{
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b.append(static_cast<char>((i * 37 + 11) & 0xFF));
    return b;
}

} // namespace

class TestCipher : public QObject
{
    Q_OBJECT
private slots:
    void aes256ExampleVector()
    {
        // AES-256 example of the standard: key 00..1f, one block.
        unsigned char key[32];
        for (int i = 0; i < 32; ++i)
            key[i] = static_cast<unsigned char>(i);
        const QByteArray plain = QByteArray::fromHex("00112233445566778899aabbccddeeff");
        const QByteArray expected = QByteArray::fromHex("8ea2b7ca516745bfeafc49904b496089");

        FirmwareCipher c;
        QVERIFY(!c.HasKey());
        unsigned char out[16];
        QVERIFY(!c.cipher(reinterpret_cast<const unsigned char*>(plain.constData()), out));
        QVERIFY(c.key_expansion(key));

        QVERIFY(c.cipher(reinterpret_cast<const unsigned char*>(plain.constData()), out));
        QCOMPARE(QByteArray(reinterpret_cast<char*>(out), 16), expected);

        unsigned char back[16];
        QVERIFY(c.inv_cipher(out, back));
        QCOMPARE(QByteArray(reinterpret_cast<char*>(back), 16), plain);

        // The file pass gives the same block.
        QCOMPARE(Pass(c, plain, FirmwareCipher::Encipher), expected);
    }

    void blocksAreIndependent()
    {
        // Electronic codebook: equal plain blocks give equal cipher blocks,
        // and every block deciphers on its own.
        auto c = FirmwareCipher::WithProgramKey();
        const QByteArray block = Pattern(16);
        const QByteArray enc = Pass(*c, block + block + block, FirmwareCipher::Encipher);
        QCOMPARE(enc.size(), 48);
        QCOMPARE(enc.mid(0, 16), enc.mid(16, 16));
        QCOMPARE(enc.mid(16, 16), enc.mid(32, 16));
        QCOMPARE(Pass(*c, enc.mid(32, 16), FirmwareCipher::Decipher), block);
    }

    void imageOf32BytesRoundTrips()
    {
        auto c = FirmwareCipher::WithProgramKey();
        const QByteArray plain = Pattern(32);
        bool ok = false;
        const QByteArray enc = Pass(*c, plain, FirmwareCipher::Encipher, &ok);
        QVERIFY(ok);
        QCOMPARE(enc.size(), 32);
        QVERIFY(enc != plain);
        QCOMPARE(Pass(*c, enc, FirmwareCipher::Decipher), plain);
    }

    void imageOf33BytesKeepsPreviousBlockBytes()
    {
        auto c = FirmwareCipher::WithProgramKey();
        const QByteArray plain = Pattern(33);
        const QByteArray enc = Pass(*c, plain, FirmwareCipher::Encipher);
        QCOMPARE(enc.size(), 48);
        const QByteArray dec = Pass(*c, enc, FirmwareCipher::Decipher);
        QCOMPARE(dec.size(), 48);
        QCOMPARE(dec.left(33), plain);
        // Bytes 33..47 are the source bytes 17..31 left in the block buffer.
        QCOMPARE(dec.mid(33), plain.mid(17, 15));
    }

    void shortImageIsPaddedWithZeros()
    {
        auto c = FirmwareCipher::WithProgramKey();
        const QByteArray plain = Pattern(5);
        const QByteArray dec = Pass(*c, Pass(*c, plain, FirmwareCipher::Encipher), FirmwareCipher::Decipher);
        QCOMPARE(dec, plain + QByteArray(11, '\0'));
    }

    void emptyStaysEmpty()
    {
        auto c = FirmwareCipher::WithProgramKey();
        bool ok = false;
        QCOMPARE(Pass(*c, QByteArray(), FirmwareCipher::Encipher, &ok), QByteArray());
        QVERIFY(ok);
        QCOMPARE(Pass(*c, QByteArray(), FirmwareCipher::Decipher, &ok), QByteArray());
        QVERIFY(ok);
    }

    void failingTargetIsReported()
    {
        auto c = FirmwareCipher::WithProgramKey();
        QByteArray src = Pattern(40);
        QBuffer source(&src);
        source.open(QIODevice::ReadOnly);
        QByteArray dst;
        QBuffer target(&dst);
        target.open(QIODevice::ReadOnly); // not writable
        QString error;
        QVERIFY(!c->PassFile(source, target, FirmwareCipher::Encipher, &error));
        QVERIFY(!error.isEmpty());
    }

    void realFilesRoundTrip()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray plain = Pattern(1000);
        QFile bin(dir.filePath("a.bin"));
        QVERIFY(bin.open(QIODevice::WriteOnly));
        bin.write(plain);
        bin.close();

        auto c = FirmwareCipher::WithProgramKey();
        QFile in(dir.filePath("a.bin")), out(dir.filePath("a.firmware"));
        QVERIFY(in.open(QIODevice::ReadOnly));
        QVERIFY(out.open(QIODevice::WriteOnly));
        QVERIFY(c->PassFile(in, out, FirmwareCipher::Encipher));
        in.close();
        out.close();
        QCOMPARE(QFileInfo(dir.filePath("a.firmware")).size(), qint64(1008));

        QFile enc(dir.filePath("a.firmware"));
        QVERIFY(enc.open(QIODevice::ReadOnly));
        QByteArray decoded;
        QBuffer target(&decoded);
        target.open(QIODevice::WriteOnly);
        QVERIFY(c->PassFile(enc, target, FirmwareCipher::Decipher));
        QCOMPARE(decoded.left(1000), plain);
        QCOMPARE(decoded.mid(1000), plain.mid(1000 - 16, 8));
    }

    void keyMaterial()
    {
        QCOMPARE(int(FirmwareKeys::Key().size()), 32);
        QCOMPARE(int(FirmwareKeys::RebootUnlockValues().size()), 6);
    }
};

QTEST_GUILESS_MAIN(TestCipher)
#include "tst_cipher.moc"
