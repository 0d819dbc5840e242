#include "widgets/general/FirmwareCipher.h"

#include <QBuffer>
#include <QIODevice>

#include <openssl/evp.h>

#include <cstring>

#include "commom/CommonFunction.h"
#include "commom/Global.h"
#include "widgets/general/FirmwareKeys.h"

struct FirmwareCipher::Contexts
{
    EVP_CIPHER_CTX* encrypt = nullptr;
    EVP_CIPHER_CTX* decrypt = nullptr;

    Contexts() : encrypt(EVP_CIPHER_CTX_new()), decrypt(EVP_CIPHER_CTX_new()) {}
    ~Contexts()
    {
        EVP_CIPHER_CTX_free(encrypt);
        EVP_CIPHER_CTX_free(decrypt);
    }
};

FirmwareCipher::FirmwareCipher() : m_ctx(new Contexts) {}

FirmwareCipher::FirmwareCipher(const unsigned char* key) : m_ctx(new Contexts)
{
    key_expansion(key);
}

FirmwareCipher::~FirmwareCipher() = default;

std::unique_ptr<FirmwareCipher> FirmwareCipher::WithProgramKey()
{
    return std::unique_ptr<FirmwareCipher>(new FirmwareCipher(FirmwareKeys::Key().data()));
}

bool FirmwareCipher::key_expansion(const unsigned char* key)
{
    m_ready = false;
    if (key == nullptr || m_ctx->encrypt == nullptr || m_ctx->decrypt == nullptr)
        return false;
    if (EVP_EncryptInit_ex(m_ctx->encrypt, EVP_aes_256_ecb(), nullptr, key, nullptr) != 1)
        return false;
    if (EVP_DecryptInit_ex(m_ctx->decrypt, EVP_aes_256_ecb(), nullptr, key, nullptr) != 1)
        return false;
    // Whole blocks only: no padding block is ever added or expected.
    EVP_CIPHER_CTX_set_padding(m_ctx->encrypt, 0);
    EVP_CIPHER_CTX_set_padding(m_ctx->decrypt, 0);
    m_ready = true;
    return true;
}

bool FirmwareCipher::cipher(const unsigned char* in, unsigned char* out)
{
    if (!m_ready)
        return false;
    int produced = 0;
    return EVP_EncryptUpdate(m_ctx->encrypt, out, &produced, in, kBlockSize) == 1
        && produced == kBlockSize;
}

bool FirmwareCipher::inv_cipher(const unsigned char* in, unsigned char* out)
{
    if (!m_ready)
        return false;
    int produced = 0;
    return EVP_DecryptUpdate(m_ctx->decrypt, out, &produced, in, kBlockSize) == 1
        && produced == kBlockSize;
}

bool FirmwareCipher::PassFile(QIODevice& source, QIODevice& target, Direction direction,
                              QString* error)
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!m_ready)
        return fail(QStringLiteral("no key"));

    // Set up once and never cleared: a short last block keeps the previous
    // block's bytes behind the new ones.
    unsigned char block[kBlockSize];
    unsigned char transformed[kBlockSize];
    std::memset(block, 0, sizeof(block));

    while (!source.atEnd()) {
        if (g_app_is_exit)
            ForceExitApplication();
        const qint64 got = source.read(reinterpret_cast<char*>(block), kBlockSize);
        if (got < 0)
            return fail(source.errorString());
        if (got == 0)
            break;
        const bool ok = direction == Encipher ? cipher(block, transformed)
                                              : inv_cipher(block, transformed);
        if (!ok)
            return fail(QStringLiteral("cipher failure"));
        if (target.write(reinterpret_cast<const char*>(transformed), kBlockSize) != kBlockSize)
            return fail(target.errorString());
    }
    return true;
}

bool FirmwareCipher::PassBytes(const QByteArray& source, QByteArray* target, Direction direction,
                               QString* error)
{
    QByteArray in = source;
    QBuffer reader(&in);
    reader.open(QIODevice::ReadOnly);
    target->clear();
    target->reserve(in.size() + kBlockSize);
    QBuffer writer(target);
    writer.open(QIODevice::WriteOnly);
    return PassFile(reader, writer, direction, error);
}

unsigned int FirmwareCipher::PaddedImageCrc(const QByteArray& image, qint64 length, qint64 span)
{
    const qint64 taken = qBound<qint64>(0, length, image.size());
    unsigned int sum = 0;
    const unsigned char* data = reinterpret_cast<const unsigned char*>(image.constData());
    // Fed in pieces, the CRC equals the one of the bytes one by one.
    for (qint64 at = 0; at < taken;) {
        if (g_app_is_exit)
            ForceExitApplication();
        const qint64 n = qMin<qint64>(65536, taken - at);
        sum = crc32(data + at, static_cast<unsigned int>(n), sum);
        at += n;
    }
    unsigned char pad[4096];
    std::memset(pad, 0xFF, sizeof(pad));
    for (qint64 at = taken; at < span;) {
        if (g_app_is_exit)
            ForceExitApplication();
        const qint64 n = qMin<qint64>(static_cast<qint64>(sizeof(pad)), span - at);
        sum = crc32(pad, static_cast<unsigned int>(n), sum);
        at += n;
    }
    return sum;
}
