#ifndef FIRMWARECIPHER_H
#define FIRMWARECIPHER_H

#include <QByteArray>
#include <QString>

#include <memory>

class QIODevice;

// AES-256 in electronic-codebook fashion, block by block, as ".firmware"
// files carry their image: every 16-byte block on its own with the same
// key, no chaining, no header, no padding marker.
class FirmwareCipher
{
public:
    static constexpr int kBlockSize = 16;
    static constexpr int kKeySize = 32;

    enum Direction { Encipher, Decipher };

    // Without a key the cipher refuses every block until key_expansion.
    FirmwareCipher();
    // Ready with the given 32-byte key.
    explicit FirmwareCipher(const unsigned char* key);
    ~FirmwareCipher();
    FirmwareCipher(const FirmwareCipher&) = delete;
    FirmwareCipher& operator=(const FirmwareCipher&) = delete;

    // A cipher holding the program's fixed firmware key.
    static std::unique_ptr<FirmwareCipher> WithProgramKey();

    // Takes a 32-byte key for both directions. False when the crypto
    // library refuses it.
    bool key_expansion(const unsigned char* key);
    bool HasKey() const { return m_ready; }

    // One 16-byte block from in to out (in is not changed). False when no
    // key is set or the crypto library fails.
    bool cipher(const unsigned char* in, unsigned char* out);
    bool inv_cipher(const unsigned char* in, unsigned char* out);

    // Passes the source stream through the cipher into the target, 16 bytes
    // at a time: the target always receives whole blocks. The block buffer
    // is kept between blocks, so a last partial block carries, after the
    // source's bytes, the bytes of the previous block at the same positions
    // (zeros when the source is shorter than one block). Tests the
    // application-exit flag once per block. False with an error text when a
    // read, a write or the cipher fails; the target may then hold a part.
    bool PassFile(QIODevice& source, QIODevice& target, Direction direction,
                  QString* error = nullptr);
    // The same pass held in memory: a deciphered firmware never needs a
    // copy on disk. False with an error text when the cipher fails.
    bool PassBytes(const QByteArray& source, QByteArray* target, Direction direction,
                   QString* error = nullptr);

    // CRC-32 (initial value 0) of the first length bytes of image (never
    // past its end), followed by 0xFF bytes up to span, as a device's flash
    // holds an image shorter than itself. An image of span bytes or more
    // is taken without padding.
    static unsigned int PaddedImageCrc(const QByteArray& image, qint64 length, qint64 span);

private:
    struct Contexts;
    std::unique_ptr<Contexts> m_ctx;
    bool m_ready = false;
};

#endif // FIRMWARECIPHER_H
